// The module's pseudo-random generator: challenges (RN2), PKCS#1 padding,
// data keys and the keypad orders of the dialogs draw from it.
//
// Each 8-byte block is derived from a 20-byte process-wide pool, the clock
// and fresh operating-system entropy (getrandom), enciphered with DES and
// folded back into the pool. Output bytes are never zero.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace qorv::crypto {

// Parity modes of RandomBlock.
inline constexpr int kParityOdd = 0;   // every byte has odd parity (DES key bytes)
inline constexpr int kParityEven = 1;  // every byte has even parity
inline constexpr int kParityNone = 2;  // any other value: bytes left as drawn

inline constexpr std::size_t kRandomBlockSize = 8;
inline constexpr std::size_t kRandomPoolSize = 20;

// Fills out with blockCount blocks of 8 bytes (8 x blockCount bytes); no byte
// is zero, and parityMode 0 / 1 adjusts each byte to odd / even parity.
// out == nullptr or blockCount == 0 does nothing.
void RandomBlock(uint8_t* out, std::size_t blockCount, int parityMode);

// One random byte (byte 2 of a block made without parity change); never 0.
uint8_t RandomByte();

// count random bytes of odd parity (so never zero) for PKCS#1 encryption
// padding. Two generator blocks (16 bytes, made as RandomBlock makes them)
// seed a SHA-1 expansion, SHA-1(seed || 4-byte big-endian counter) for
// counter 0, 1, ..., each byte then given odd parity: a 1024-bit key's 117
// padding bytes cost two blocks and six compressions rather than fifteen
// blocks. out == nullptr or count == 0 does nothing.
void RandomPaddingBytes(uint8_t* out, std::size_t count);

namespace detail {

// What a block is made from besides the pool: the clock in seconds and the
// operating system's entropy (false when it has none to give). RandomBlock
// uses the real ones; tests pass fixed ones to check the blocks exactly.
struct RandomSources {
    time_t (*clock)();
    bool (*entropy)(uint8_t* out, std::size_t size);
};

// RandomBlock on a given pool with given sources.
void RandomBlockWith(const RandomSources& sources, std::array<uint8_t, kRandomPoolSize>& pool,
                     uint8_t* out, std::size_t blockCount, int parityMode);

// RandomPaddingBytes on a given pool with given sources.
void RandomPaddingBytesWith(const RandomSources& sources,
                            std::array<uint8_t, kRandomPoolSize>& pool, uint8_t* out,
                            std::size_t count);

}  // namespace detail
}  // namespace qorv::crypto
