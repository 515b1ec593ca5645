// The key agreement end to end, with OpenSSL playing the bank server on the
// development keys (server-private.pem, client-public.pem).
#include "crypto/session.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <bit>

#include "crypto/des.h"
#include "crypto/key_store.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;
using test_util::Hex;

Bytes Unhex(const std::u16string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(
            std::string{static_cast<char>(text[i]), static_cast<char>(text[i + 1])}, nullptr, 16)));
    }
    return bytes;
}

Bytes Sha1Of(const Bytes& data) {
    Bytes digest(20);
    SHA1(data.data(), data.size(), digest.data());
    return digest;
}

bool KeyStoreIsWiped() {
    for (const auto buffer : test_hooks::KeyStoreBuffers()) {
        if (std::any_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b != 0; }))
            return false;
    }
    return true;
}

class SessionTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        serverPrivate_ = test_util::LoadPemKey("server-private.pem", true).release();
        clientPublic_ = test_util::LoadPemKey("client-public.pem", false).release();
    }
    static void TearDownTestSuite() {
        EVP_PKEY_free(serverPrivate_);
        EVP_PKEY_free(clientPublic_);
    }
    void SetUp() override { ASSERT_TRUE(serverPrivate_ && clientPublic_); }
    void TearDown() override { EXPECT_TRUE(KeyStoreIsWiped()); }

    // What the server sends: RN1 under the client key, and its signature.
    static std::u16string EncryptForClient(const Bytes& plain) {
        return Hex(test_util::OpenSslRsa(clientPublic_, plain, true));
    }
    static std::u16string ServerSignature() { return std::u16string(256, u'0'); }

    static inline EVP_PKEY* serverPrivate_ = nullptr;
    static inline EVP_PKEY* clientPublic_ = nullptr;
    uint32_t seed_ = 7;
};

TEST_F(SessionTest, AgreementGivesTheServerRn2AndBothSidesTheSameHash) {
    const Bytes rn1 = test_util::RandomBytes(8, seed_);
    SessionExchangeState state;
    std::u16string previousRn2;
    std::u16string previousHash;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(
            VerifyRN1andGenerateRN2(128, EncryptForClient(rn1), 128, ServerSignature(), state),
            result::kOk);
        EXPECT_TRUE(KeyStoreIsWiped());
        ASSERT_EQ(state.encryptedRn2.size(), 256u);
        const Bytes rn2 = test_util::OpenSslRsa(serverPrivate_, Unhex(state.encryptedRn2), false);
        ASSERT_EQ(rn2.size(), 8u);
        for (const uint8_t b : rn2) EXPECT_EQ(std::popcount(b) % 2, 1);  // odd parity, never zero

        ASSERT_EQ(state.encryptedHashRn2.size(), 256u);
        EXPECT_TRUE(test_util::OpenSslVerifySha1(clientPublic_, Sha1Of(rn2),
                                                 Unhex(state.encryptedHashRn2)));

        Bytes both = rn1;
        both.insert(both.end(), rn2.begin(), rn2.end());
        ASSERT_TRUE(state.SessionKeyHashText().has_value());
        EXPECT_EQ(*state.SessionKeyHashText(), Hex(Sha1Of(both)));  // upper-case digits

        // The same RN1 again still gives a fresh RN2.
        EXPECT_NE(state.encryptedRn2, previousRn2);
        EXPECT_NE(state.sessionKeyHash, previousHash);
        previousRn2 = state.encryptedRn2;
        previousHash = state.sessionKeyHash;
    }
}

