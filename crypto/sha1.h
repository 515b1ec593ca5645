// SHA-1 (FIPS 180-1): session key digests, the RN1/RN2 hash, RSA signatures
// and the random pool all use it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qorv::crypto {

inline constexpr std::size_t kSha1DigestSize = 20;
inline constexpr std::size_t kSha1BlockSize = 64;

using Sha1Digest = std::array<uint8_t, kSha1DigestSize>;

// Incremental hashing. The context may hold secret data (session keys, RN1,
// RN2), so it wipes itself in Final and in its destructor.
class Sha1Context {
  public:
    Sha1Context() noexcept { Reset(); }
    Sha1Context(const Sha1Context&) = delete;
    Sha1Context& operator=(const Sha1Context&) = delete;
    ~Sha1Context();

    void Reset() noexcept;
    void Update(const uint8_t* data, std::size_t size) noexcept;
    void Update(std::span<const uint8_t> data) noexcept { Update(data.data(), data.size()); }
    // Writes the 20-byte digest and resets the context for a new message.
    void Final(uint8_t* digest) noexcept;

  private:
    uint32_t state_[5];
    uint8_t buffer_[kSha1BlockSize];
    std::size_t buffered_ = 0;
    uint64_t totalBytes_ = 0;
};

// One-shot digest of size bytes at data (data may be null when size is 0).
void Sha1(const uint8_t* data, std::size_t size, uint8_t* digest) noexcept;
Sha1Digest Sha1(std::span<const uint8_t> data) noexcept;

namespace test_hooks {
// True when this processor runs the SHA-extension compression.
bool Sha1HardwareAvailable() noexcept;
// Makes every context use the portable compression (true) or the one chosen
// for the processor (false), so tests can check both against each other.
void ForcePortableSha1(bool portable) noexcept;
}  // namespace test_hooks

}  // namespace qorv::crypto
