#include "crypto/bignum_modexp.h"

#include <algorithm>
#include <array>

#include "crypto/secure_wipe.h"

namespace qorv::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::size_t kN = BigNum::kMaxLimbs;
using Limbs = std::array<uint64_t, kN>;

// value = (high : t[0..N-1]) < 2m: r = value - m when value >= m, else
// value, choosing by mask rather than branch.
template <std::size_t N>
void SubtractModulusOnce(uint64_t* r, const uint64_t* t, uint64_t high, const uint64_t* m) {
    uint64_t d[N];
    uint64_t borrow = 0;
    for (std::size_t j = 0; j < N; ++j) {
        const Wide diff = static_cast<Wide>(t[j]) - m[j] - borrow;
        d[j] = static_cast<uint64_t>(diff);
        borrow = static_cast<uint64_t>(diff >> 64) & 1;
    }
    const uint64_t keepT = static_cast<uint64_t>(0) - static_cast<uint64_t>(borrow > high);
    for (std::size_t j = 0; j < N; ++j) r[j] = (t[j] & keepT) | (d[j] & ~keepT);
}

// Montgomery product r = a b R^-1 mod m for an N-limb modulus, with the
// multiplication and the reduction interleaved in one pass per limb of b
// (two independent carry chains the processor can overlap). N is a template
// parameter so the compiler unrolls the loops for the key sizes in use;
// inputs and output are below m, and r may alias a or b.
template <std::size_t N>
void MontMulFixed(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* m,
                  uint64_t m0inv) {
    uint64_t t[N + 1] = {};
    for (std::size_t i = 0; i < N; ++i) {
        const uint64_t bi = b[i];
        Wide p1 = static_cast<Wide>(a[0]) * bi + t[0];
        const uint64_t q = static_cast<uint64_t>(p1) * m0inv;
        Wide p2 = static_cast<Wide>(q) * m[0] + static_cast<uint64_t>(p1);
        uint64_t carry1 = static_cast<uint64_t>(p1 >> 64);
        uint64_t carry2 = static_cast<uint64_t>(p2 >> 64);
        for (std::size_t j = 1; j < N; ++j) {
            p1 = static_cast<Wide>(a[j]) * bi + t[j] + carry1;
            carry1 = static_cast<uint64_t>(p1 >> 64);
            p2 = static_cast<Wide>(q) * m[j] + static_cast<uint64_t>(p1) + carry2;
            carry2 = static_cast<uint64_t>(p2 >> 64);
            t[j - 1] = static_cast<uint64_t>(p2);
        }
        const Wide s = static_cast<Wide>(t[N]) + carry1 + carry2;
        t[N - 1] = static_cast<uint64_t>(s);
        t[N] = static_cast<uint64_t>(s >> 64);
    }
    SubtractModulusOnce<N>(r, t, t[N], m);
    // The temporaries are not wiped here: every call reuses the same stack
    // slots, and ModExp scrubs that stack area once at its end (ScrubStack).
}

// Montgomery square r = a^2 R^-1 mod m: the full square first (each cross
// product once, then doubled), then a word-by-word Montgomery reduction.
template <std::size_t N>
void MontSqrFixed(uint64_t* r, const uint64_t* a, const uint64_t* m, uint64_t m0inv) {
    uint64_t t[2 * N] = {};
    for (std::size_t i = 0; i + 1 < N; ++i) {
        uint64_t carry = 0;
        for (std::size_t j = i + 1; j < N; ++j) {
            const Wide p = static_cast<Wide>(a[i]) * a[j] + t[i + j] + carry;
            t[i + j] = static_cast<uint64_t>(p);
            carry = static_cast<uint64_t>(p >> 64);
        }
        t[i + N] = carry;
    }
    uint64_t top = 0;
    for (std::size_t k = 0; k < 2 * N; ++k) {
        const uint64_t doubled = (t[k] << 1) | top;
        top = t[k] >> 63;
        t[k] = doubled;
    }
    uint64_t carry = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const Wide p = static_cast<Wide>(a[i]) * a[i] + t[2 * i] + carry;
        t[2 * i] = static_cast<uint64_t>(p);
        const Wide s = static_cast<Wide>(t[2 * i + 1]) + static_cast<uint64_t>(p >> 64);
        t[2 * i + 1] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    uint64_t overflow = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const uint64_t q = t[i] * m0inv;
        carry = 0;
        for (std::size_t j = 0; j < N; ++j) {
            const Wide p = static_cast<Wide>(q) * m[j] + t[i + j] + carry;
            t[i + j] = static_cast<uint64_t>(p);
            carry = static_cast<uint64_t>(p >> 64);
        }
        const Wide s = static_cast<Wide>(t[i + N]) + carry + overflow;
        t[i + N] = static_cast<uint64_t>(s);
        overflow = static_cast<uint64_t>(s >> 64);
    }
    SubtractModulusOnce<N>(r, t + N, overflow, m);
}

// Overwrites the stack area below the caller that the multiplications used.
[[gnu::noinline]] void ScrubStack() {
    uint8_t area[1024];
    SecureWipe(area, sizeof area);
}

using MontMulFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, const uint64_t*, uint64_t);
using MontSqrFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, uint64_t);

