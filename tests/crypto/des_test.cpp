// DES block cipher and block modes: published known answers and the edge
// cases of lengths, padding and initial vectors.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/des.h"

namespace qorv::crypto {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

struct KnownAnswer {
    const char* key;
    const char* plain;
    const char* cipher;
};

// NIST SP 800-20 (FIPS 46-3 validation): samples of the variable plaintext,
// variable key and permutation tables, and the whole substitution table.
constexpr KnownAnswer kKnownAnswers[] = {
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "0040000000000000", "424250B37C3DD951"},
    {"0101010101010101", "0000000000000002", "06E7EA22CE92708F"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"0180010101010101", "0000000000000000", "2055123350C00858"},
    {"0101010101010102", "0000000000000000", "869EFD7F9F265A09"},
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"1007103489988020", "0000000000000000", "0C0CC00C83EA48FD"},
    {"10071034C8980120", "0000000000000000", "83BC8EF3A6570183"},
    {"1046103489988020", "0000000000000000", "DF725DCAD94EA2E9"},
    {"1086911519190101", "0000000000000000", "E652B53B550BE8B0"},
    {"3107915498080101", "0000000000000000", "7CFD82A593252B4E"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
    {"3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "AF37FB421F8C4095"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "86A560F10EC6D85B"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "0CD3DA020021DC09"},
    {"43297FAD38E373FE", "762514B829BF486A", "EA676B2CB7DB2B7A"},
    {"07A7137045DA2A16", "3BDD119049372802", "DFD64A815CAF1A0F"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "5C513C9C4886C088"},
    {"37D06BB516CB7546", "164D5E404F275232", "0A2AEEAE3FF4AB77"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "EF1BF03E5DFA575A"},
    {"584023641ABA6176", "004BD6EF09176062", "88BF0DB6D70DEE56"},
    {"025816164629B007", "480D39006EE762F2", "A1F9915541020B56"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "6FBF1CAFCFFD0556"},
    {"4FB05E1515AB73A7", "072D43A077075292", "2F22E49BAB7CA1AC"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "5A6B612CC26CCE4A"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "5F4C038ED12B2E41"},
    {"1C587F1C13924FEF", "305532286D6F295A", "63FAC0D034D9F793"},
};

TEST(DesBlock, KnownAnswersEncryptAndDecrypt) {
    for (const KnownAnswer& kat : kKnownAnswers) {
        const Bytes key = FromHex(kat.key), plain = FromHex(kat.plain),
                    cipher = FromHex(kat.cipher);
        Bytes out(8);
        DesEncryptBlock(key.data(), plain.data(), out.data());
        EXPECT_EQ(out, cipher) << kat.key << " " << kat.plain;
        DesDecryptBlock(key.data(), cipher.data(), out.data());
        EXPECT_EQ(out, plain) << kat.key << " " << kat.cipher;
    }
}

TEST(DesBlock, ParityBitsOfTheKeyAreIgnored) {
    for (const KnownAnswer& kat : kKnownAnswers) {
        Bytes key = FromHex(kat.key);
        for (uint8_t& b : key) b ^= 1;
        const Bytes plain = FromHex(kat.plain);
        Bytes out(8);
        DesEncryptBlock(key.data(), plain.data(), out.data());
        EXPECT_EQ(out, FromHex(kat.cipher)) << kat.key;
    }
}

// --- Modes -------------------------------------------------------------------

struct ModeRun {
    int32_t rc;
    Bytes out;
};

const Bytes kKeys = FromHex("0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123");
const Bytes kIv = FromHex("1234567890ABCDEF");

ModeRun Encrypt(const Bytes& in, uint8_t type, uint8_t mode, int style = kPadPkcs5,
                uint8_t fill = 0, const Bytes& keys = kKeys, const uint8_t* iv = kIv.data()) {
    ModeRun run{0, Bytes(in.size() + 8, 0xEE)};
    int32_t length = static_cast<int32_t>(in.size());
    run.rc = DesModeEncrypt(keys.data(), &length, in.data(), run.out.data(), type, mode, style,
                            fill, iv);
    if (run.rc == kDesOk) run.out.resize(static_cast<std::size_t>(length));
    return run;
}

ModeRun Decrypt(const Bytes& in, uint8_t type, uint8_t mode, const Bytes& keys = kKeys,
                const uint8_t* iv = kIv.data()) {
    ModeRun run{0, Bytes(in.size() + 1, 0xEE)};  // never an empty buffer without storage
    int32_t length = static_cast<int32_t>(in.size());
    run.rc = DesModeDecrypt(keys.data(), &length, in.data(), run.out.data(), type, mode, iv);
    run.out.resize(run.rc == kDesOk ? static_cast<std::size_t>(length) : in.size());
    return run;
}

// The last block of a padded CBC encryption, deciphered with plain CBC,
// shows the pad bytes.
Bytes PadBlockOf(const Bytes& in, int style, uint8_t fill) {
    const ModeRun enc = Encrypt(in, kCipherTwoKeyTripleDes, kModeCbcPadded, style, fill);
    const ModeRun dec = Decrypt(enc.out, kCipherTwoKeyTripleDes, kModeCbcNoPad);
    return Bytes(dec.out.end() - 8, dec.out.end());
}

TEST(DesModes, TripleDesWithRepeatedKeysIsSingleDes) {
    const Bytes data = FromHex("4E6F77206973207468652074696D6520666F7220616C6C20");
    Bytes k1k1k1 = FromHex("0123456789ABCDEF");
    Bytes keysSingle = k1k1k1;
    keysSingle.resize(24, 0);
    for (int i = 0; i < 2; ++i)
        k1k1k1.insert(k1k1k1.end(), keysSingle.begin(), keysSingle.begin() + 8);
    for (uint8_t mode : {kModeEcb, kModeCbcPadded, kModeCfb64, kModeOfb64, kModeCbcNoPad}) {
        const Bytes single = Encrypt(data, kCipherSingleDes, mode, kPadPkcs5, 0, keysSingle).out;
        EXPECT_EQ(Encrypt(data, kCipherTwoKeyTripleDes, mode, kPadPkcs5, 0, k1k1k1).out, single);
        EXPECT_EQ(Encrypt(data, kCipherThreeKeyTripleDes, mode, kPadPkcs5, 0, k1k1k1).out, single);
    }
}

TEST(DesModes, PaddedCbcOutputLengths) {
    for (const auto& [in, out] : {std::pair{0, 8}, {5, 8}, {8, 16}, {13, 16}, {16, 24}}) {
        const ModeRun run = Encrypt(Bytes(static_cast<std::size_t>(in), 0x41),
                                    kCipherTwoKeyTripleDes, kModeCbcPadded);
        EXPECT_EQ(run.rc, kDesOk);
        EXPECT_EQ(run.out.size(), static_cast<std::size_t>(out)) << "input " << in;
    }
}

TEST(DesModes, PaddingStyles) {
    const Bytes five = FromHex("0102030405");
    EXPECT_EQ(PadBlockOf(five, kPadPkcs5, 0x55), FromHex("0102030405030303"));
    EXPECT_EQ(PadBlockOf(five, kPadFillThenCount, 0x00), FromHex("0102030405000003"));
    EXPECT_EQ(PadBlockOf(five, kPadFillThenCount, 0xAB), FromHex("0102030405ABAB03"));
    EXPECT_EQ(PadBlockOf(FromHex("0102030405060708"), kPadPkcs5, 0), Bytes(8, 0x08));
    EXPECT_EQ(PadBlockOf(FromHex("0102030405060708"), kPadFillThenCount, 0),
              FromHex("0000000000000008"));
}

TEST(DesModes, PaddedCbcDecryptionChecksOnlyThePadCount) {
    const auto cipherOf = [](const Bytes& plainBlock) {
        return Encrypt(plainBlock, kCipherTwoKeyTripleDes, kModeCbcNoPad).out;
    };
    // Pad count 9: refused, the decrypted block is already written.
    Bytes out(8);
    int32_t length = 8;
    const Bytes bad = cipherOf(FromHex("1122334455667709"));
    EXPECT_EQ(DesModeDecrypt(kKeys.data(), &length, bad.data(), out.data(), kCipherTwoKeyTripleDes,
                             kModeCbcPadded, kIv.data()),
              kDesPaddingError);
    EXPECT_EQ(length, 8);
    EXPECT_EQ(out, FromHex("1122334455667709"));
    // Pad count 0 removes nothing; other pad bytes are not examined.
    EXPECT_EQ(
        Decrypt(cipherOf(FromHex("1122334455667700")), kCipherTwoKeyTripleDes, kModeCbcPadded).out,
        FromHex("1122334455667700"));
    EXPECT_EQ(
        Decrypt(cipherOf(FromHex("1122334455667703")), kCipherTwoKeyTripleDes, kModeCbcPadded).out,
        FromHex("1122334455"));
    EXPECT_EQ(
        Decrypt(cipherOf(FromHex("0808080808080808")), kCipherTwoKeyTripleDes, kModeCbcPadded).out,
        Bytes{});
}

TEST(DesModes, LengthRules) {
    const Bytes twelve(12, 0x5A);
    EXPECT_EQ(Encrypt(twelve, kCipherSingleDes, kModeEcb).rc, kDesLengthError);
    EXPECT_EQ(Encrypt(twelve, kCipherSingleDes, kModeCbcNoPad).rc, kDesLengthError);
    for (uint8_t mode : {kModeCfb64, kModeOfb64, uint8_t{7}}) {
        const ModeRun enc = Encrypt(twelve, kCipherThreeKeyTripleDes, mode);
        ASSERT_EQ(enc.rc, kDesOk);
        EXPECT_EQ(enc.out.size(), 12u);
        EXPECT_EQ(Decrypt(enc.out, kCipherThreeKeyTripleDes, mode).out, twelve);
    }
    // Block modes decrypt whole blocks only; a padded message has at least one.
    for (uint8_t mode : {kModeEcb, kModeCbcPadded, kModeCbcNoPad})
        EXPECT_EQ(Decrypt(twelve, kCipherSingleDes, mode).rc, kDesLengthError);
    EXPECT_EQ(Decrypt(Bytes{}, kCipherSingleDes, kModeCbcPadded).rc, kDesLengthError);
    EXPECT_EQ(Decrypt(Bytes{}, kCipherSingleDes, kModeCbcNoPad).rc, kDesOk);
}

TEST(DesModes, UnlistedModesWorkAsOfb) {
    const Bytes data(21, 0x33);
    EXPECT_EQ(Encrypt(data, kCipherTwoKeyTripleDes, 9).out,
              Encrypt(data, kCipherTwoKeyTripleDes, kModeOfb64).out);
}

TEST(DesModes, ArgumentChecks) {
    const Bytes block(8, 1);
    EXPECT_EQ(Encrypt(block, kCipherSingleDes, kModeEcb, kPadPkcs5, 0, kKeys, nullptr).rc, kDesOk);
    for (uint8_t mode : {kModeCbcPadded, kModeCfb64, kModeOfb64, kModeCbcNoPad}) {
        EXPECT_EQ(Encrypt(block, kCipherSingleDes, mode, kPadPkcs5, 0, kKeys, nullptr).rc,
                  kDesArgumentError);
        EXPECT_EQ(Decrypt(block, kCipherSingleDes, mode, kKeys, nullptr).rc, kDesArgumentError);
    }
    EXPECT_EQ(Encrypt(block, 3, kModeEcb).rc, kDesArgumentError);
    Bytes out(16);
    int32_t length = 8;
    EXPECT_EQ(DesModeEncrypt(nullptr, &length, block.data(), out.data(), 0, 0, 0, 0, nullptr),
              kDesArgumentError);
    EXPECT_EQ(DesModeEncrypt(kKeys.data(), nullptr, block.data(), out.data(), 0, 0, 0, 0, nullptr),
              kDesArgumentError);
    EXPECT_EQ(DesModeDecrypt(kKeys.data(), &length, nullptr, out.data(), 0, 0, nullptr),
              kDesArgumentError);
    EXPECT_EQ(DesModeDecrypt(kKeys.data(), &length, block.data(), nullptr, 0, 0, nullptr),
              kDesArgumentError);
    length = -8;
    EXPECT_EQ(DesModeEncrypt(kKeys.data(), &length, block.data(), out.data(), 0, 0, 0, 0, nullptr),
              kDesArgumentError);
    // Nothing is written on an argument failure.
    EXPECT_EQ(out, Bytes(16, 0));
}

TEST(DesModes, WorksInPlace) {
    const Bytes data = FromHex("00112233445566778899AABBCCDDEEFF0011223344");
    for (uint8_t mode : {kModeCbcPadded, kModeCfb64, kModeOfb64}) {
        const ModeRun expected = Encrypt(data, kCipherTwoKeyTripleDes, mode);
        Bytes buffer = data;
        buffer.resize(data.size() + 8);
        int32_t length = static_cast<int32_t>(data.size());
        ASSERT_EQ(DesModeEncrypt(kKeys.data(), &length, buffer.data(), buffer.data(),
                                 kCipherTwoKeyTripleDes, mode, kPadPkcs5, 0, kIv.data()),
                  kDesOk);
        buffer.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(buffer, expected.out);
        ASSERT_EQ(DesModeDecrypt(kKeys.data(), &length, buffer.data(), buffer.data(),
                                 kCipherTwoKeyTripleDes, mode, kIv.data()),
                  kDesOk);
        buffer.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(buffer, data);
    }
}

}  // namespace
}  // namespace qorv::crypto
