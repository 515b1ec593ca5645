// Montgomery products by product scanning (each column of a b + q m summed
// in a three-limb accumulator, the quotient digit q chosen as its column
// completes), with a dedicated square that forms each cross product once.
// The limb count is a template parameter so that every loop unrolls for the
// sizes in use. Nothing here branches on the values, only on the sizes.
#include "crypto/bignum_montgomery.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "base/secure_wipe.h"
#include "crypto/bignum_limb_ops.h"

namespace qorv::crypto::detail {
namespace {

constexpr std::size_t kN = BigNum::kMaxLimbs;

// (high : t) is below 2m: r = that value minus m when it is at least m,
// else t, chosen by mask.
template <std::size_t N>
[[gnu::always_inline]] inline void SubtractModulusOnce(uint64_t* r, const uint64_t* t,
                                                       uint64_t high, const uint64_t* m) {
    uint64_t d[N];
    uint64_t borrow = 0;
#pragma GCC unroll 32
    for (std::size_t j = 0; j < N; ++j) borrow = SubBorrow(t[j], m[j], borrow, d[j]);
    uint64_t ignored;
    borrow = SubBorrow(high, 0, borrow, ignored);
    const uint64_t keepT = uint64_t{0} - borrow;
#pragma GCC unroll 32
    for (std::size_t j = 0; j < N; ++j) r[j] = (t[j] & keepT) | (d[j] & ~keepT);
}

// r = a b R^-1 mod m. Inputs below m give t + high below 2m.
template <std::size_t N>
void MontMulFixed(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* m,
                  uint64_t m0inv) {
    uint64_t q[N];
    uint64_t t[N];
    Accumulator acc;
#pragma GCC unroll 32
    for (std::size_t k = 0; k < N; ++k) {
#pragma GCC unroll 32
        for (std::size_t i = 0; i < k; ++i) {
            MulAdd(acc, a[i], b[k - i]);
            MulAdd(acc, q[i], m[k - i]);
        }
        MulAdd(acc, a[k], b[0]);
        q[k] = acc.low * m0inv;
        MulAdd(acc, q[k], m[0]);  // clears the low limb
        acc.Shift();
    }
#pragma GCC unroll 32
    for (std::size_t k = N; k < 2 * N; ++k) {
#pragma GCC unroll 32
        for (std::size_t i = k - N + 1; i < N; ++i) {
            MulAdd(acc, a[i], b[k - i]);
            MulAdd(acc, q[i], m[k - i]);
        }
        t[k - N] = acc.Shift();
    }
    SubtractModulusOnce<N>(r, t, acc.low, m);
    // The temporaries are not wiped here: every call reuses the same stack
    // slots, and ModExp scrubs that stack area once at its end.
}

// r = a^2 R^-1 mod m: per column, the cross products a_i a_j (i < j) once,
// doubled, plus the square a_i^2 on even columns.
template <std::size_t N>
void MontSqrFixed(uint64_t* r, const uint64_t* a, const uint64_t* m, uint64_t m0inv) {
    uint64_t q[N];
    uint64_t t[N];
    Accumulator acc;
#pragma GCC unroll 64
    for (std::size_t k = 0; k < 2 * N; ++k) {
        Accumulator cross;
        const std::size_t first = k < N ? 0 : k - N + 1;
#pragma GCC unroll 32
        for (std::size_t i = first; i < k - i; ++i) MulAdd(cross, a[i], a[k - i]);
        AddDoubled(acc, cross);
        if (k % 2 == 0) MulAdd(acc, a[k / 2], a[k / 2]);
        if (k < N) {
#pragma GCC unroll 32
            for (std::size_t i = 0; i < k; ++i) MulAdd(acc, q[i], m[k - i]);
            q[k] = acc.low * m0inv;
            MulAdd(acc, q[k], m[0]);
            acc.Shift();
        } else {
#pragma GCC unroll 32
            for (std::size_t i = k - N + 1; i < N; ++i) MulAdd(acc, q[i], m[k - i]);
            t[k - N] = acc.Shift();
        }
    }
    SubtractModulusOnce<N>(r, t, acc.low, m);
}

template <std::size_t... I>
constexpr std::array<Montgomery::MulFn, sizeof...(I)> MakeMulTable(std::index_sequence<I...>) {
    return {&MontMulFixed<I + 1>...};
}
template <std::size_t... I>
constexpr std::array<Montgomery::SqrFn, sizeof...(I)> MakeSqrTable(std::index_sequence<I...>) {
    return {&MontSqrFixed<I + 1>...};
}
constexpr auto kMontMulTable = MakeMulTable(std::make_index_sequence<kN>{});
constexpr auto kMontSqrTable = MakeSqrTable(std::make_index_sequence<kN>{});

// -m^-1 mod 2^64 by Newton's iteration (each step doubles the correct bits).
uint64_t NegativeInverse(uint64_t m0) {
    uint64_t x = m0;  // correct to 3 bits for odd m0
    for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
    return uint64_t{0} - x;
}

}  // namespace

Montgomery::Montgomery(const BigNum& modulus)
    : n_(modulus.LimbCount()),
      mul_(kMontMulTable[n_ - 1]),
      sqr_(kMontSqrTable[n_ - 1]),
      m0inv_(NegativeInverse(modulus.Limbs()[0])) {
    std::copy_n(modulus.Limbs(), n_, m_.begin());
    const std::size_t bits = modulus.BitLength();
    if (bits <= 1) return;  // m = 1: every residue, R and R^2 included, is 0
    // R mod m: 2^(bits-1) is below m; doubling it modulo m up to 2^(64 n).
    LimbArray scratch{};
    one_[(bits - 1) / 64] = uint64_t{1} << ((bits - 1) % 64);
    for (std::size_t i = bits - 1; i < 64 * n_; ++i) DoubleModulo(one_.data(), scratch.data());
    // R^2 mod m without a division: with 64 n = j 2^s, R 2^j mod m is 2^j in
    // Montgomery form, and each Montgomery square doubles the exponent, so s
    // squares reach 2^(64 n) = R, that is R^2 in that form. A doubling costs
    // far less than a square, so j is at least 16 where the size allows.
    int s = std::countr_zero(64 * n_);
    while (s > 0 && ((64 * n_) >> s) < 16) --s;
    const std::size_t j = (64 * n_) >> s;
    r2_ = one_;
    for (std::size_t i = 0; i < j; ++i) DoubleModulo(r2_.data(), scratch.data());
    for (int i = 0; i < s; ++i) Square(r2_.data(), r2_.data());
    SecureWipe(scratch.data(), n_ * sizeof(uint64_t));
}

Montgomery::~Montgomery() {
    // Only the limbs in use ever held anything.
    SecureWipe(one_.data(), n_ * sizeof(uint64_t));
    SecureWipe(r2_.data(), n_ * sizeof(uint64_t));
}

// x = 2 x mod m for x below m, without branching on x; scratch gets the
// other candidate (the caller wipes it once).
void Montgomery::DoubleModulo(uint64_t* x, uint64_t* scratch) const {
    uint64_t carry = 0, borrow = 0;
    for (std::size_t j = 0; j < n_; ++j) carry = AddCarry(x[j], x[j], carry, x[j]);
    for (std::size_t j = 0; j < n_; ++j) borrow = SubBorrow(x[j], m_[j], borrow, scratch[j]);
    // 2x is below m only when it did not overflow and the subtraction borrowed.
    const uint64_t keepDoubled = uint64_t{0} - (borrow & (carry ^ 1));
    for (std::size_t j = 0; j < n_; ++j) x[j] = (x[j] & keepDoubled) | (scratch[j] & ~keepDoubled);
}

void Montgomery::ToMontgomery(uint64_t* r, const BigNum& a) const {
    LimbArray plain{};
    std::copy_n(a.Limbs(), a.LimbCount(), plain.begin());
    Mul(r, plain.data(), r2_.data());
    SecureWipe(plain.data(), n_ * sizeof(uint64_t));
}

void Montgomery::FromMontgomery(uint64_t* r, const uint64_t* a) const {
    LimbArray one{};
    one[0] = 1;
    Mul(r, a, one.data());
}

}  // namespace qorv::crypto::detail
