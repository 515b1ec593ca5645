// Modular exponentiation for RSA: Montgomery multiplication with a sliding
// window over the exponent bits.
#pragma once

#include <cstdint>

#include "crypto/bignum.h"

namespace qorv::crypto {

inline constexpr int32_t kModExpOk = 0;
inline constexpr int32_t kModExpFailed = -1;

// result = base ^ exponent mod modulus. Fails (-1, result unchanged) when the
// modulus is zero or even (no RSA modulus or prime is even), or when the base
// or the exponent is not below the modulus.
int32_t ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus, BigNum& result);

// The same for a public modulus (an RSA modulus n, never a prime of a private
// key): the Montgomery constants of the last few moduli (R mod n, R^2 mod n,
// -n^-1 mod 2^64), which follow from n alone, are kept for the thread and
// serve again when the same modulus comes back.
int32_t ModExpPublic(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                     BigNum& result);

namespace detail {

class Montgomery;

// result = (base mod m) ^ exponent mod m with the context of m, for a base
// below m R (see Montgomery::ToMontgomeryReducing: any RSA input against
// either prime). Fails (-1, result unchanged) for a larger base. The
// exponent may be any size.
int32_t ModExpWith(const Montgomery& mont, const BigNum& base, const BigNum& exponent,
                   BigNum& result);

// Two such powers at once (the two halves of a CRT exponentiation), their
// operations taking turns so that each fills the other's waits. Fails (-1)
// when either base is too large; the results are then unchanged.
int32_t ModExpPairWith(const Montgomery& montX, const BigNum& baseX, const BigNum& exponentX,
                       BigNum& resultX, const Montgomery& montY, const BigNum& baseY,
                       const BigNum& exponentY, BigNum& resultY);

}  // namespace detail
}  // namespace qorv::crypto
