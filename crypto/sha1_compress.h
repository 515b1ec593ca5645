// The SHA-1 compression function in its two forms: portable C++ and the x86
// SHA extensions. Sha1Context picks one once, by what the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorv::crypto::detail {

// Runs `blocks` 64-byte blocks at data through the compression function,
// updating the five state words.
using Sha1CompressFn = void (*)(uint32_t* state, const uint8_t* data, std::size_t blocks);

void Sha1CompressPortable(uint32_t* state, const uint8_t* data, std::size_t blocks) noexcept;

// True when the processor has the SHA extensions and SSE4.1 (x86-64 only).
bool Sha1HardwareSupported() noexcept;
// Only to be called when Sha1HardwareSupported() is true.
void Sha1CompressHardware(uint32_t* state, const uint8_t* data, std::size_t blocks) noexcept;

}  // namespace qorv::crypto::detail