TEST_F(SessionTest, EachOperationDeciphersOnlyTheKeysItUses) {
    // The agreement uses the client private key and the server public key;
    // the session-key operations only the client private key. The two
    // reserved records are never deciphered.
    LoadKeyStore(KeyStoreRecords::kAll);  // so a stale mask would show
    WipeKeyStore();
    SessionExchangeState state;
    ASSERT_EQ(VerifyRN1andGenerateRN2(128, EncryptForClient(test_util::RandomBytes(8, seed_)), 128,
                                      ServerSignature(), state),
              result::kOk);
    EXPECT_EQ(test_hooks::LastLoadedRecords(), KeyStoreRecords::kClientPrivateAndServerPublic);

    LoadKeyStore(KeyStoreRecords::kAll);
    WipeKeyStore();
    const Bytes sessionKey = test_util::RandomBytes(16, seed_);
    const std::u16string encrypted = EncryptForClient(sessionKey);
    const std::u16string hash = Hex(Sha1Of(sessionKey));
    ASSERT_EQ(VerifySessionKeyHash(encrypted, hash), result::kOk);
    EXPECT_EQ(test_hooks::LastLoadedRecords(), KeyStoreRecords::kClientPrivateKey);

    LoadKeyStore(KeyStoreRecords::kAll);
    WipeKeyStore();
    int32_t length = 0;
    std::u16string output;
    ASSERT_EQ(SessionFieldCipher(hash, encrypted, FieldDirection::kEncrypt, kFieldInputNarrowText,
                                 length, std::u16string(u"1234"), output, kModeCbcPadded),
              result::kOk);
    EXPECT_EQ(test_hooks::LastLoadedRecords(), KeyStoreRecords::kClientPrivateKey);
}

TEST_F(SessionTest, ArgumentChecksLeaveTheStateUntouched) {
    SessionExchangeState state;
    state.sessionFlag = 1;
    state.encryptedRn2 = u"R";
    state.encryptedHashRn2 = u"S";
    state.sessionKeyHash = u"H";
    const std::u16string rn1 = EncryptForClient(Bytes(8, 1));
    EXPECT_EQ(VerifyRN1andGenerateRN2(128, rn1.substr(0, 255), 128, ServerSignature(), state),
              result::kRn1LengthMismatch);
    EXPECT_EQ(VerifyRN1andGenerateRN2(128, rn1, 127, ServerSignature(), state),
              result::kSignatureLengthMismatch);
    EXPECT_EQ(VerifyRN1andGenerateRN2(128, std::nullopt, 128, ServerSignature(), state),
              result::kArgumentMissing);
    EXPECT_EQ(VerifyRN1andGenerateRN2(-128, rn1, 128, ServerSignature(), state),
              result::kRn1LengthMismatch);
    EXPECT_EQ(state.sessionFlag, 1);
    EXPECT_EQ(state.encryptedRn2, u"R");
    EXPECT_EQ(state.encryptedHashRn2, u"S");
    EXPECT_EQ(state.SessionKeyHashText(), u"H");
}

TEST_F(SessionTest, OnlyTheFirst128CipherBytesAreUsed) {
    SessionExchangeState state;
    // 129 declared bytes: the last two digits are never decoded.
    const std::u16string rn1 = EncryptForClient(Bytes(8, 3)) + u"ZZ";
    EXPECT_EQ(VerifyRN1andGenerateRN2(129, rn1, 128, ServerSignature(), state), result::kOk);
}

TEST_F(SessionTest, Rn1OfWrongLengthOrBadDigitsFailsAndClearsTheFlag) {
    SessionExchangeState state;
    ASSERT_EQ(
        VerifyRN1andGenerateRN2(128, EncryptForClient(Bytes(8, 1)), 128, ServerSignature(), state),
        result::kOk);
    for (const std::size_t length : {7u, 9u}) {
        EXPECT_EQ(VerifyRN1andGenerateRN2(128, EncryptForClient(Bytes(length, 1)), 128,
                                          ServerSignature(), state),
                  result::kPrivateKeyFailed);
        EXPECT_EQ(state.sessionFlag, 0);
        EXPECT_FALSE(state.SessionKeyHashText().has_value());
        EXPECT_TRUE(KeyStoreIsWiped());
    }
    std::u16string badDigit = EncryptForClient(Bytes(8, 1));
    badDigit[10] = u'G';
    EXPECT_EQ(VerifyRN1andGenerateRN2(128, badDigit, 128, ServerSignature(), state),
              result::kHexDecodeFailed);
    std::u16string badSignature = ServerSignature();
    badSignature[0] = u' ';
    EXPECT_EQ(VerifyRN1andGenerateRN2(128, EncryptForClient(Bytes(8, 1)), 128, badSignature, state),
              result::kHexDecodeFailed);
}

