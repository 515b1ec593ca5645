// RSA with PKCS#1 v1.5 padding over the module's own big numbers: public-key
// encryption (block type 2), private-key decryption with the Chinese
// remainder theorem, and SHA-1 / MD5 DigestInfo signatures (block type 1).
//
// Keys arrive as PKCS#1 DER records (crypto/der.h). Outputs are k bytes,
// k being the byte length of the modulus. A failing operation leaves its
// output untouched. Every intermediate value is wiped before returning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qorv::crypto {

inline constexpr int32_t kRsaOk = 0;
inline constexpr int32_t kRsaArgumentMissing = 0x3000;  // also: output buffer too small
inline constexpr int32_t kRsaDigestLength = 0x3011;     // given digest not 16 (MD5) / 20 (SHA-1)
inline constexpr int32_t kRsaDigestKind = 0x3012;       // kind not 0/1, or MD5 without a digest
inline constexpr int32_t kRsaMessageTooLong = 5;        // message longer than k - 11
inline constexpr int32_t kRsaPrimesEqual = 23;
inline constexpr int32_t kRsaExponentiationFailed = -1;
inline constexpr int32_t kRsaPaddingTooShort = -4;  // fewer than 8 padding bytes
inline constexpr int32_t kRsaBadBlock = -9;         // not a well-formed type-2 block
inline constexpr int32_t kRsaBlockUnchanged = -10;  // exponentiation gave its input back
// DER reading errors pass through unchanged (crypto/der.h: 3, 5, 123, 0x3000, 0x3013).

inline constexpr int kDigestMd5 = 0;
inline constexpr int kDigestSha1 = 1;

// Largest modulus the big numbers take, in bytes.
inline constexpr std::size_t kRsaMaxModulusBytes = 143;

// Enciphers message (at most k - 11 bytes) under an RSAPublicKey record;
// the padding bytes come from RandomPaddingBytes (odd parity, never zero).
// out needs at least k bytes; outLength becomes k.
int32_t RsaPublicEncrypt(std::span<const uint8_t> publicKeyDer, std::span<const uint8_t> message,
                         std::span<uint8_t> out, std::size_t& outLength);

// Deciphers a type-2 block under an RSAPrivateKey record. Keys whose
// coefficient is p^-1 mod q instead of q^-1 mod p work too. The result is
// checked against the public exponent before it is unpadded; a faulty result
// fails with -1, as does a cipher text not below the modulus. out needs room for the message (k -
// 11 bytes suffice); outLength becomes the message length.
int32_t RsaPrivateDecrypt(std::span<const uint8_t> privateKeyDer, std::span<const uint8_t> cipher,
                          std::span<uint8_t> out, std::size_t& outLength);

// Signs under an RSAPrivateKey record. digestGiven: data is the digest itself
// (16 bytes for MD5, 20 for SHA-1); otherwise data is hashed with SHA-1 (MD5
// is then refused). out needs at least k bytes; outLength becomes k.
int32_t RsaSignDigest(std::span<const uint8_t> privateKeyDer, bool digestGiven, int digestKind,
                      std::span<const uint8_t> data, std::span<uint8_t> out,
                      std::size_t& outLength);

}  // namespace qorv::crypto
