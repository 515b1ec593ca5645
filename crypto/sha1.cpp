// The incremental SHA-1 context: buffering, padding and the choice of the
// compression function (crypto/sha1_compress.h).
#include "crypto/sha1.h"

#include <algorithm>
#include <cstring>

#include "base/secure_wipe.h"
#include "crypto/sha1_compress.h"

namespace qorv::crypto {
namespace {

constexpr uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

bool g_forcePortable = false;  // test hook only

// Decided once per process: the processor does not change under us.
detail::Sha1CompressFn ChosenCompression() noexcept {
    static const detail::Sha1CompressFn chosen = detail::Sha1HardwareSupported()
                                                     ? &detail::Sha1CompressHardware
                                                     : &detail::Sha1CompressPortable;
    return chosen;
}

void Compress(uint32_t* state, const uint8_t* data, std::size_t blocks) noexcept {
    (g_forcePortable ? &detail::Sha1CompressPortable : ChosenCompression())(state, data, blocks);
}

// Pads the last partial block (tailSize below 64 bytes) of a message of
// totalBytes bytes, compresses it and writes the digest. The padded copy is
// wiped; the state is the caller's.
void Finish(uint32_t* state, const uint8_t* tail, std::size_t tailSize, uint64_t totalBytes,
            uint8_t* digest) noexcept {
    uint8_t last[2 * kSha1BlockSize];
    const std::size_t lastSize =
        tailSize + 9 <= kSha1BlockSize ? kSha1BlockSize : 2 * kSha1BlockSize;
    if (tailSize > 0) std::memcpy(last, tail, tailSize);
    last[tailSize] = 0x80;
    std::memset(last + tailSize + 1, 0, lastSize - 8 - tailSize - 1);
    const uint64_t bitLength = totalBytes * 8;
    for (int i = 0; i < 8; ++i) last[lastSize - 1 - i] = static_cast<uint8_t>(bitLength >> (8 * i));
    Compress(state, last, lastSize / kSha1BlockSize);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(state[i] >> (24 - 8 * j));
    SecureWipe(last, lastSize);
}

}  // namespace

Sha1Context::~Sha1Context() {
    SecureWipe(this, sizeof *this);
}

void Sha1Context::Reset() noexcept {
    std::memcpy(state_, kInitialState, sizeof state_);
    buffered_ = 0;
    totalBytes_ = 0;
}

void Sha1Context::Update(const uint8_t* data, std::size_t size) noexcept {
    if (size == 0) return;
    totalBytes_ += size;
    if (buffered_ > 0) {
        const std::size_t take = std::min(size, kSha1BlockSize - buffered_);
        std::memcpy(buffer_ + buffered_, data, take);
        buffered_ += take;
        data += take;
        size -= take;
        if (buffered_ < kSha1BlockSize) return;
        Compress(state_, buffer_, 1);
        buffered_ = 0;
    }
    const std::size_t blocks = size / kSha1BlockSize;
    if (blocks > 0) {
        Compress(state_, data, blocks);
        data += blocks * kSha1BlockSize;
        size -= blocks * kSha1BlockSize;
    }
    std::memcpy(buffer_, data, size);
    buffered_ = size;
}

void Sha1Context::Final(uint8_t* digest) noexcept {
    Finish(state_, buffer_, buffered_, totalBytes_, digest);
    SecureWipe(buffer_, sizeof buffer_);
    Reset();
}

// Without a context: whole blocks straight from the input, and only the
// padded tail and the state to wipe (short messages are the common case).
void Sha1(const uint8_t* data, std::size_t size, uint8_t* digest) noexcept {
    uint32_t state[5];
    std::memcpy(state, kInitialState, sizeof state);
    const std::size_t blocks = size / kSha1BlockSize;
    if (blocks > 0) Compress(state, data, blocks);
    const std::size_t tailSize = size % kSha1BlockSize;
    Finish(state, data + blocks * kSha1BlockSize, tailSize, size, digest);
    SecureWipe(state, sizeof state);
}

Sha1Digest Sha1(std::span<const uint8_t> data) noexcept {
    Sha1Digest digest;
    Sha1(data.data(), data.size(), digest.data());
    return digest;
}

namespace test_hooks {
bool Sha1HardwareAvailable() noexcept {
    return detail::Sha1HardwareSupported();
}
void ForcePortableSha1(bool portable) noexcept {
    g_forcePortable = portable;
}
}  // namespace test_hooks

}  // namespace qorv::crypto
