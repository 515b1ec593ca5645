// RSA PKCS#1 v1.5 against OpenSSL: each direction, both prime orders, both
// coefficient conventions, and the padding and argument limits.
#include "crypto/rsa.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/sha.h>

#include <bit>
#include <memory>
#include <set>
#include <string>
#include <string_view>

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

// The block inside a cipher text, by raw RSA with OpenSSL.
Bytes RawPrivate(EVP_PKEY* key, const Bytes& cipher) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    Bytes out(512);
    std::size_t outLength = out.size();
    const bool ok =
        EVP_PKEY_decrypt_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
        EVP_PKEY_decrypt(ctx, out.data(), &outLength, cipher.data(), cipher.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!ok) return {};
    out.resize(outLength);
    return out;
}

TEST_F(RsaLimitsTest, EncryptionPaddingIsFreshNonZeroAndOddParity) {
    // The longest padding (an empty message), an RN2-sized message and the
    // shortest padding (8 bytes).
    for (const std::size_t messageSize : {std::size_t{0}, std::size_t{8}, std::size_t{117}}) {
        const Bytes message(messageSize, 0x5C);
        const std::size_t paddingSize = 128 - 3 - messageSize;
        std::set<Bytes> paddings;
        for (int round = 0; round < 20; ++round) {
            Bytes cipher(128);
            std::size_t length = 0;
            ASSERT_EQ(RsaPublicEncrypt(publicDer_, message, cipher, length), kRsaOk);
            const Bytes block = RawPrivate(key_, cipher);
            ASSERT_EQ(block.size(), 128u);
            EXPECT_EQ(block[0], 0x00);
            EXPECT_EQ(block[1], 0x02);
            const Bytes padding(block.begin() + 2, block.begin() + 2 + paddingSize);
            for (const uint8_t b : padding) {
                ASSERT_NE(b, 0) << messageSize;
                ASSERT_EQ(std::popcount(b) % 2, 1) << messageSize;
            }
            EXPECT_EQ(block[2 + paddingSize], 0x00);
            EXPECT_EQ(Bytes(block.begin() + 3 + paddingSize, block.end()), message);
            paddings.insert(padding);
        }
        EXPECT_EQ(paddings.size(), 20u) << "padding repeated, message of " << messageSize;
    }
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

// Blocks are read leniently, as the bank's have always been: padding shorter
// than the 8 bytes our own encryption writes, and an extra leading zero byte.
TEST_F(RsaLimitsTest, DecryptTakesShortPaddingAndLeadingZeros) {
    Bytes out(128);
    std::size_t length = 0;
    Bytes shortPadding(128, 0x33);
    shortPadding[0] = 0x00;
    shortPadding[1] = 0x02;
    shortPadding[3] = 0x00;  // one padding byte
    ASSERT_EQ(RsaPrivateDecrypt(privateDer_, test_util::OpenSslRawPublic(key_, shortPadding), out,
                                length),
              kRsaOk);
    EXPECT_EQ(length, 124u);
    Bytes extraZero(128, 0x44);
    extraZero[0] = 0x00;
    extraZero[1] = 0x00;
    extraZero[2] = 0x02;
    extraZero[20] = 0x00;
    ASSERT_EQ(
        RsaPrivateDecrypt(privateDer_, test_util::OpenSslRawPublic(key_, extraZero), out, length),
        kRsaOk);
    EXPECT_EQ(length, 107u);
    // 02 and the separator straight after it leave fewer than 3 bytes before the message.
    Bytes tooShort(128, 0x55);
    tooShort[0] = 0x02;
    tooShort[1] = 0x00;
    // Not below every modulus: only checked when it is.
    const Bytes modulus = test_util::Component(key_, OSSL_PKEY_PARAM_RSA_N);
    if (tooShort < modulus) {
        EXPECT_EQ(RsaPrivateDecrypt(privateDer_, test_util::OpenSslRawPublic(key_, tooShort), out,
                                    length),
                  kRsaBadBlock);
    }
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

Bytes FromHex(std::string_view hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

// This cipher text deciphers to no type-2 block. Recombined with the primes
// exchanged it gives a value correct modulo one prime only that looks like a
// block with a 120-byte message, more than a 1024-bit key can carry.
TEST(RsaFaultTest, DecryptionRefusesAResultCorrectModuloOnePrime) {
    const Bytes cipher =
        FromHex("000000000000000000c2c20c00ff010a300026ffffffffffff00000000259e105a");
    // The development client key, as the key store holds it.
    const test_util::Pkey key = test_util::LoadPemKey("client-private.pem", true);
    ASSERT_NE(key, nullptr);
    const auto components = test_util::ComponentsOf(key.get());
    for (const auto& c : {components, test_util::WithPrimesExchanged(components),
                          test_util::WithInverseOfP(components)}) {
        Bytes out(128, 0xAB);
        std::size_t length = 77;
        EXPECT_EQ(RsaPrivateDecrypt(test_util::PrivateKeyDer(c), cipher, out, length),
                  kRsaBadBlock);
        EXPECT_EQ(out, Bytes(128, 0xAB));
        EXPECT_EQ(length, 77u);
    }
}

// Cipher texts 0, 1 and n - 1 decipher to themselves (d is odd), none of
// them a type-2 block, for every arrangement of the key.
TEST(RsaFaultTest, EdgeCipherTextsAreNoBlocks) {
    const auto components = test_util::ComponentsOf(test_util::GenerateRsaKey(1024).get());
    Bytes nMinusOne = components.n;
    nMinusOne.back() -= 1;  // n is odd
    for (const auto& c : {components, test_util::WithPrimesExchanged(components),
                          test_util::WithInverseOfP(components)}) {
        const Bytes der = test_util::PrivateKeyDer(c);
        for (const Bytes& cipher : {Bytes{0}, Bytes(128, 0), Bytes{1}, nMinusOne}) {
            Bytes out(128);
            std::size_t length = 0;
            EXPECT_EQ(RsaPrivateDecrypt(der, cipher, out, length), kRsaBadBlock);
        }
    }
}

// A coefficient that inverts neither prime modulo the other (damaged in
// storage): no orientation gives the right result, and nothing leaves.
TEST(RsaFaultTest, WrongCoefficientFailsBothOperations) {
    const test_util::Pkey key = test_util::GenerateRsaKey(1024);
    auto c = test_util::ComponentsOf(key.get());
    const Bytes message = {9, 8, 7, 6, 5, 4, 3, 2};
    const Bytes cipher = test_util::OpenSslRsa(key.get(), message, true);
    c.qInv.back() ^= 0x04;
    const Bytes der = test_util::PrivateKeyDer(c);
    Bytes out(128, 0xAB);
    std::size_t length = 77;
    EXPECT_EQ(RsaPrivateDecrypt(der, cipher, out, length), kRsaExponentiationFailed);
    EXPECT_EQ(RsaSignDigest(der, false, kDigestSha1, message, out, length),
              kRsaExponentiationFailed);
    EXPECT_EQ(out, Bytes(128, 0xAB));
    EXPECT_EQ(length, 77u);
}

struct BnDeleter {
    void operator()(BIGNUM* n) const { BN_free(n); }
};
using Bn = std::unique_ptr<BIGNUM, BnDeleter>;

Bn ToBn(const Bytes& bytes) {
    return Bn(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

Bytes ToBytes(const BIGNUM* n, std::size_t size) {
    Bytes out(size);
    BN_bn2binpad(n, out.data(), static_cast<int>(size));
    return out;
}

// A key whose dP is damaged (say, a bit flipped in storage) and a cipher
// text made so that the damaged recombination yields a well-formed block:
// only the check of the result against the public exponent tells.
TEST(RsaFaultTest, DamagedExponentNeverYieldsAPlaintextOrSignature) {
    auto c = test_util::ComponentsOf(test_util::GenerateRsaKey(1024).get());
    BN_CTX* ctx = BN_CTX_new();
    const Bn p = ToBn(c.p), q = ToBn(c.q), e = ToBn(c.e), n = ToBn(c.n), qInv = ToBn(c.qInv);
    Bn pMinusOne(BN_dup(p.get()));
    BN_sub_word(pMinusOne.get(), 1);
    // The damaged dP, still invertible modulo p - 1.
    Bn damaged(BN_dup(ToBn(c.dP).get()));
    Bn gcd(BN_new());
    do {
        BN_add_word(damaged.get(), 2);
        BN_gcd(gcd.get(), damaged.get(), pMinusOne.get(), ctx);
    } while (!BN_is_one(gcd.get()));
    ASSERT_LT(BN_cmp(damaged.get(), p.get()), 0);
    c.dP = ToBytes(damaged.get(), static_cast<std::size_t>(BN_num_bytes(damaged.get())));

    // The block to be produced: 00 02, non-zero padding, 00, 8 message bytes.
    Bytes block(128, 0x5A);
    block[0] = 0x00;
    block[1] = 0x02;
    block[119] = 0x00;
    const Bytes message = {1, 2, 3, 4, 5, 6, 7, 8};
    std::copy(message.begin(), message.end(), block.begin() + 120);
    const Bn m = ToBn(block);
    // Cipher text: m^e modulo q, m^(damaged^-1 mod p-1) modulo p, recombined.
    Bn cq(BN_new()), cp(BN_new()), inverse(BN_new()), h(BN_new()), cipher(BN_new());
    BN_mod_exp(cq.get(), m.get(), e.get(), q.get(), ctx);
    BN_mod_inverse(inverse.get(), damaged.get(), pMinusOne.get(), ctx);
    BN_mod_exp(cp.get(), m.get(), inverse.get(), p.get(), ctx);
    BN_mod_sub(h.get(), cp.get(), cq.get(), p.get(), ctx);
    BN_mod_mul(h.get(), h.get(), qInv.get(), p.get(), ctx);
    BN_mul(cipher.get(), h.get(), q.get(), ctx);
    BN_add(cipher.get(), cipher.get(), cq.get());
    ASSERT_LT(BN_cmp(cipher.get(), n.get()), 0);
    BN_CTX_free(ctx);

    const Bytes der = test_util::PrivateKeyDer(c);
    Bytes out(128, 0xAB);
    std::size_t length = 77;
    EXPECT_EQ(RsaPrivateDecrypt(der, ToBytes(cipher.get(), 128), out, length),
              kRsaExponentiationFailed);
    EXPECT_EQ(out, Bytes(128, 0xAB));
    EXPECT_EQ(length, 77u);
    EXPECT_EQ(RsaSignDigest(der, false, kDigestSha1, message, out, length),
              kRsaExponentiationFailed);
    EXPECT_EQ(out, Bytes(128, 0xAB));
}

}  // namespace
}  // namespace qorv::crypto
