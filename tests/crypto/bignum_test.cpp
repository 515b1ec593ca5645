// Big-number arithmetic against OpenSSL's BIGNUM on random operands of every
// limb count, plus the capacity and argument limits.
#include "crypto/bignum.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include "crypto/bignum_modexp.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;

BigNum FromBytes(const Bytes& bytes) {
    BigNum n;
    EXPECT_TRUE(n.SetBytes(bytes));
    return n;
}

Bytes ToBytes(const BigNum& n) {
    Bytes out(n.ByteLength());
    EXPECT_TRUE(n.GetBytes(out));
    return out;
}

Bytes ToBytes(const BIGNUM* n) {
    Bytes out(static_cast<std::size_t>(BN_num_bytes(n)));
    BN_bn2bin(n, out.data());
    return out;
}

BIGNUM* ToBn(const Bytes& bytes) {
    return BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
}

TEST(BigNumTest, ModExpAndModAgreeWithOpenSslForEverySize) {
    uint32_t seed = 11;
    BN_CTX* ctx = BN_CTX_new();
    for (std::size_t bytes = 1; bytes <= 143; bytes += (bytes < 20 ? 1 : 7)) {
        for (int round = 0; round < 3; ++round) {
            Bytes m = test_util::RandomBytes(bytes, seed);
            m.back() |= 1;
            if (round == 1) m.front() = 0xFF;                     // top limb full
            if (round == 2) std::fill(m.begin(), m.end(), 0xFF);  // 2^k - 1
            if (m.front() == 0) m.front() = 1;
            BIGNUM* bm = ToBn(m);
            Bytes base = test_util::RandomBytes(std::min<std::size_t>(bytes + 8, 144), seed);
            BIGNUM* bbase = ToBn(base);
            BIGNUM* reduced = BN_new();
            BN_mod(reduced, bbase, bm, ctx);
            BigNum ours;
            ASSERT_TRUE(Mod(FromBytes(base), FromBytes(m), ours));
            ASSERT_EQ(ToBytes(ours), ToBytes(reduced)) << bytes;

            Bytes e = test_util::RandomBytes(bytes, seed);
            BIGNUM* be = ToBn(e);
            BN_mod(be, be, bm, ctx);
            BIGNUM* expected = BN_new();
            BN_mod_exp(expected, reduced, be, bm, ctx);
            BigNum result;
            ASSERT_EQ(ModExp(ours, FromBytes(ToBytes(be)), FromBytes(m), result), kModExpOk);
            EXPECT_EQ(ToBytes(result), ToBytes(expected)) << bytes << " round " << round;
            for (BIGNUM* n : {bm, bbase, reduced, be, expected}) BN_free(n);
        }
    }
    BN_CTX_free(ctx);
}

TEST(BigNumTest, ExponentEdgeValues) {
    const BigNum m = FromBytes({0xC5, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01});
    const BigNum base = FromBytes({0x42});
    BigNum zero, one, result;
    one.SetWord(1);
    ASSERT_EQ(ModExp(base, zero, m, result), kModExpOk);  // x^0 = 1
    EXPECT_EQ(Compare(result, one), 0);
    ASSERT_EQ(ModExp(zero, one, m, result), kModExpOk);
    EXPECT_TRUE(result.IsZero());
    // Modulo 1 every residue is 0, the Montgomery constants included.
    ASSERT_EQ(ModExp(zero, zero, one, result), kModExpOk);
    EXPECT_TRUE(result.IsZero());
}

TEST(BigNumTest, ExponentiationRefusesWhatRsaNeverAsksFor) {
    const BigNum m = FromBytes({0x01, 0x01});
    BigNum result = FromBytes({0x77});
    BigNum zero, even;
    even.SetWord(0x100);
    EXPECT_EQ(ModExp(FromBytes({2}), FromBytes({3}), zero, result), kModExpFailed);
    EXPECT_EQ(ModExp(FromBytes({2}), FromBytes({3}), even, result), kModExpFailed);
    EXPECT_EQ(ModExp(m, FromBytes({3}), m, result), kModExpFailed);  // base not below m
    EXPECT_EQ(ModExp(FromBytes({2}), m, m, result), kModExpFailed);  // exponent not below m
    EXPECT_EQ(ToBytes(result), Bytes{0x77});                         // output untouched
}

TEST(BigNumTest, CapacityIs144Bytes) {
    BigNum n;
    Bytes big(144, 0xFF);
    EXPECT_TRUE(n.SetBytes(big));
    big.insert(big.begin(), 0x00);  // leading zeros do not count
    EXPECT_TRUE(n.SetBytes(big));
    big[0] = 0x01;
    EXPECT_FALSE(n.SetBytes(big));
    EXPECT_TRUE(n.IsZero());
    BigNum full = FromBytes(Bytes(144, 0xFF));
    BigNum sum;
    EXPECT_FALSE(Add(full, FromBytes({1}), sum));
    EXPECT_FALSE(Multiply(full, FromBytes({2}), sum));
    Bytes small(2);
    EXPECT_FALSE(full.GetBytes(small));
}

}  // namespace
}  // namespace qorv::crypto
