// SHA-1 compression with the x86 SHA extensions (SHA1RNDS4 does four rounds,
// SHA1NEXTE derives the next E, SHA1MSG1/SHA1MSG2 extend the schedule).
//
// Only the functions here are compiled for those instructions, so the rest
// of the build stays portable; Sha1Context calls them only after CPUID has
// confirmed the extensions.
#include <utility>

#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QORV_SHA1_HARDWARE 1
#endif

namespace qorv::crypto::detail {

#if defined(QORV_SHA1_HARDWARE)
namespace {

constexpr unsigned kCpuidShaBit = 1u << 29;    // leaf 7, EBX
constexpr unsigned kCpuidSse41Bit = 1u << 19;  // leaf 1, ECX
constexpr unsigned kCpuidSsse3Bit = 1u << 9;   // leaf 1, ECX

#define QORV_SHA_TARGET __attribute__((target("sha,sse4.1")))

// Rounds 4G .. 4G+3. `ew` holds E plus the schedule words of this group on
// entry and of the next group on exit; m is a ring of the last four groups
// of schedule words (word 4G in the highest lane). The round function
// selector of SHA1RNDS4 must be an immediate, hence the template.
template <int G>
QORV_SHA_TARGET inline __m128i FourRounds(__m128i& abcd, __m128i& ew, __m128i (&m)[4]) {
    const __m128i before = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, ew, G / 5);
    if constexpr (G < 19) {
        constexpr int next = (G + 1) & 3;  // group G+1 replaces group G-3
        if constexpr (G + 1 >= 4) {
            const __m128i partial = _mm_sha1msg1_epu32(m[next], m[(G + 2) & 3]);
            m[next] = _mm_sha1msg2_epu32(_mm_xor_si128(partial, m[(G + 3) & 3]), m[G & 3]);
        }
        ew = _mm_sha1nexte_epu32(before, m[next]);
    }
    return before;
}

template <int... G>
QORV_SHA_TARGET inline __m128i AllRounds(__m128i& abcd, __m128i& ew, __m128i (&m)[4],
                                         std::integer_sequence<int, G...>) {
    __m128i before{};
    ((before = FourRounds<G>(abcd, ew, m)), ...);
    return before;
}

}  // namespace

bool Sha1HardwareSupported() noexcept {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    if ((ecx & kCpuidSse41Bit) == 0 || (ecx & kCpuidSsse3Bit) == 0) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & kCpuidShaBit) != 0;
}

QORV_SHA_TARGET void Sha1CompressHardware(uint32_t* state, const uint8_t* data,
                                          std::size_t blocks) noexcept {
    // The instructions want A in the highest lane and the message words
    // big-endian, word 0 highest.
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (; blocks > 0; --blocks, data += kSha1BlockSize) {
        const __m128i abcdStart = abcd;
        __m128i m[4];
        for (int i = 0; i < 4; ++i) {
            m[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        }
        __m128i ew = _mm_add_epi32(e, m[0]);
        const __m128i beforeLast = AllRounds(abcd, ew, m, std::make_integer_sequence<int, 20>{});
        e = _mm_sha1nexte_epu32(beforeLast, e);
        abcd = _mm_add_epi32(abcd, abcdStart);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

#undef QORV_SHA_TARGET

#else

bool Sha1HardwareSupported() noexcept {
    return false;
}

void Sha1CompressHardware(uint32_t* state, const uint8_t* data, std::size_t blocks) noexcept {
    Sha1CompressPortable(state, data, blocks);
}

#endif

}  // namespace qorv::crypto::detail