TEST_F(SessionTest, SessionKeyHashIsCheckedAgainstTheDecryptedKey) {
    const Bytes sessionKey = test_util::RandomBytes(16, seed_);
    const std::u16string encrypted = EncryptForClient(sessionKey);
    const std::u16string hash = Hex(Sha1Of(sessionKey));
    EXPECT_EQ(VerifySessionKeyHash(encrypted, hash), result::kOk);
    std::u16string lower = hash;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char16_t c) { return c >= u'A' ? c + 32 : c; });
    EXPECT_EQ(VerifySessionKeyHash(encrypted, lower), result::kOk);
    EXPECT_EQ(VerifySessionKeyHash(encrypted, Hex(Sha1Of(Bytes(16, 9)))), result::kFailed);

    // A session key made for another client key.
    const test_util::Pkey other = test_util::GenerateRsaKey(1024);
    EXPECT_EQ(VerifySessionKeyHash(Hex(test_util::OpenSslRsa(other.get(), sessionKey, true)), hash),
              result::kPrivateKeyFailed);
    // Key lengths 0 and 12, and a cipher text beyond the number capacity.
    EXPECT_EQ(VerifySessionKeyHash(EncryptForClient({}), Hex(Sha1Of({}))),
              result::kPrivateKeyFailed);
    EXPECT_EQ(VerifySessionKeyHash(EncryptForClient(Bytes(12, 5)), hash),
              result::kPrivateKeyFailed);
    EXPECT_EQ(VerifySessionKeyHash(u"00" + encrypted + std::u16string(34, u'0'), hash),
              result::kPrivateKeyFailed);
    EXPECT_EQ(VerifySessionKeyHash(encrypted, u"XY" + hash.substr(2)), result::kHexDecodeFailed);
    EXPECT_EQ(VerifySessionKeyHash(encrypted, std::nullopt), result::kArgumentMissing);
}

TEST_F(SessionTest, A127ByteCipherTextIsAccepted) {
    // About one cipher text in 256 begins with a zero byte: the server then
    // sends 254 digits.
    const Bytes sessionKey(24, 0x11);
    for (int attempt = 0; attempt < 4000; ++attempt) {
        const Bytes cipher = test_util::OpenSslRsa(clientPublic_, sessionKey, true);
        if (cipher[0] != 0) continue;
        const std::u16string digits = Hex(Bytes(cipher.begin() + 1, cipher.end()));
        ASSERT_EQ(digits.size(), 254u);
        SessionKey key;
        ASSERT_EQ(UnwrapSessionKey(digits, Hex(Sha1Of(sessionKey)), key), SessionKeyStep::kOk);
        EXPECT_EQ(Bytes(key.bytes.data(), key.bytes.data() + key.length), sessionKey);
        return;
    }
    GTEST_SKIP() << "no cipher text with a leading zero byte came up";
}

// Two-key triple DES CBC with zero IV, as the bank server computes it.
Bytes ServerTripleDes(const Bytes& key16, const Bytes& data, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const unsigned char iv[8] = {};
    Bytes out(data.size() + 16);
    int length = 0;
    int finalLength = 0;
    EVP_CipherInit_ex(ctx, EVP_des_ede_cbc(), nullptr, key16.data(), iv, encrypt ? 1 : 0);
    EVP_CipherUpdate(ctx, out.data(), &length, data.data(), static_cast<int>(data.size()));
    EVP_CipherFinal_ex(ctx, out.data() + length, &finalLength);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(length + finalLength));
    return out;
}

