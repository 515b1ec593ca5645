#include "crypto/bignum_modexp.h"

#include <algorithm>
#include <array>

#include "crypto/secure_wipe.h"

namespace qorv::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::size_t kN = BigNum::kMaxLimbs;
using Limbs = std::array<uint64_t, kN>;

// Montgomery product r = a b R^-1 mod m for an N-limb modulus (CIOS form).
// N is a template parameter so the compiler unrolls the inner loops for the
// key sizes in use; inputs and output are below m.
template <std::size_t N>
void MontMulFixed(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* m,
                  uint64_t m0inv) {
    uint64_t t[N + 2] = {};
    for (std::size_t i = 0; i < N; ++i) {
        const uint64_t bi = b[i];
        uint64_t carry = 0;
        for (std::size_t j = 0; j < N; ++j) {
            const Wide p = static_cast<Wide>(a[j]) * bi + t[j] + carry;
            t[j] = static_cast<uint64_t>(p);
            carry = static_cast<uint64_t>(p >> 64);
        }
        Wide s = static_cast<Wide>(t[N]) + carry;
        t[N] = static_cast<uint64_t>(s);
        t[N + 1] = static_cast<uint64_t>(s >> 64);

        const uint64_t q = t[0] * m0inv;
        Wide p = static_cast<Wide>(q) * m[0] + t[0];
        carry = static_cast<uint64_t>(p >> 64);
        for (std::size_t j = 1; j < N; ++j) {
            p = static_cast<Wide>(q) * m[j] + t[j] + carry;
            t[j - 1] = static_cast<uint64_t>(p);
            carry = static_cast<uint64_t>(p >> 64);
        }
        s = static_cast<Wide>(t[N]) + carry;
        t[N - 1] = static_cast<uint64_t>(s);
        t[N] = t[N + 1] + static_cast<uint64_t>(s >> 64);
    }
    // t < 2m: subtract m once when t >= m, choosing by mask rather than branch.
    uint64_t d[N];
    uint64_t borrow = 0;
    for (std::size_t j = 0; j < N; ++j) {
        const Wide diff = static_cast<Wide>(t[j]) - m[j] - borrow;
        d[j] = static_cast<uint64_t>(diff);
        borrow = static_cast<uint64_t>(diff >> 64) & 1;
    }
    const uint64_t keepT = static_cast<uint64_t>(0) - static_cast<uint64_t>(borrow > t[N]);
    for (std::size_t j = 0; j < N; ++j) r[j] = (t[j] & keepT) | (d[j] & ~keepT);
    SecureWipe(t, sizeof t);
    SecureWipe(d, sizeof d);
}

using MontMulFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, const uint64_t*, uint64_t);

template <std::size_t... I>
constexpr std::array<MontMulFn, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
    return {&MontMulFixed<I + 1>...};
}
constexpr auto kMontMulTable = MakeTable(std::make_index_sequence<kN>{});

// -m^-1 mod 2^64 by Newton's iteration (each step doubles the correct bits).
uint64_t NegativeInverse(uint64_t m0) {
    uint64_t x = m0;  // correct to 3 bits for odd m0
    for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
    return static_cast<uint64_t>(0) - x;
}

class Montgomery {
public:
    explicit Montgomery(const BigNum& modulus)
        : n_(modulus.LimbCount()), mul_(kMontMulTable[n_ - 1]), m0inv_(NegativeInverse(modulus.Limbs()[0])) {
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
    ~Montgomery() {
        SecureWipe(r2_);
    }

    void Mul(uint64_t* r, const uint64_t* a, const uint64_t* b) const { mul_(r, a, b, m_.data(), m0inv_); }
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
    mont.Mul(square.data(), table[0].data(), table[0].data());
    const std::size_t tableSize = std::size_t{1} << (window - 1);
    for (std::size_t i = 1; i < tableSize; ++i) mont.Mul(table[i].data(), table[i - 1].data(), square.data());

    // acc starts as 1 in Montgomery form (R mod m).
    BigNum one;
    one.SetWord(1);
    mont.ToMontgomery(acc.data(), one);

    std::size_t bit = exponent.BitLength();
    while (bit > 0) {
        if (!exponent.Bit(bit - 1)) {
            mont.Mul(acc.data(), acc.data(), acc.data());
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
        for (std::size_t i = 0; i < length; ++i) mont.Mul(acc.data(), acc.data(), acc.data());
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
    return kModExpOk;
}

}  // namespace qorv::crypto
