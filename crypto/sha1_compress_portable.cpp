// Portable SHA-1 compression with fully unrolled rounds: the five working
// variables change roles each step instead of being moved, and the message
// schedule lives in a 16-word ring.
#include <bit>
#include <utility>

#include "base/secure_wipe.h"
#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"

namespace qorv::crypto::detail {
namespace {

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

}  // namespace

void Sha1CompressPortable(uint32_t* state, const uint8_t* data, std::size_t blocks) noexcept {
    uint32_t w[16];
    for (; blocks > 0; --blocks, data += kSha1BlockSize) {
        uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
        AllSteps(v, w, data, std::make_integer_sequence<int, 80>{});
        for (int i = 0; i < 5; ++i) state[i] += v[i];
    }
    SecureWipe(w, sizeof w);
}

}  // namespace qorv::crypto::detail
