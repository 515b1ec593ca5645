// RSA PKCS#1 v1.5 against OpenSSL: each direction, both prime orders, both
// coefficient conventions, and the padding and argument limits.
#include "crypto/rsa.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include "crypto/sha1.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;

struct KeyUnderTest {
    test_util::Pkey openssl;
    Bytes privateDer;
    Bytes publicDer;
};

// Three DER forms of one key: as OpenSSL made it, with p and q exchanged,
// and with p^-1 mod q as the coefficient. OpenSSL keeps the original.
std::vector<KeyUnderTest> KeyVariants(unsigned bits) {
    std::vector<KeyUnderTest> keys;
    const auto components = test_util::ComponentsOf(test_util::GenerateRsaKey(bits).get());
    const Bytes original = test_util::PrivateKeyDer(components);
    for (const auto& c : {components, test_util::WithPrimesExchanged(components),
                          test_util::WithInverseOfP(components)}) {
        KeyUnderTest k;
        const uint8_t* p = original.data();
        k.openssl.reset(
            d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(original.size())));
        k.privateDer = test_util::PrivateKeyDer(c);
        k.publicDer = test_util::PublicKeyDer(c);
        keys.push_back(std::move(k));
    }
    return keys;
}

class RsaDifferentialTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(RsaDifferentialTest, EncryptDecryptSignAgreeWithOpenSsl) {
    uint32_t seed = GetParam();
    for (const KeyUnderTest& key : KeyVariants(GetParam())) {
        const std::size_t k = GetParam() / 8;
        for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{8}, k - 11}) {
            const Bytes message = test_util::RandomBytes(length, seed);

            // Ours encrypts, OpenSSL decrypts.
            Bytes cipher(k);
            std::size_t cipherLength = 0;
            ASSERT_EQ(RsaPublicEncrypt(key.publicDer, message, cipher, cipherLength), kRsaOk);
            ASSERT_EQ(cipherLength, k);
            EXPECT_EQ(test_util::OpenSslRsa(key.openssl.get(), cipher, false), message);

            // OpenSSL encrypts, ours decrypts.
            const Bytes theirs = test_util::OpenSslRsa(key.openssl.get(), message, true);
            Bytes plain(k);
            std::size_t plainLength = 99;
            ASSERT_EQ(RsaPrivateDecrypt(key.privateDer, theirs, plain, plainLength), kRsaOk);
            plain.resize(plainLength);
            EXPECT_EQ(plain, message);

            // Signature over SHA-1, verified by OpenSSL.
            Bytes signature(k);
            std::size_t signatureLength = 0;
            ASSERT_EQ(RsaSignDigest(key.privateDer, false, kDigestSha1, message, signature,
                                    signatureLength),
                      kRsaOk);
            ASSERT_EQ(signatureLength, k);
            Bytes digest(20);
            SHA1(message.data(), message.size(), digest.data());
            EXPECT_TRUE(test_util::OpenSslVerifySha1(key.openssl.get(), digest, signature));

            // The same signature from a given digest.
            Bytes again(k);
            ASSERT_EQ(
                RsaSignDigest(key.privateDer, true, kDigestSha1, digest, again, signatureLength),
                kRsaOk);
            EXPECT_EQ(again, signature);
        }
    }
}

// 1024 bits is the protocol's key; 1136 bits (142 bytes) is the largest modulus.
INSTANTIATE_TEST_SUITE_P(KeySizes, RsaDifferentialTest, ::testing::Values(512u, 1024u, 1136u));

class RsaLimitsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        key_ = test_util::GenerateRsaKey(1024).release();
        const auto c = test_util::ComponentsOf(key_);
        privateDer_ = test_util::PrivateKeyDer(c);
        publicDer_ = test_util::PublicKeyDer(c);
    }
    static void TearDownTestSuite() { EVP_PKEY_free(key_); }

    static inline EVP_PKEY* key_ = nullptr;
    static inline Bytes privateDer_;
    static inline Bytes publicDer_;
};

TEST_F(RsaLimitsTest, MessageLengthLimitIsKMinus11) {
    Bytes out(128, 0xAB);
    std::size_t length = 0;
    EXPECT_EQ(RsaPublicEncrypt(publicDer_, Bytes(117, 1), out, length), kRsaOk);
    const Bytes before = out;
    EXPECT_EQ(RsaPublicEncrypt(publicDer_, Bytes(118, 1), out, length), kRsaMessageTooLong);
    EXPECT_EQ(out, before);  // a failure leaves the output alone
}

