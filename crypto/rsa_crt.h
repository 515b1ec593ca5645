// The private-key exponentiation of RSA by the Chinese remainder theorem,
// shared by decryption and signing.
#pragma once

#include <cstdint>

#include "crypto/bignum.h"
#include "crypto/der.h"

namespace qorv::crypto {

// Which prime plays the part of p in the recombination. kSwapped serves keys
// whose coefficient is p^-1 mod q instead of q^-1 mod p.
enum class CrtRoles { kAsStored, kSwapped };

// The roles under which the key's coefficient is the inverse it should be:
// kAsStored when coefficient x q = 1 mod p, kSwapped when coefficient x p =
// 1 mod q. A coefficient that is neither gives kAsStored, whose results then
// fail the check against the public exponent.
CrtRoles CrtRolesOf(const RsaPrivateKey& key);

// result = input ^ d mod n from p, q, dP, dQ and the coefficient:
// m1 = input^dP mod p, m2 = input^dQ mod q, h = qInv (m1 - m2) mod p,
// result = m2 + h q. Returns 0, or -1 when an exponentiation fails (a zero
// or even prime, an exponent not below its prime) or the input is not below
// the modulus.
int32_t RsaCrtExponentiate(const RsaPrivateKey& key, const BigNum& input, CrtRoles roles,
                           BigNum& result);

}  // namespace qorv::crypto
