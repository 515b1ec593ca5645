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
#include "crypto/bignum_montgomery_adx.h"

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

// Two independent squares (x and y, each with its own modulus) column by
// column in one body. One square waits on its own carries and quotient
// digits much of the time; the other's work fills those waits.
template <std::size_t N>
void MontSqrPairFixed(uint64_t* rx, const uint64_t* ax, const uint64_t* mx, uint64_t ix,
                      uint64_t* ry, const uint64_t* ay, const uint64_t* my, uint64_t iy) {
    uint64_t qx[N], qy[N];
    uint64_t tx[N], ty[N];
    Accumulator accX, accY;
#pragma GCC unroll 64
    for (std::size_t k = 0; k < 2 * N; ++k) {
        Accumulator crossX, crossY;
        const std::size_t first = k < N ? 0 : k - N + 1;
#pragma GCC unroll 32
        for (std::size_t i = first; i < k - i; ++i) {
            MulAdd(crossX, ax[i], ax[k - i]);
            MulAdd(crossY, ay[i], ay[k - i]);
        }
        AddDoubled(accX, crossX);
        AddDoubled(accY, crossY);
        if (k % 2 == 0) {
            MulAdd(accX, ax[k / 2], ax[k / 2]);
            MulAdd(accY, ay[k / 2], ay[k / 2]);
        }
        if (k < N) {
#pragma GCC unroll 32
            for (std::size_t i = 0; i < k; ++i) {
                MulAdd(accX, qx[i], mx[k - i]);
                MulAdd(accY, qy[i], my[k - i]);
            }
            qx[k] = accX.low * ix;
            qy[k] = accY.low * iy;
            MulAdd(accX, qx[k], mx[0]);
            MulAdd(accY, qy[k], my[0]);
            accX.Shift();
            accY.Shift();
        } else {
#pragma GCC unroll 32
            for (std::size_t i = k - N + 1; i < N; ++i) {
                MulAdd(accX, qx[i], mx[k - i]);
                MulAdd(accY, qy[i], my[k - i]);
            }
            tx[k - N] = accX.Shift();
            ty[k - N] = accY.Shift();
        }
    }
    SubtractModulusOnce<N>(rx, tx, accX.low, mx);
    SubtractModulusOnce<N>(ry, ty, accY.low, my);
}

using SqrPairFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, uint64_t, uint64_t*,
                           const uint64_t*, const uint64_t*, uint64_t);

// Pairs are made for the primes of the keys in use (moduli up to 1152
// bits); larger ones square one after the other.
constexpr std::size_t kMaxPairLimbs = 9;

template <std::size_t... I>
constexpr std::array<SqrPairFn, sizeof...(I)> MakeSqrPairTable(std::index_sequence<I...>) {
    return {&MontSqrPairFixed<I + 1>...};
}
constexpr auto kMontSqrPairTable = MakeSqrPairTable(std::make_index_sequence<kMaxPairLimbs>{});

// r = x R^-1 mod m for x of 2N limbs below m R: the reduction half of a
// Montgomery product, with the limbs of x added in as their columns come.
template <std::size_t N>
void MontRedcFixed(uint64_t* r, const uint64_t* x, const uint64_t* m, uint64_t m0inv) {
    uint64_t q[N];
    uint64_t t[N];
    Accumulator acc;
#pragma GCC unroll 32
    for (std::size_t k = 0; k < N; ++k) {
#pragma GCC unroll 32
        for (std::size_t i = 0; i < k; ++i) MulAdd(acc, q[i], m[k - i]);
        AddWord(acc, x[k]);
        q[k] = acc.low * m0inv;
        MulAdd(acc, q[k], m[0]);
        acc.Shift();
    }
#pragma GCC unroll 32
    for (std::size_t k = N; k < 2 * N; ++k) {
#pragma GCC unroll 32
        for (std::size_t i = k - N + 1; i < N; ++i) MulAdd(acc, q[i], m[k - i]);
        AddWord(acc, x[k]);
        t[k - N] = acc.Shift();
    }
    SubtractModulusOnce<N>(r, t, acc.low, m);
}

