// The key agreement and the session ciphers between the real host and the
// bank simulator (OpenSSL on the same development keys): what the page
// carries from one to the other, and every refusal the page can see.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/host_process.h"
#include "tools/banksim/bank_keys.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/key_agreement.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;
using testing::HostProcess;

// No card or pcscd takes part: the crypto methods never open a reader.
const std::vector<std::string> kNoReaderService{"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm"};

constexpr int kVerifySessionKeyHashMismatch = -1;
constexpr int kWrongLength = 8193;
constexpr int kWrongTextLength = 8194;
constexpr int kRn1LengthMismatch = 8450;
constexpr int kPrivateKeyFailed = 20741;
constexpr int kSessionKeyMismatch = 20753;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The bank keys, and a second bank that believes in another client key.
class BankKeyAgreementThroughHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        keys_ = new auto(BankKeys::LoadFolder(DefaultKeyFolder(), &error));
        ASSERT_TRUE(keys_->has_value()) << error;

        EVP_PKEY* other = EVP_RSA_gen(1024);
        ASSERT_NE(other, nullptr);
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_PUBKEY(bio, other);
        char* pem = nullptr;
        const long length = BIO_get_mem_data(bio, &pem);
        otherClient_ =
            new auto(BankKeys::FromPem(ReadFile(DefaultKeyFolder() + "/server-private.pem"),
                                       std::string(pem, static_cast<std::size_t>(length)), &error));
        BIO_free(bio);
        EVP_PKEY_free(other);
        ASSERT_TRUE(otherClient_->has_value()) << error;
    }
    static void TearDownTestSuite() {
        delete keys_;
        delete otherClient_;
    }

    static const BankKeys& keys() { return **keys_; }

    int VerifyRn1(const Rn1Offer& offer) {
        return host_
            .Call("VerifyRN1andGenerateRN2", json::array({offer.rn1Len, offer.encryptedRn1,
                                                          offer.signatureLen, offer.signature}))
            .get<int>();
    }
    // What the page reads after VerifyRN1andGenerateRN2 and posts to the bank.
    ClientAnswer ReadAnswer() {
        const json hash = host_.Call("GetSessionKeyHash");
        return {host_.Call("GetEncryptRN2").get<std::string>(),
                host_.Call("GetEncryptHashRN2").get<std::string>(),
                hash.is_string() ? hash.get<std::string>() : std::string()};
    }
    // Runs the whole agreement; the server session ends with its key.
    SessionKeyOffer Agree(ServerSession& session, std::size_t keyLength) {
        const auto rn1 = StartKeyAgreement(keys(), session);
        EXPECT_TRUE(rn1.ok()) << rn1.error;
        EXPECT_EQ(VerifyRn1(*rn1.value), 0);
        const auto key = AnswerKeyAgreement(keys(), session, ReadAnswer(), keyLength);
        EXPECT_TRUE(key.ok()) << key.error;
        return key.value.value_or(SessionKeyOffer{});
    }

    int VerifyKey(const SessionKeyOffer& key) {
        return host_
            .Call("VerifySessionKeyHash",
                  json::array({key.encryptedSessionKey, key.sessionKeyHash}))
            .get<int>();
    }
    // DESEncipher or DESDecipher; `output` gets the response data on success.
    int Cipher(const char* method, const SessionKeyOffer& key, const std::string& dataHex,
               std::string* output = nullptr, int dataLen = -1) {
        if (dataLen < 0) dataLen = static_cast<int>(dataHex.size() / 2);
        const int rc =
            host_
                .Call(method,
                      json::array({key.sessionKeyHash, key.encryptedSessionKey, dataLen, dataHex}))
                .get<int>();
        if (rc == 0 && output != nullptr) *output = host_.Call("GetRespData").get<std::string>();
        return rc;
    }

    HostProcess host_{kNoReaderService};
    static inline std::optional<BankKeys>* keys_ = nullptr;
    static inline std::optional<BankKeys>* otherClient_ = nullptr;
};

std::string PatternHex(std::size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    return ToHex(data);
}

