// Big-number arithmetic against OpenSSL's BIGNUM on random operands of every
// limb count, plus the capacity and argument limits.
#include "crypto/bignum.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <tuple>
#include <vector>

#include "crypto/bignum_modexp.h"
#include "crypto/bignum_montgomery.h"
#include "crypto/bignum_montgomery_adx.h"
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

// Restores the extension setting when a test ends, on every path.
class AdxSetting {
  public:
    explicit AdxSetting(bool enabled) { detail::SetMontgomeryAdxEnabled(enabled); }
    ~AdxSetting() { detail::SetMontgomeryAdxEnabled(true); }
};

class BigNumPathTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam() && !detail::MontgomeryAdxAvailable()) {
            GTEST_SKIP() << "no BMI2/ADX on this processor";
        }
    }
    AdxSetting setting_{GetParam()};
};

TEST_P(BigNumPathTest, ModExpAndModAgreeWithOpenSslForEverySize) {
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

// Moduli of 8 limbs (the primes of a 1024-bit key): every product of
// operands at the edges and at random, against OpenSSL, by the plain
// product and by the reduction of double-length inputs.
TEST_P(BigNumPathTest, EightLimbProductsAndReductionsAgreeWithOpenSsl) {
    uint32_t seed = 5;
    BN_CTX* ctx = BN_CTX_new();
    std::vector<Bytes> moduli = {Bytes(64, 0xFF), test_util::RandomBytes(64, seed),
                                 test_util::RandomBytes(64, seed)};
    moduli[1][0] |= 0x80;
    moduli[1][63] |= 1;
    moduli[2][0] = 0x80;  // just 2^511 + something odd
    std::fill(moduli[2].begin() + 1, moduli[2].end() - 1, 0);
    moduli[2][63] = 0x01;
    for (const Bytes& m : moduli) {
        const BigNum modulus = FromBytes(m);
        const detail::Montgomery mont(modulus);
        BIGNUM* bm = ToBn(m);
        BIGNUM* one = BN_new();
        BN_one(one);
        BIGNUM* mMinusOne = BN_new();
        BN_sub(mMinusOne, bm, one);
        std::vector<Bytes> operands = {Bytes{0}, Bytes{1}, Bytes{2}, ToBytes(mMinusOne)};
        for (int i = 0; i < 6; ++i) {
            BIGNUM* r = ToBn(test_util::RandomBytes(64, seed));
            BN_mod(r, r, bm, ctx);
            operands.push_back(ToBytes(r));
            BN_free(r);
        }
        for (const Bytes& a : operands) {
            for (const Bytes& b : operands) {
                BIGNUM* ba = ToBn(a);
                BIGNUM* bb = ToBn(b);
                BIGNUM* expected = BN_new();
                BN_mod_mul(expected, ba, bb, bm, ctx);
                BigNum product;
                mont.MulModulo(FromBytes(a), FromBytes(b), product);
                EXPECT_EQ(ToBytes(product), ToBytes(expected));

                // a b as one double-length input: top half below m, reduced.
                BIGNUM* wide = BN_new();
                BN_mul(wide, ba, bb, ctx);
                detail::LimbArray converted{};
                ASSERT_TRUE(mont.ToMontgomeryReducing(converted.data(), FromBytes(ToBytes(wide))));
                detail::LimbArray plain{};
                mont.FromMontgomery(plain.data(), converted.data());
                BigNum reduced;
                reduced.SetLimbs(std::span<const uint64_t>(plain.data(), 8));
                EXPECT_EQ(ToBytes(reduced), ToBytes(expected));
                for (BIGNUM* n : {ba, bb, expected, wide}) BN_free(n);
            }
        }
        // m R - 1 is the largest input one reduction takes; m R is refused.
        BIGNUM* limit = BN_new();
        BN_lshift(limit, bm, 512);
        detail::LimbArray converted{};
        EXPECT_FALSE(mont.ToMontgomeryReducing(converted.data(), FromBytes(ToBytes(limit))));
        BN_sub(limit, limit, one);
        ASSERT_TRUE(mont.ToMontgomeryReducing(converted.data(), FromBytes(ToBytes(limit))));
        detail::LimbArray plain{};
        mont.FromMontgomery(plain.data(), converted.data());
        BigNum reduced;
        reduced.SetLimbs(std::span<const uint64_t>(plain.data(), 8));
        EXPECT_EQ(ToBytes(reduced), ToBytes(mMinusOne));  // (m R - 1) mod m = m - 1
        for (BIGNUM* n : {bm, one, mMinusOne, limit}) BN_free(n);
    }
    BN_CTX_free(ctx);
}

// Two powers taking turns: exponents of very different lengths (0, 1, a few
// bits, full size) on either side, so each side finishes first sometimes.
TEST_P(BigNumPathTest, PairedPowersAgreeWithOpenSsl) {
    uint32_t seed = 33;
    BN_CTX* ctx = BN_CTX_new();
    Bytes mx = test_util::RandomBytes(64, seed), my = test_util::RandomBytes(60, seed);
    mx[0] |= 0x80;
    mx[63] |= 1;
    my[0] |= 0x80;
    my[59] |= 1;
    const detail::Montgomery montX(FromBytes(mx)), montY(FromBytes(my));
    // A base of twice the size, as a CRT input is against each prime.
    const Bytes base = test_util::RandomBytes(120, seed);
    const std::vector<Bytes> exponents = {Bytes{0}, Bytes{1}, Bytes{0x05},
                                          test_util::RandomBytes(3, seed),
                                          test_util::RandomBytes(64, seed)};
    for (const Bytes& ex : exponents) {
        for (const Bytes& ey : exponents) {
            BigNum rx, ry;
            ASSERT_EQ(detail::ModExpPairWith(montX, FromBytes(base), FromBytes(ex), rx, montY,
                                             FromBytes(base), FromBytes(ey), ry),
                      kModExpOk);
            for (const auto& [m, e, r] : {std::tuple{&mx, &ex, &rx}, std::tuple{&my, &ey, &ry}}) {
                BIGNUM* expected = BN_new();
                BIGNUM* bb = ToBn(base);
                BIGNUM* be = ToBn(*e);
                BIGNUM* bm = ToBn(*m);
                BN_mod_exp(expected, bb, be, bm, ctx);
                EXPECT_EQ(ToBytes(*r), ToBytes(expected));
                for (BIGNUM* n : {expected, bb, be, bm}) BN_free(n);
            }
        }
    }
    BN_CTX_free(ctx);
}

INSTANTIATE_TEST_SUITE_P(Products, BigNumPathTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithAdx" : "Portable";
                         });