template <std::size_t... I>
constexpr std::array<Montgomery::RedcFn, sizeof...(I)> MakeRedcTable(std::index_sequence<I...>) {
    return {&MontRedcFixed<I + 1>...};
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
constexpr auto kMontRedcTable = MakeRedcTable(std::make_index_sequence<kN>{});

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
      redc_(kMontRedcTable[n_ - 1]),
      m0inv_(NegativeInverse(modulus.Limbs()[0])) {
    // The extension's product beats the portable one; the portable square,
    // which forms each cross product once, still beats a product of a with a.
    if (n_ == 8 && MontgomeryAdxEnabled()) mul_ = &MontMulAdx8;
    std::copy_n(modulus.Limbs(), n_, m_.begin());
    const std::size_t bits = modulus.BitLength();
    if (bits <= 1) return;  // m = 1: every residue, R and R^2 included, is 0
    // R mod m: 2^(bits-1) is below m; doubling it modulo m up to 2^(64 n).
    LimbArray scratch{};
    one_[(bits - 1) / 64] = uint64_t{1} << ((bits - 1) % 64);
    for (std::size_t i = bits - 1; i < 64 * n_; ++i) DoubleModulo(one_.data(), scratch.data());
    // R^2 mod m without a division: with 64 n = j 2^s, R 2^j mod m is 2^j in
    // Montgomery form, and each Montgomery square doubles the exponent, so s
    // squares reach 2^(64 n) = R, that is R^2 in that form. Each halving of
    // j saves j / 2 doublings for one square; measured, j = 4 is quickest
    // (16 doublings cost more than the two squares they replace).
    int s = std::countr_zero(64 * n_);
    while (s > 0 && ((64 * n_) >> s) < 4) --s;
    const std::size_t j = (64 * n_) >> s;
    r2_ = one_;
    for (std::size_t i = 0; i < j; ++i) DoubleModulo(r2_.data(), scratch.data());
    for (int i = 0; i < s; ++i) Square(r2_.data(), r2_.data());
    Mul(r3_.data(), r2_.data(), r2_.data());
    WipeLimbs(scratch.data(), n_);
}

Montgomery::~Montgomery() {
    // Only the limbs in use ever held anything.
    WipeLimbs(one_.data(), n_);
    WipeLimbs(r2_.data(), n_);
    WipeLimbs(r3_.data(), n_);
    WipeLimbs(m_.data(), n_);
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

bool Montgomery::Serves(const BigNum& modulus) const {
    return modulus.LimbCount() == n_ && std::equal(m_.begin(), m_.begin() + n_, modulus.Limbs()) &&
           mul_ == (n_ == 8 && MontgomeryAdxEnabled() ? &MontMulAdx8 : kMontMulTable[n_ - 1]);
}

void Montgomery::SquarePair(const Montgomery& x, uint64_t* rx, const uint64_t* ax,
                            const Montgomery& y, uint64_t* ry, const uint64_t* ay) {
    if (x.n_ == y.n_ && x.n_ <= kMaxPairLimbs) {
        kMontSqrPairTable[x.n_ - 1](rx, ax, x.m_.data(), x.m0inv_, ry, ay, y.m_.data(), y.m0inv_);
    } else {
        x.Square(rx, ax);
        y.Square(ry, ay);
    }
}

void Montgomery::ToMontgomery(uint64_t* r, const BigNum& a) const {
    LimbArray plain{};
    std::copy_n(a.Limbs(), a.LimbCount(), plain.begin());
    Mul(r, plain.data(), r2_.data());
    WipeLimbs(plain.data(), n_);
}

bool Montgomery::Below(const uint64_t* x, std::size_t count) const {
    if (count != n_) return count < n_;
    for (std::size_t i = n_; i-- > 0;) {
        if (x[i] != m_[i]) return x[i] < m_[i];
    }
    return false;
}

bool Montgomery::ToMontgomeryReducing(uint64_t* r, const BigNum& a) const {
    if (a.LimbCount() > 2 * n_) return false;
    if (a.LimbCount() <= n_ && Below(a.Limbs(), a.LimbCount())) {
        ToMontgomery(r, a);
        return true;
    }
    // One reduction serves when the top n limbs are below m.
    const std::size_t topCount = a.LimbCount() > n_ ? a.LimbCount() - n_ : 0;
    if (!Below(a.Limbs() + n_, topCount)) return false;
    uint64_t wide[2 * BigNum::kMaxLimbs] = {};
    std::copy_n(a.Limbs(), a.LimbCount(), wide);
    LimbArray reduced{};
    redc_(reduced.data(), wide, m_.data(), m0inv_);  // a R^-1
    Mul(r, reduced.data(), r3_.data());              // a R^-1 R^3 R^-1 = a R
    WipeLimbs(wide, 2 * n_);
    WipeLimbs(reduced.data(), n_);
    return true;
}

void Montgomery::MulModulo(const BigNum& a, const BigNum& b, BigNum& r) const {
    LimbArray x{}, y{}, product{};
    std::copy_n(a.Limbs(), a.LimbCount(), x.begin());
    std::copy_n(b.Limbs(), b.LimbCount(), y.begin());
    Mul(product.data(), x.data(), y.data());          // a b R^-1
    Mul(product.data(), product.data(), r2_.data());  // a b
    r.SetLimbs(std::span<const uint64_t>(product.data(), n_));
    WipeLimbs(x.data(), n_);
    WipeLimbs(y.data(), n_);
    WipeLimbs(product.data(), n_);
}

void Montgomery::FromMontgomery(uint64_t* r, const uint64_t* a) const {
    LimbArray one{};
    one[0] = 1;
    Mul(r, a, one.data());
}

}  // namespace qorv::crypto::detail
