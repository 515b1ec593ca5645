// DESEncipher / DESDecipher under a session key enciphered for the
// development client key, with OpenSSL as the reference cipher.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <random>
#include <string>

#include "crypto/des_operations.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;
using test_util::Hex;

// CBC with PKCS#5 padding and a zero IV; single DES as K1 = K2 = K3.
Bytes OpenSslCbc(const Bytes& key, const Bytes& in, bool encrypt) {
    Bytes key24 = key;
    while (key24.size() < 24) key24.insert(key24.end(), key.begin(), key.begin() + 8);
    const EVP_CIPHER* cipher = key.size() == 16 ? EVP_des_ede_cbc() : EVP_des_ede3_cbc();
    const uint8_t iv[8] = {};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, key24.data(), iv, encrypt ? 1 : 0);
    Bytes out(in.size() + 8);
    int n1 = 0, n2 = 0;
    EVP_CipherUpdate(ctx, out.data(), &n1, in.data(), static_cast<int>(in.size()));
    EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

class DesSessionOperations : public ::testing::Test {
  protected:
    void SetUp() override {
        // The public half of the development client key, which the test
        // build's key store holds.
        clientPublic_ = test_util::LoadPemKey("client-public.pem", false);
        ASSERT_NE(clientPublic_, nullptr);
    }
    std::u16string EncryptedKey(const Bytes& sessionKey) {
        return Hex(test_util::OpenSslRsa(clientPublic_.get(), sessionKey, true));
    }
    static std::u16string HashOf(const Bytes& sessionKey) {
        Bytes digest(SHA_DIGEST_LENGTH);
        SHA1(sessionKey.data(), sessionKey.size(), digest.data());
        return Hex(digest);
    }
    Bytes RandomBytes(std::size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = static_cast<uint8_t>(rng_());
        return b;
    }

    test_util::Pkey clientPublic_;
    std::mt19937 rng_{99};
};

TEST_F(DesSessionOperations, MatchCbcUnderEachSessionKeyLength) {
    for (std::size_t keyLength : {8, 16, 24}) {
        const Bytes sessionKey = RandomBytes(keyLength);
        const std::u16string encKey = EncryptedKey(sessionKey), hash = HashOf(sessionKey);
        for (std::size_t dataLength : {0, 1, 8, 13, 1016, 1024}) {
            SCOPED_TRACE(::testing::Message() << "key " << keyLength << " data " << dataLength);
            const Bytes data = RandomBytes(dataLength);
            std::u16string response;
            ASSERT_EQ(DesEncipherOperation(hash, encKey, static_cast<int32_t>(dataLength),
                                           Hex(data), response),
                      result::kOk);
            const Bytes expected = OpenSslCbc(sessionKey, data, true);
            EXPECT_EQ(response, Hex(expected));

            // 1024 bytes encipher to 1032, more than the decipher side takes.
            if (expected.size() > kDesOpMaxDataBytes) continue;
            std::u16string plain;
            ASSERT_EQ(DesDecipherOperation(hash, encKey, static_cast<int32_t>(expected.size()),
                                           response, plain),
                      result::kOk);
            EXPECT_EQ(plain, Hex(data));
        }
    }
}

TEST_F(DesSessionOperations, OneBlockGainsAWholePadBlock) {
    const Bytes sessionKey = RandomBytes(16);
    const std::u16string encKey = EncryptedKey(sessionKey), hash = HashOf(sessionKey);
    std::u16string cipher, plain;
    ASSERT_EQ(DesEncipherOperation(hash, encKey, 8, u"0011223344556677", cipher), result::kOk);
    ASSERT_EQ(cipher.size(), 32u);
    EXPECT_EQ(OpenSslCbc(sessionKey, Bytes(8, 0x08), true).size(), 16u);
    ASSERT_EQ(DesDecipherOperation(hash, encKey, 16, cipher, plain), result::kOk);
    EXPECT_EQ(plain, u"0011223344556677");
}

TEST_F(DesSessionOperations, FailuresKeepTheResponse) {
    const Bytes sessionKey = RandomBytes(16);
    const std::u16string encKey = EncryptedKey(sessionKey), hash = HashOf(sessionKey);
    const std::u16string data = u"0011223344556677";
    std::u16string response = u"previous";
    for (auto* op : {&DesEncipherOperation, &DesDecipherOperation}) {
        EXPECT_EQ(op(std::nullopt, encKey, 8, data, response), result::kArgumentMissing);
        EXPECT_EQ(op(hash, encKey, 8, std::nullopt, response), result::kArgumentMissing);
        EXPECT_EQ(op(hash.substr(1), encKey, 8, data, response), result::kBadLength);
        EXPECT_EQ(op(hash, encKey.substr(1), 8, data, response), result::kBadLength);
        EXPECT_EQ(op(hash, u"G" + encKey.substr(1), 8, data, response), result::kHexDecodeFailed);
        EXPECT_EQ(op(u"0G" + hash.substr(2), encKey, 8, data, response), result::kHexDecodeFailed);
        EXPECT_EQ(op(HashOf(RandomBytes(16)), encKey, 8, data, response),
                  result::kSessionKeyMismatch);
        EXPECT_EQ(op(HashOf(Bytes(12, 1)), EncryptedKey(Bytes(12, 1)), 8, data, response),
                  result::kPrivateKeyFailed);
        EXPECT_EQ(op(hash, encKey, 7, data, response), result::kOutOfRange);
        EXPECT_EQ(op(hash, encKey, -8, data, response), result::kOutOfRange);
        EXPECT_EQ(op(hash, encKey, 1025, std::u16string(2050, u'0'), response),
                  result::kOutOfRange);
        EXPECT_EQ(op(hash, encKey, 8, u"00112233445566 7", response), result::kHexDecodeFailed);
    }
    // Deciphering needs whole, non-empty cipher blocks and a pad count of at most 8.
    EXPECT_EQ(DesDecipherOperation(hash, encKey, 12, u"001122334455667788990011", response),
              result::kOutOfRange);
    EXPECT_EQ(DesDecipherOperation(hash, encKey, 0, u"", response), result::kOutOfRange);
    // The first cipher block alone deciphers to a block ending in 09.
    const Bytes cipher =
        OpenSslCbc(sessionKey, Bytes{1, 2, 3, 4, 5, 6, 7, 9, 8, 8, 8, 8, 8, 8, 8, 8}, true);
    EXPECT_EQ(DesDecipherOperation(hash, encKey, 8, Hex(Bytes(cipher.begin(), cipher.begin() + 8)),
                                   response),
              result::kCipherFailed);
    EXPECT_EQ(response, u"previous");
}

}  // namespace
}  // namespace qorv::crypto
