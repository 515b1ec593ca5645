// SHA-1 compression with fully unrolled rounds: the five working variables
// change roles each step instead of being moved, and the message schedule
// lives in a 16-word ring.
#include "crypto/sha1.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "crypto/secure_wipe.h"

namespace qorv::crypto {
namespace {

constexpr uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

template <int Step>
inline uint32_t RoundFunction(uint32_t b, uint32_t c, uint32_t d) {
    if constexpr (Step < 20)
        return d ^ (b & (c ^ d));
    else if constexpr (Step < 40 || Step >= 60)
        return b ^ c ^ d;
    else
        return (b & c) | (d & (b | c));
}

template <int Step>
constexpr uint32_t kRoundConstant = Step < 20   ? 0x5A827999
                                    : Step < 40 ? 0x6ED9EBA1
                                    : Step < 60 ? 0x8F1BBCDC
                                                : 0xCA62C1D6;

inline uint32_t LoadBigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Step i works on v[(0-i) mod 5] .. v[(4-i) mod 5] as a .. e; the new a of
// the next step is the e just computed, so nothing is shifted around.
template <int Step>
inline void CompressionStep(uint32_t (&v)[5], uint32_t (&w)[16], const uint8_t* block) {
    constexpr int a = (100 - Step) % 5, b = (101 - Step) % 5, c = (102 - Step) % 5,
                  d = (103 - Step) % 5, e = (104 - Step) % 5;
    uint32_t word;
    if constexpr (Step < 16) {
        word = w[Step] = LoadBigEndian(block + 4 * Step);
    } else {
        word = w[Step & 15] = std::rotl(
            w[(Step - 3) & 15] ^ w[(Step - 8) & 15] ^ w[(Step - 14) & 15] ^ w[Step & 15], 1);
    }
    v[e] +=
        std::rotl(v[a], 5) + RoundFunction<Step>(v[b], v[c], v[d]) + kRoundConstant<Step> + word;
    v[b] = std::rotl(v[b], 30);
}

template <int... Steps>
inline void AllSteps(uint32_t (&v)[5], uint32_t (&w)[16], const uint8_t* block,
                     std::integer_sequence<int, Steps...>) {
    (CompressionStep<Steps>(v, w, block), ...);
}

void Compress(uint32_t* state, const uint8_t* block) {
    uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
    uint32_t w[16];
    AllSteps(v, w, block, std::make_integer_sequence<int, 80>{});
    for (int i = 0; i < 5; ++i) state[i] += v[i];
    SecureWipe(w, sizeof w);
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
        Compress(state_, buffer_);
        buffered_ = 0;
    }
    for (; size >= kSha1BlockSize; data += kSha1BlockSize, size -= kSha1BlockSize)
        Compress(state_, data);
    std::memcpy(buffer_, data, size);
    buffered_ = size;
}

void Sha1Context::Final(uint8_t* digest) noexcept {
    const uint64_t bitLength = totalBytes_ * 8;
    buffer_[buffered_++] = 0x80;
    if (buffered_ > kSha1BlockSize - 8) {
        std::memset(buffer_ + buffered_, 0, kSha1BlockSize - buffered_);
        Compress(state_, buffer_);
        buffered_ = 0;
    }
    std::memset(buffer_ + buffered_, 0, kSha1BlockSize - 8 - buffered_);
    for (int i = 0; i < 8; ++i)
        buffer_[kSha1BlockSize - 1 - i] = static_cast<uint8_t>(bitLength >> (8 * i));
    Compress(state_, buffer_);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
    SecureWipe(buffer_, sizeof buffer_);
    Reset();
}

void Sha1(const uint8_t* data, std::size_t size, uint8_t* digest) noexcept {
    Sha1Context context;
    context.Update(data, size);
    context.Final(digest);
}

Sha1Digest Sha1(std::span<const uint8_t> data) noexcept {
    Sha1Digest digest;
    Sha1(data.data(), data.size(), digest.data());
    return digest;
}

}  // namespace qorv::crypto