template <std::size_t... I>
constexpr std::array<MontMulFn, sizeof...(I)> MakeMulTable(std::index_sequence<I...>) {
    return {&MontMulFixed<I + 1>...};
}
template <std::size_t... I>
constexpr std::array<MontSqrFn, sizeof...(I)> MakeSqrTable(std::index_sequence<I...>) {
    return {&MontSqrFixed<I + 1>...};
}
constexpr auto kMontMulTable = MakeMulTable(std::make_index_sequence<kN>{});
constexpr auto kMontSqrTable = MakeSqrTable(std::make_index_sequence<kN>{});

// -m^-1 mod 2^64 by Newton's iteration (each step doubles the correct bits).
uint64_t NegativeInverse(uint64_t m0) {
    uint64_t x = m0;  // correct to 3 bits for odd m0
    for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
    return static_cast<uint64_t>(0) - x;
}

class Montgomery {
  public:
    explicit Montgomery(const BigNum& modulus)
        : n_(modulus.LimbCount()),
          mul_(kMontMulTable[n_ - 1]),
          sqr_(kMontSqrTable[n_ - 1]),
          m0inv_(NegativeInverse(modulus.Limbs()[0])) {
        std::copy_n(modulus.Limbs(), n_, m_.begin());
        // R^2 mod m with R = 2^(64 n), as (R mod m)^2 mod m so that no
        // intermediate exceeds twice the capacity.
        std::array<uint64_t, kN + 1> r{};
        r[n_] = 1;
        BigNum rModM, r2ModM;
        ModLimbs(std::span<const uint64_t>(r.data(), n_ + 1), modulus, rModM);
        ModMul(rModM, rModM, modulus, r2ModM);
        std::copy_n(r2ModM.Limbs(), r2ModM.LimbCount(), r2_.begin());
    }
    ~Montgomery() { SecureWipe(r2_); }

    void Mul(uint64_t* r, const uint64_t* a, const uint64_t* b) const {
        mul_(r, a, b, m_.data(), m0inv_);
    }
    void Square(uint64_t* r, const uint64_t* a) const { sqr_(r, a, m_.data(), m0inv_); }
    void ToMontgomery(uint64_t* r, const BigNum& a) const {
        Limbs plain{};
        std::copy_n(a.Limbs(), a.LimbCount(), plain.begin());
        Mul(r, plain.data(), r2_.data());
        SecureWipe(plain);
    }
    void FromMontgomery(uint64_t* r, const uint64_t* a) const {
        Limbs one{};
        one[0] = 1;
        Mul(r, a, one.data());
    }
    std::size_t Size() const { return n_; }

  private:
    std::size_t n_;
    MontMulFn mul_;
    MontSqrFn sqr_;
    uint64_t m0inv_;
    Limbs m_{};
    Limbs r2_{};
};

std::size_t WindowBits(std::size_t exponentBits) {
    if (exponentBits > 256) return 5;
    if (exponentBits > 80) return 4;
    if (exponentBits > 24) return 3;
    return 1;
}

}  // namespace

int32_t ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus, BigNum& result) {
    if (modulus.IsZero() || !modulus.IsOdd()) return kModExpFailed;
    if (Compare(base, modulus) >= 0 || Compare(exponent, modulus) >= 0) return kModExpFailed;

    const Montgomery mont(modulus);
    const std::size_t window = WindowBits(exponent.BitLength());
    // table[i] = base^(2i+1) in Montgomery form.
    std::array<Limbs, 16> table{};
    Limbs square{};
    Limbs acc{};
    mont.ToMontgomery(table[0].data(), base);
    mont.Square(square.data(), table[0].data());
    const std::size_t tableSize = std::size_t{1} << (window - 1);
    for (std::size_t i = 1; i < tableSize; ++i)
        mont.Mul(table[i].data(), table[i - 1].data(), square.data());

    // acc starts as 1 in Montgomery form (R mod m).
    BigNum one;
    one.SetWord(1);
    mont.ToMontgomery(acc.data(), one);

    std::size_t bit = exponent.BitLength();
    while (bit > 0) {
        if (!exponent.Bit(bit - 1)) {
            mont.Square(acc.data(), acc.data());
            --bit;
            continue;
        }
        // Longest window of at most `window` bits that starts at bit - 1 and ends on a 1.
        std::size_t length = std::min(window, bit);
        while (!exponent.Bit(bit - length)) --length;
        std::size_t value = 0;
        for (std::size_t i = 0; i < length; ++i) {
            value = (value << 1) | (exponent.Bit(bit - 1 - i) ? 1 : 0);
        }
        for (std::size_t i = 0; i < length; ++i) mont.Square(acc.data(), acc.data());
        mont.Mul(acc.data(), acc.data(), table[value >> 1].data());
        bit -= length;
    }
    Limbs plain{};
    mont.FromMontgomery(plain.data(), acc.data());
    result.SetLimbs(std::span<const uint64_t>(plain.data(), mont.Size()));

    for (auto& entry : table) SecureWipe(entry);
    SecureWipe(square);
    SecureWipe(acc);
    SecureWipe(plain);
    ScrubStack();
    return kModExpOk;
}

}  // namespace qorv::crypto