TEST_F(BankKeyAgreementThroughHost, BothSidesShareTheSessionKeyOfEachLength) {
    for (const std::size_t keyLength : {8u, 16u, 24u}) {
        SCOPED_TRACE("session key of " + std::to_string(keyLength) + " bytes");
        ServerSession session;
        const SessionKeyOffer key = Agree(session, keyLength);
        EXPECT_EQ(VerifyKey(key), 0);

        // The component enciphers, the bank deciphers; 8 bytes take a whole pad block.
        for (const std::size_t length : {8u, 13u, 1024u}) {
            const std::string plain = PatternHex(length);
            std::string enciphered;
            ASSERT_EQ(Cipher("DESEncipher", key, plain, &enciphered), 0);
            EXPECT_EQ(enciphered.size(), (length / 8 + 1) * 16);
            const auto deciphered = SessionCipherHex(session, CipherUse::kSessionData,
                                                     CipherDirection::kDecipher, enciphered);
            EXPECT_EQ(deciphered.value, plain) << deciphered.error;
        }
        // The bank enciphers, the component deciphers, up to its 2048-digit limit:
        // 1023 plain bytes make 1024 cipher bytes, 1024 make 1032.
        for (const std::size_t length : {1u, 16u, 1023u}) {
            const std::string plain = PatternHex(length);
            const auto enciphered = SessionCipherHex(session, CipherUse::kSessionData,
                                                     CipherDirection::kEncipher, plain);
            ASSERT_TRUE(enciphered.ok()) << enciphered.error;
            std::string deciphered;
            EXPECT_EQ(Cipher("DESDecipher", key, *enciphered.value, &deciphered), 0);
            EXPECT_EQ(deciphered, plain);
        }
        const auto tooLong = SessionCipherHex(session, CipherUse::kSessionData,
                                              CipherDirection::kEncipher, PatternHex(1024));
        EXPECT_EQ(Cipher("DESDecipher", key, *tooLong.value), kWrongLength);
    }
}

TEST_F(BankKeyAgreementThroughHost, BankRefusesAnAnswerToAnotherRn1) {
    ServerSession first;
    const auto rn1 = StartKeyAgreement(keys(), first);
    ASSERT_EQ(VerifyRn1(*rn1.value), 0);
    const ClientAnswer toFirst = ReadAnswer();

    ServerSession second;
    ASSERT_EQ(VerifyRn1(*StartKeyAgreement(keys(), second).value), 0);
    const ClientAnswer toSecond = ReadAnswer();
    // RN2 and its signature of the second exchange with the hash of the first.
    const auto mixed = AnswerKeyAgreement(
        keys(), second, {toSecond.encryptedRn2, toSecond.rn2Signature, toFirst.sessionKeyHash});
    EXPECT_FALSE(mixed.ok());
    EXPECT_EQ(mixed.error, "sessionKeyHash is not SHA-1(RN1 || RN2)");
    // An RN2 signature of another exchange.
    const auto swapped = AnswerKeyAgreement(
        keys(), first, {toFirst.encryptedRn2, toSecond.rn2Signature, toFirst.sessionKeyHash});
    EXPECT_EQ(swapped.error, "the RN2 signature does not verify with the client public key");
}

TEST_F(BankKeyAgreementThroughHost, SessionKeyHashIsGivenOnlyAfterASuccessfulExchange) {
    EXPECT_EQ(host_.Call("GetSessionKeyHash"), nullptr);

    // RN1 must decrypt to exactly 8 bytes.
    for (const std::size_t length : {7u, 9u}) {
        ServerSession session;
        EXPECT_EQ(VerifyRn1(*StartKeyAgreement(keys(), session, length).value), kPrivateKeyFailed);
        EXPECT_EQ(host_.Call("GetSessionKeyHash"), nullptr);
    }

    ServerSession session;
    const Rn1Offer offer = *StartKeyAgreement(keys(), session).value;
    ASSERT_EQ(VerifyRn1(offer), 0);
    const ClientAnswer first = ReadAnswer();
    EXPECT_EQ(first.sessionKeyHash.size(), 40u);

    // A length mismatch is refused before anything changes.
    Rn1Offer cut = offer;
    cut.encryptedRn1.pop_back();
    EXPECT_EQ(VerifyRn1(cut), kRn1LengthMismatch);
    EXPECT_EQ(ReadAnswer().sessionKeyHash, first.sessionKeyHash);

    // The same RN1 again: a fresh RN2, so the bank's session takes the new answer only.
    ASSERT_EQ(VerifyRn1(offer), 0);
    const ClientAnswer second = ReadAnswer();
    EXPECT_NE(second.encryptedRn2, first.encryptedRn2);
    EXPECT_NE(second.sessionKeyHash, first.sessionKeyHash);
    EXPECT_TRUE(AnswerKeyAgreement(keys(), session, second).ok());

    // A failure past the argument checks takes the hash away; the RN2 texts stay.
    ServerSession forOther;
    EXPECT_EQ(VerifyRn1(*StartKeyAgreement(**otherClient_, forOther).value), kPrivateKeyFailed);
    const ClientAnswer afterFailure = ReadAnswer();
    EXPECT_EQ(host_.Call("GetSessionKeyHash"), nullptr);
    EXPECT_EQ(afterFailure.encryptedRn2, second.encryptedRn2);
    EXPECT_EQ(afterFailure.rn2Signature, second.rn2Signature);

    // RN1Len above 128: only the first 256 digits are decrypted.
    ServerSession longer;
    Rn1Offer padded = *StartKeyAgreement(keys(), longer).value;
    padded.rn1Len = 129;
    padded.encryptedRn1 += "ZZ";
    ASSERT_EQ(VerifyRn1(padded), 0);
    EXPECT_TRUE(AnswerKeyAgreement(keys(), longer, ReadAnswer()).ok());
}

