// Modular exponentiation: left-to-right sliding window over the exponent
// bits on Montgomery residues (crypto/bignum_montgomery.h).
#include "crypto/bignum_modexp.h"

#include <algorithm>
#include <array>

#include "base/secure_wipe.h"
#include "crypto/bignum_montgomery.h"

namespace qorv::crypto {
namespace {

using detail::LimbArray;
using detail::Montgomery;

// Overwrites the stack area below the caller that the multiplications used.
[[gnu::noinline]] void ScrubStack() {
    uint8_t area[1024];
    SecureWipe(area, sizeof area);
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

}  // namespace

int32_t ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus, BigNum& result) {
    if (modulus.IsZero() || !modulus.IsOdd()) return kModExpFailed;
    if (Compare(base, modulus) >= 0 || Compare(exponent, modulus) >= 0) return kModExpFailed;

    const Montgomery mont(modulus);
    const std::size_t window = WindowBits(exponent.BitLength());
    // table[i] = base^(2i+1) in Montgomery form.
    std::array<LimbArray, 16> table{};
    LimbArray square{};
    LimbArray acc{};
    mont.ToMontgomery(table[0].data(), base);
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
    LimbArray plain{};
    mont.FromMontgomery(plain.data(), acc.data());
    result.SetLimbs(std::span<const uint64_t>(plain.data(), mont.Size()));

    // Only the limbs in use ever held anything.
    const std::size_t usedBytes = mont.Size() * sizeof(uint64_t);
    for (std::size_t i = 0; i < tableSize; ++i) SecureWipe(table[i].data(), usedBytes);
    SecureWipe(square.data(), usedBytes);
    SecureWipe(acc.data(), usedBytes);
    SecureWipe(plain.data(), usedBytes);
    ScrubStack();
    return kModExpOk;
}

}  // namespace qorv::crypto
