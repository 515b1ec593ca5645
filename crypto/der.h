// Reader for RSA keys in their PKCS#1 DER form (RSAPublicKey and
// RSAPrivateKey), as the key store holds them.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/bignum.h"

namespace qorv::crypto {

inline constexpr int32_t kDerOk = 0;
inline constexpr int32_t kDerMissing = 0x3000;     // no key record
inline constexpr int32_t kDerNotInteger = 0x3013;  // a component is not tagged INTEGER (02)
inline constexpr int32_t kDerBadTag = 3;           // the key is not a SEQUENCE (30)
inline constexpr int32_t kDerBadLength = 5;        // malformed length, or it runs past the record
inline constexpr int32_t kDerComponentTooLarge =
    123;  // a component does not fit the number capacity

struct RsaPublicKey {
    BigNum modulus;
    BigNum publicExponent;
};

struct RsaPrivateKey {
    BigNum modulus;
    BigNum publicExponent;
    BigNum privateExponent;
    BigNum prime1;       // p
    BigNum prime2;       // q
    BigNum exponent1;    // dP = d mod (p - 1)
    BigNum exponent2;    // dQ = d mod (q - 1)
    BigNum coefficient;  // qInv = q^-1 mod p (some issuers store p^-1 mod q)
};

// Length fields: one byte below 0x80, or 0x81..0x84 followed by that many
// big-endian length bytes; nothing else. Leading zero bytes of the numbers
// are dropped; the private key's version is read and its value ignored.
// The modulus sets the capacity: with d = modulus bytes / 2 + 1 sixteen-bit
// digits (at most 72), every component may have at most 2 d bytes.
// Bytes after the SEQUENCE are ignored. On failure the key is left zero.
int32_t ReadRsaPublicKey(std::span<const uint8_t> der, RsaPublicKey& key);
int32_t ReadRsaPrivateKey(std::span<const uint8_t> der, RsaPrivateKey& key);

}  // namespace qorv::crypto
