// The module's pseudo-random generator: challenges (RN2), PKCS#1 padding,
// data keys and the keypad orders of the dialogs draw from it.
//
// Each 8-byte block is derived from a 20-byte process-wide pool, the clock
// and fresh operating-system entropy (getrandom), enciphered with DES and
// folded back into the pool. Output bytes are never zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorv::crypto {

// Parity modes of RandomBlock.
inline constexpr int kParityOdd = 0;   // every byte has odd parity (DES key bytes)
inline constexpr int kParityEven = 1;  // every byte has even parity
inline constexpr int kParityNone = 2;  // any other value: bytes left as drawn

inline constexpr std::size_t kRandomBlockSize = 8;

// Fills out with blockCount blocks of 8 bytes (8 x blockCount bytes); no byte
// is zero, and parityMode 0 / 1 adjusts each byte to odd / even parity.
// out == nullptr or blockCount == 0 does nothing.
void RandomBlock(uint8_t* out, std::size_t blockCount, int parityMode);

// One random byte (byte 2 of a block made without parity change); never 0.
uint8_t RandomByte();

}  // namespace qorv::crypto
