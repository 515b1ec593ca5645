// The private-key exponentiation of RSA by the Chinese remainder theorem,
// shared by decryption and signing.
#pragma once

#include <cstdint>

#include "crypto/bignum.h"
#include "crypto/der.h"

namespace qorv::crypto {

// result = input ^ d mod n from p, q, dP, dQ and the coefficient:
// m1 = input^dP mod p, m2 = input^dQ mod q, h = qInv (m1 - m2) mod p,
// result = m2 + h q. The coefficient may be q^-1 mod p, as PKCS#1 has it, or
// p^-1 mod q, as some issuers store it; which one is found from the key
// (coefficient x q = 1 mod p or not) before the exponentiations, and a
// coefficient that is neither gives a wrong result, which the callers'
// check against the public exponent refuses. The Montgomery constants of p
// and q are made per call and wiped when it ends: nothing derived from the
// private key outlives the call.
//
// Returns 0, or -1 when a prime is zero or even, an exponent fails, or the
// input is not below the modulus.
int32_t RsaCrtExponentiate(const RsaPrivateKey& key, const BigNum& input, BigNum& result);

}  // namespace qorv::crypto
