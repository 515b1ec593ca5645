// DES (FIPS 46-3) and the block modes that every symmetric operation of the
// module goes through: single DES, two-key and three-key triple DES
// (encrypt-decrypt-encrypt), ECB, CBC with and without padding, and the
// byte-wise CFB and OFB modes with 64-bit feedback.
//
// Bits are numbered as in FIPS 46-3 (bit 1 is the top bit of the first
// byte). Key parity bits are ignored and never checked. Key schedules are
// computed once per call, kept on the stack and wiped before returning.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorv::crypto {

inline constexpr std::size_t kDesBlockSize = 8;
inline constexpr std::size_t kDesKeySize = 8;
// K1 = bytes 0-7, K2 = bytes 8-15, K3 = bytes 16-23; unused keys are ignored.
inline constexpr std::size_t kDesKeyAreaSize = 24;

// Cipher types (a caller that has a key length uses length / 8 - 1).
inline constexpr uint8_t kCipherSingleDes = 0;
inline constexpr uint8_t kCipherTwoKeyTripleDes = 1;    // E(K1) D(K2) E(K1)
inline constexpr uint8_t kCipherThreeKeyTripleDes = 2;  // E(K1) D(K2) E(K3)

// Chaining modes. Any value not listed works as OFB.
inline constexpr uint8_t kModeEcb = 0;
inline constexpr uint8_t kModeCbcPadded = 1;  // encryption pads, decryption strips the pad count
inline constexpr uint8_t kModeCfb64 = 2;
inline constexpr uint8_t kModeOfb64 = 3;
inline constexpr uint8_t kModeCbcNoPad = 4;

// Padding styles of DesModeEncrypt in kModeCbcPadded: the last block is
// completed with n bytes (1..8, a whole block when the input is a multiple
// of 8); both styles end with the byte n.
inline constexpr int kPadFillThenCount = 0;  // n-1 fill bytes, then n (fill 00: ANSI X9.23)
inline constexpr int kPadPkcs5 = 1;          // n bytes of value n (any non-zero flag)

// Result codes.
inline constexpr int32_t kDesOk = 0;
// A pointer argument is missing (input may be null when the length is 0),
// a stream or CBC mode has no initial vector,
// the length is negative or the cipher type is not 0, 1 or 2.
inline constexpr int32_t kDesArgumentError = 0x3000;
// ECB or CBC input whose length is not a whole number of blocks (for
// padded CBC decryption: also an empty input).
inline constexpr int32_t kDesLengthError = 0x3001;
// Padded CBC decryption: the last plain byte (the pad count) is above 8.
inline constexpr int32_t kDesPaddingError = 0x3002;

// One block under one 8-byte key. in and out may be the same buffer.
void DesEncryptBlock(const uint8_t* key, const uint8_t* in, uint8_t* out) noexcept;
void DesDecryptBlock(const uint8_t* key, const uint8_t* in, uint8_t* out) noexcept;

// Encrypts *length bytes of input into output and sets *length to the output
// length. output needs room for *length + 8 bytes (padded CBC adds a block);
// input and output may be the same buffer. iv (8 bytes) is required for
// every mode but ECB and is never modified. paddingStyle and fillByte only
// matter in kModeCbcPadded. On a failure nothing is written.
int32_t DesModeEncrypt(const uint8_t* keys, int32_t* length, const uint8_t* input, uint8_t* output,
                       uint8_t cipherType, uint8_t mode, int paddingStyle, uint8_t fillByte,
                       const uint8_t* iv) noexcept;

// Decrypts *length bytes of input into output (room for *length bytes) and
// sets *length to the plain length (in kModeCbcPadded: input length minus
// the pad count; a count of 0 removes nothing, the other pad bytes are not
// examined). ECB and CBC inputs must be whole blocks. A padding failure
// leaves the decrypted blocks in output and *length unchanged.
int32_t DesModeDecrypt(const uint8_t* keys, int32_t* length, const uint8_t* input, uint8_t* output,
                       uint8_t cipherType, uint8_t mode, const uint8_t* iv) noexcept;

}  // namespace qorv::crypto