TEST_F(SessionTest, FieldCipherMatchesTheServerAndRoundTrips) {
    for (const std::size_t keyLength : {8u, 16u, 24u}) {
        const Bytes sessionKey = test_util::RandomBytes(keyLength, seed_);
        const std::u16string encKey = EncryptForClient(sessionKey);
        const std::u16string hash = Hex(Sha1Of(sessionKey));
        Bytes key16(sessionKey.begin(), sessionKey.begin() + std::min<std::size_t>(16, keyLength));
        key16.resize(16, 0);  // an 8-byte key leaves K2 zero

        const std::u16string text = u"0123456789||Qorv 帳號";
        std::u16string cipherText;
        int32_t length = 0;
        ASSERT_EQ(SessionFieldCipher(hash, encKey, FieldDirection::kEncrypt, kFieldInputUtf16,
                                     length, text, cipherText, 1),
                  result::kOk);
        Bytes utf16;
        for (const char16_t c : text) {
            utf16.push_back(static_cast<uint8_t>(c));
            utf16.push_back(static_cast<uint8_t>(c >> 8));
        }
        const Bytes expected = ServerTripleDes(key16, utf16, true);
        EXPECT_EQ(length, static_cast<int32_t>(expected.size()));
        EXPECT_EQ(cipherText, std::u16string(expected.begin(), expected.end()));

        // Deciphering the hex form gives the UTF-16 text back.
        std::u16string plain;
        ASSERT_EQ(SessionFieldCipher(hash, encKey, FieldDirection::kDecrypt, kFieldInputHex, length,
                                     Hex(expected), plain, 1),
                  result::kOk);
        EXPECT_EQ(plain, text);
        // Plain bytes that are not UTF-16 come back one character per byte.
        const Bytes binary = {0xC8, 0x01, 0xFF, 0x80};
        ASSERT_EQ(SessionFieldCipher(hash, encKey, FieldDirection::kDecrypt, kFieldInputHex, length,
                                     Hex(ServerTripleDes(key16, binary, true)), plain, 1),
                  result::kOk);
        EXPECT_EQ(plain, std::u16string(binary.begin(), binary.end()));
        EXPECT_EQ(length, 4);
    }
}

TEST_F(SessionTest, FieldCipherStepCodes) {
    const Bytes sessionKey(16, 0x21);
    const std::u16string encKey = EncryptForClient(sessionKey);
    const std::u16string hash = Hex(Sha1Of(sessionKey));
    std::u16string out = u"unchanged";
    int32_t length = -5;
    auto run = [&](const std::optional<std::u16string>& h, const std::optional<std::u16string>& k,
                   int format, const std::optional<std::u16string>& in, uint8_t mode) {
        return SessionFieldCipher(h, k, FieldDirection::kEncrypt, format, length, in, out, mode);
    };
    EXPECT_EQ(run(hash, encKey, 0, std::nullopt, 1), kFieldArgumentMissing);
    EXPECT_EQ(run(hash, u"0G" + encKey, 0, u"x", 1), kFieldDecodeEncryptedKey);
    EXPECT_EQ(run(hash, EncryptForClient(Bytes(10, 1)), 0, u"x", 1), kFieldKeyLength);
    EXPECT_EQ(run(hash, Hex(Bytes(128, 0x01)), 0, u"x", 1), kFieldPrivateKeyDecrypt);
    EXPECT_EQ(run(u"#" + hash, encKey, 0, u"x", 1), kFieldDecodeDigest);
    EXPECT_EQ(run(Hex(Sha1Of(Bytes(16, 1))), encKey, 0, u"x", 1), kFieldDigestMismatch);
    EXPECT_EQ(run(hash, encKey, kFieldInputHex, u"0Z", 1), kFieldInputData);
    EXPECT_EQ(run(hash, encKey, kFieldInputUtf16, u"12345", 4), kFieldInputData);
    EXPECT_EQ(run(hash, encKey, kFieldInputNarrowText, u"12345", 4), kFieldCipherFailure);
    EXPECT_EQ(out, u"unchanged");
    EXPECT_EQ(length, -5);
    // Base64 input (any other format) in CBC without padding.
    EXPECT_EQ(run(hash, encKey, 2, u"AAECAwQFBgc=", 4), result::kOk);
    EXPECT_EQ(length, 8);
}

}  // namespace
}  // namespace qorv::crypto