// A cipher text whose first byte is zero, sent as 254 digits (about one in 256).
std::optional<SessionKeyOffer> ShortCipherTextOffer(const BankKeys& keys,
                                                    const std::vector<uint8_t>& sessionKey) {
    for (int attempt = 0; attempt < 5000; ++attempt) {
        auto offer = OfferSessionKey(keys, sessionKey);
        if (offer.value->encryptedSessionKey.starts_with("00")) {
            offer.value->encryptedSessionKey.erase(0, 2);
            return offer.value;
        }
    }
    return std::nullopt;
}

TEST_F(BankKeyAgreementThroughHost, SessionKeyChecksOfTheCipherMethods) {
    ServerSession session;
    const SessionKeyOffer key = Agree(session, 16);
    const std::string plain = PatternHex(8);

    // The digest of another key.
    SessionKeyOffer otherHash = key;
    otherHash.sessionKeyHash = ToHex(Sha1(std::vector<uint8_t>(16, 0x5A)));
    EXPECT_EQ(VerifyKey(otherHash), kVerifySessionKeyHashMismatch);
    EXPECT_EQ(Cipher("DESEncipher", otherHash, plain), kSessionKeyMismatch);
    EXPECT_EQ(Cipher("DESDecipher", otherHash, PatternHex(16)), kSessionKeyMismatch);

    // A session key made for another client key.
    const std::vector<uint8_t> keyBytes(16, 0x33);
    const SessionKeyOffer forOther = *OfferSessionKey(**otherClient_, keyBytes).value;
    EXPECT_EQ(VerifyKey(forOther), kPrivateKeyFailed);
    EXPECT_EQ(Cipher("DESEncipher", forOther, plain), kPrivateKeyFailed);

    // Keys of 12 bytes (not whole blocks) and 32 bytes (beyond three-key triple DES).
    const SessionKeyOffer twelve = *OfferSessionKey(keys(), std::vector<uint8_t>(12, 1)).value;
    EXPECT_EQ(VerifyKey(twelve), kPrivateKeyFailed);
    EXPECT_EQ(Cipher("DESEncipher", twelve, plain), kPrivateKeyFailed);
    EXPECT_EQ(
        Cipher("DESEncipher", *OfferSessionKey(keys(), std::vector<uint8_t>(32, 1)).value, plain),
        kPrivateKeyFailed);

    // Text lengths: 256 or 254 digits of cipher text, 40 of digest; either case.
    SessionKeyOffer cut = key;
    cut.encryptedSessionKey.pop_back();
    EXPECT_EQ(Cipher("DESEncipher", cut, plain), kWrongTextLength);
    SessionKeyOffer shortHash = key;
    shortHash.sessionKeyHash.pop_back();
    EXPECT_EQ(Cipher("DESEncipher", shortHash, plain), kWrongTextLength);
    SessionKeyOffer lower = key;
    for (char& c : lower.sessionKeyHash) c = static_cast<char>(std::tolower(c));
    EXPECT_EQ(VerifyKey(lower), 0);
    EXPECT_EQ(Cipher("DESEncipher", lower, plain), 0);

    const auto shortOffer = ShortCipherTextOffer(keys(), keyBytes);
    ASSERT_TRUE(shortOffer.has_value());
    ASSERT_EQ(shortOffer->encryptedSessionKey.size(), 254u);
    EXPECT_EQ(VerifyKey(*shortOffer), 0);
    std::string enciphered;
    ASSERT_EQ(Cipher("DESEncipher", *shortOffer, plain, &enciphered), 0);
    std::string deciphered;
    ASSERT_EQ(Cipher("DESDecipher", *shortOffer, enciphered, &deciphered), 0);
    EXPECT_EQ(deciphered, plain);
}

}  // namespace
}  // namespace qorv::banksim
