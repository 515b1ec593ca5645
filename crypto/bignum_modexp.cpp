// Modular exponentiation: left-to-right sliding window over the exponent
// bits on Montgomery residues (crypto/bignum_montgomery.h).
#include "crypto/bignum_modexp.h"

#include <algorithm>
#include <array>
#include <optional>

#include "crypto/bignum_limb_ops.h"
#include "crypto/bignum_montgomery.h"

namespace qorv::crypto {
namespace {

using detail::LimbArray;
using detail::Montgomery;

// Overwrites the stack area below the caller that the multiplications used.
[[gnu::noinline]] void ScrubStack() {
    uint64_t area[128];
    detail::WipeLimbs(area, 128);
}

// Bit `index` of the exponent, read from its limbs (index below its bit length).
inline bool ExponentBit(const BigNum& exponent, std::size_t index) {
    return ((exponent.Limbs()[index / 64] >> (index % 64)) & 1) != 0;
}

std::size_t WindowBits(std::size_t exponentBits) {
    if (exponentBits > 256) return 5;
    if (exponentBits > 80) return 4;
    if (exponentBits > 24) return 3;
    return 1;
}

bool Acceptable(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
    return !modulus.IsZero() && modulus.IsOdd() && Compare(base, modulus) < 0 &&
           Compare(exponent, modulus) < 0;
}

// base: the base in Montgomery form (n limbs).
void Exponentiate(const Montgomery& mont, const uint64_t* base, const BigNum& exponent,
                  BigNum& result) {
    const std::size_t window = WindowBits(exponent.BitLength());
    // table[i] = base^(2i+1) in Montgomery form; only the limbs in use are
    // ever read, so nothing needs clearing first.
    std::array<LimbArray, 16> table;
    LimbArray square;
    LimbArray acc;
    std::copy_n(base, mont.Size(), table[0].begin());
    const std::size_t tableSize = std::size_t{1} << (window - 1);
    if (tableSize > 1) mont.Square(square.data(), table[0].data());
    for (std::size_t i = 1; i < tableSize; ++i)
        mont.Mul(table[i].data(), table[i - 1].data(), square.data());

    std::copy_n(mont.One(), mont.Size(), acc.begin());  // 1 in Montgomery form
    std::size_t bit = exponent.BitLength();
    while (bit > 0) {
        if (!ExponentBit(exponent, bit - 1)) {
            mont.Square(acc.data(), acc.data());
            --bit;
            continue;
        }
        // Longest window of at most `window` bits that starts at bit - 1 and ends on a 1.
        std::size_t length = std::min(window, bit);
        while (!ExponentBit(exponent, bit - length)) --length;
        std::size_t value = 0;
        for (std::size_t i = 0; i < length; ++i) {
            value = (value << 1) | (ExponentBit(exponent, bit - 1 - i) ? 1 : 0);
        }
        for (std::size_t i = 0; i < length; ++i) mont.Square(acc.data(), acc.data());
        mont.Mul(acc.data(), acc.data(), table[value >> 1].data());
        bit -= length;
    }
    LimbArray plain;
    mont.FromMontgomery(plain.data(), acc.data());
    result.SetLimbs(std::span<const uint64_t>(plain.data(), mont.Size()));

    // Only the limbs in use ever held anything.
    const std::size_t n = mont.Size();
    for (std::size_t i = 0; i < tableSize; ++i) detail::WipeLimbs(table[i].data(), n);
    detail::WipeLimbs(square.data(), n);
    detail::WipeLimbs(acc.data(), n);
    detail::WipeLimbs(plain.data(), n);
    ScrubStack();
}

// base below m.
void ExponentiatePlain(const Montgomery& mont, const BigNum& base, const BigNum& exponent,
                       BigNum& result) {
    LimbArray converted;
    mont.ToMontgomery(converted.data(), base);
    Exponentiate(mont, converted.data(), exponent, result);
    detail::WipeLimbs(converted.data(), mont.Size());
}

// The public moduli in use: the module's own n (checking its private-key
// results) and the server's n (enciphering for it).
constexpr std::size_t kKeptContexts = 2;

}  // namespace

int32_t ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus, BigNum& result) {
    if (!Acceptable(base, exponent, modulus)) return kModExpFailed;
    const Montgomery mont(modulus);
    ExponentiatePlain(mont, base, exponent, result);
    return kModExpOk;
}

namespace detail {

int32_t ModExpWith(const Montgomery& mont, const BigNum& base, const BigNum& exponent,
                   BigNum& result) {
    LimbArray converted;
    if (!mont.ToMontgomeryReducing(converted.data(), base)) return kModExpFailed;
    Exponentiate(mont, converted.data(), exponent, result);
    WipeLimbs(converted.data(), mont.Size());
    return kModExpOk;
}

}  // namespace detail

int32_t ModExpPublic(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                     BigNum& result) {
    if (!Acceptable(base, exponent, modulus)) return kModExpFailed;
    thread_local std::array<std::optional<Montgomery>, kKeptContexts> kept;
    thread_local std::size_t nextSlot = 0;
    for (const std::optional<Montgomery>& context : kept) {
        if (context && context->Serves(modulus)) {
            ExponentiatePlain(*context, base, exponent, result);
            return kModExpOk;
        }
    }
    std::optional<Montgomery>& slot = kept[nextSlot];
    nextSlot = (nextSlot + 1) % kKeptContexts;
    slot.reset();
    slot.emplace(modulus);
    ExponentiatePlain(*slot, base, exponent, result);
    return kModExpOk;
}

}  // namespace qorv::crypto