// The kept Montgomery constants of public moduli: three moduli in turn (more
// than are kept), each result right, and a modulus that differs from a kept
// one only in its lowest limb is not taken for it.
TEST(BigNumTest, PublicExponentiationKeepsNoWrongModulus) {
    uint32_t seed = 21;
    BN_CTX* ctx = BN_CTX_new();
    std::vector<Bytes> moduli;
    for (int i = 0; i < 3; ++i) {
        Bytes m = test_util::RandomBytes(128, seed);
        m[0] |= 0x80;
        m[127] |= 1;
        moduli.push_back(m);
    }
    Bytes neighbour = moduli[0];
    neighbour[127] ^= 2;
    moduli.push_back(neighbour);
    const Bytes e = {0x01, 0x00, 0x01};
    for (int round = 0; round < 3; ++round) {
        for (const Bytes& m : moduli) {
            const Bytes base = test_util::RandomBytes(100, seed);
            BIGNUM* expected = BN_new();
            BIGNUM* bb = ToBn(base);
            BIGNUM* be = ToBn(e);
            BIGNUM* bm = ToBn(m);
            BN_mod_exp(expected, bb, be, bm, ctx);
            BigNum result;
            ASSERT_EQ(ModExpPublic(FromBytes(base), FromBytes(e), FromBytes(m), result), kModExpOk);
            EXPECT_EQ(ToBytes(result), ToBytes(expected));
            for (BIGNUM* n : {expected, bb, be, bm}) BN_free(n);
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