TEST_F(RsaLimitsTest, DecryptRejectsMalformedBlocks) {
    Bytes out(128);
    std::size_t length = 0;
    // Type 1 block (a signature block) is not a type-2 block.
    Bytes type1(128, 0xFF);
    type1[0] = 0x00;
    type1[1] = 0x01;
    type1[100] = 0x00;
    EXPECT_EQ(RsaPrivateDecrypt(privateDer_, test_util::OpenSslRawPublic(key_, type1), out, length),
              kRsaBadBlock);
    // Type 2 without the zero separator.
    Bytes noSeparator(128, 0x5A);
    noSeparator[0] = 0x00;
    noSeparator[1] = 0x02;
    EXPECT_EQ(
        RsaPrivateDecrypt(privateDer_, test_util::OpenSslRawPublic(key_, noSeparator), out, length),
        kRsaBadBlock);
    // A cipher text not below the modulus.
    const Bytes modulus = test_util::Component(key_, OSSL_PKEY_PARAM_RSA_N);
    EXPECT_EQ(RsaPrivateDecrypt(privateDer_, modulus, out, length), kRsaExponentiationFailed);
    // Longer than the number capacity.
    EXPECT_EQ(RsaPrivateDecrypt(privateDer_, Bytes(145, 1), out, length), kRsaExponentiationFailed);
}

TEST_F(RsaLimitsTest, SignArgumentChecks) {
    Bytes out(128);
    std::size_t length = 0;
    EXPECT_EQ(RsaSignDigest(privateDer_, false, kDigestMd5, Bytes(5, 1), out, length),
              kRsaDigestKind);
    EXPECT_EQ(RsaSignDigest(privateDer_, true, 2, Bytes(20, 1), out, length), kRsaDigestKind);
    EXPECT_EQ(RsaSignDigest(privateDer_, true, kDigestSha1, Bytes(16, 1), out, length),
              kRsaDigestLength);
    EXPECT_EQ(RsaSignDigest(privateDer_, true, kDigestMd5, Bytes(20, 1), out, length),
              kRsaDigestLength);
    // A given MD5 digest signs, and OpenSSL's MD5 verification accepts it.
    const Bytes digest(16, 0x42);
    ASSERT_EQ(RsaSignDigest(privateDer_, true, kDigestMd5, digest, out, length), kRsaOk);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key_, nullptr);
    EVP_PKEY_verify_init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
    EVP_PKEY_CTX_set_signature_md(ctx, EVP_md5());
    EXPECT_EQ(EVP_PKEY_verify(ctx, out.data(), out.size(), digest.data(), digest.size()), 1);
    EVP_PKEY_CTX_free(ctx);
}

TEST_F(RsaLimitsTest, TooSmallKeysLeaveFewerThanEightPaddingBytes) {
    // The padding check comes before any arithmetic, so a key of the right
    // size with made-up components shows the limit: a SHA-1 DigestInfo takes
    // 35 bytes, so k = 46 leaves 8 FF bytes and k = 45 only 7.
    auto fake = [](std::size_t k) {
        test_util::RsaComponents c{Bytes(k, 0xFF), {1, 0, 1}, {3}, {5}, {7}, {3}, {5}, {1}};
        return test_util::PrivateKeyDer(c);
    };
    Bytes out(64);
    std::size_t length = 0;
    EXPECT_EQ(RsaSignDigest(fake(45), false, kDigestSha1, Bytes(3, 1), out, length),
              kRsaPaddingTooShort);
    EXPECT_NE(RsaSignDigest(fake(46), false, kDigestSha1, Bytes(3, 1), out, length),
              kRsaPaddingTooShort);
    // Encryption: k - 11 bytes is allowed and always leaves exactly 8.
    test_util::RsaComponents c{Bytes(45, 0xFF), {3}, {}, {}, {}, {}, {}, {}};
    EXPECT_EQ(RsaPublicEncrypt(test_util::PublicKeyDer(c), Bytes(35, 1), out, length),
              kRsaMessageTooLong);
}

TEST_F(RsaLimitsTest, EqualPrimesAreRefused) {
    auto c = test_util::ComponentsOf(key_);
    c.q = c.p;
    Bytes out(128);
    std::size_t length = 0;
    EXPECT_EQ(RsaPrivateDecrypt(test_util::PrivateKeyDer(c), Bytes(128, 1), out, length),
              kRsaPrimesEqual);
}

}  // namespace
}  // namespace qorv::crypto
