// Output properties of the random generator.
#include "crypto/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <vector>

#include "crypto/des.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

using Pool = std::array<uint8_t, kRandomPoolSize>;

// Sources the tests control: entropy byte k of the whole stream is a fixed
// function of k however the generator splits its draws, and the clock either
// stands still or moves on a second at every reading.
std::size_t g_entropyPosition = 0;
bool g_entropyFails = false;
time_t g_clock = 0;
time_t g_clockStep = 0;

uint8_t EntropyByte(std::size_t k) {
    return static_cast<uint8_t>((k * 167 + 13) ^ (k >> 8) * 29);
}
bool FixedEntropy(uint8_t* out, std::size_t size) {
    if (g_entropyFails) return false;
    for (std::size_t i = 0; i < size; ++i) out[i] = EntropyByte(g_entropyPosition++);
    return true;
}
time_t FixedClock() {
    const time_t now = g_clock;
    g_clock += g_clockStep;
    return now;
}
constexpr detail::RandomSources kFixedSources = {&FixedClock, &FixedEntropy};

void ResetSources(time_t clock, time_t step) {
    g_entropyPosition = 0;
    g_entropyFails = false;
    g_clock = clock;
    g_clockStep = step;
}

// The block algorithm step by step, written plainly with the module's SHA-1
// and DES and the C library's asctime: what the generator must give for the
// same pool, clock readings and entropy.
void ReferenceBlock(Pool& pool, time_t now, const uint8_t* entropy, int parityMode, uint8_t* out) {
    // Seed: the clock 13 seconds back in asctime layout; only its first 8
    // digest bytes, with this block's entropy over them, reach the pool.
    const time_t reduced = now - 13;
    std::tm local{};
    localtime_r(&reduced, &local);
    char text[26] = {};
    char formatted[64];
    asctime_r(&local, formatted);
    std::memcpy(text, formatted, 25);
    const Sha1Digest clockDigest =
        Sha1(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text), sizeof text));
    uint8_t seed[8];
    for (int i = 0; i < 8; ++i) seed[i] = clockDigest[i] ^ entropy[i];

    const auto word = [](const uint8_t* p) {
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    };
    const uint32_t timeWord = static_cast<uint32_t>(now);
    for (int i = 0; i < 4; ++i) pool[i] ^= static_cast<uint8_t>(timeWord >> (8 * i));
    for (int i = 0; i < 4; ++i) pool[i] ^= seed[i];
    unsigned int state = word(pool.data());
    const uint32_t r1 = static_cast<uint32_t>(rand_r(&state));
    for (int i = 4; i < 8; ++i) pool[i] ^= seed[i];
    state = word(pool.data() + 4);
    const uint32_t r2 = static_cast<uint32_t>(rand_r(&state));

    const Sha1Digest key = Sha1(std::span<const uint8_t>(pool.data(), 8));
    uint8_t plain[8];
    for (int i = 0; i < 4; ++i) {
        plain[i] = static_cast<uint8_t>(r1 >> (8 * i));
        plain[4 + i] = static_cast<uint8_t>(r2 >> (8 * i));
    }
    DesEncryptBlock(key.data(), plain, out);

    Sha1Digest h = Sha1(std::span<const uint8_t>(out, 8));
    std::reverse(h.begin(), h.end());
    for (std::size_t i = 0; i < pool.size(); ++i) pool[i] ^= h[i];
    std::reverse(pool.begin(), pool.end());
    pool = Sha1(pool);

    for (int i = 0; i < 8; ++i) {
        if (out[i] == 0) out[i] = static_cast<uint8_t>((pool[12] + i) | 1);
        const bool oddOnes = std::popcount(out[i]) % 2 == 1;
        if (parityMode == kParityOdd && !oddOnes) out[i] ^= 1;
        if (parityMode == kParityEven && oddOnes) {
            out[i] ^= 1;
            if (out[i] == 0) out[i] = 3;
        }
    }
}

std::vector<uint8_t> ReferenceRequest(Pool& pool, std::size_t blocks, int parityMode) {
    std::vector<uint8_t> out(8 * blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        uint8_t entropy[8];
        for (int i = 0; i < 8; ++i) entropy[i] = EntropyByte(g_entropyPosition++);
        ReferenceBlock(pool, FixedClock(), entropy, parityMode, out.data() + 8 * b);
    }
    return out;
}

TEST(RandomTest, BlocksFollowTheAlgorithmExactlyForFixedSources) {
    // One block, a padding's worth, and requests that need two and three
    // entropy draws; the clock standing still (the clock digest reused) and
    // moving on at every block (the digest made anew); every parity mode.
    for (const time_t step : {time_t{0}, time_t{1}}) {
        for (const std::size_t blocks :
             {std::size_t{1}, std::size_t{15}, std::size_t{33}, std::size_t{70}}) {
            for (const int mode : {kParityOdd, kParityEven, kParityNone}) {
                Pool pool{};
                for (std::size_t i = 0; i < pool.size(); ++i)
                    pool[i] = static_cast<uint8_t>(0x5A + 31 * i);
                Pool expectedPool = pool;

                ResetSources(1'765'000'000 + static_cast<time_t>(blocks), step);
                const std::vector<uint8_t> expected = ReferenceRequest(expectedPool, blocks, mode);
                ResetSources(1'765'000'000 + static_cast<time_t>(blocks), step);
                std::vector<uint8_t> out(8 * blocks);
                detail::RandomBlockWith(kFixedSources, pool, out.data(), blocks, mode);

                EXPECT_EQ(out, expected) << blocks << " blocks, mode " << mode << ", step " << step;
                EXPECT_EQ(pool, expectedPool) << blocks << " blocks, mode " << mode;
                // The generator read exactly 8 entropy bytes per block.
                EXPECT_EQ(g_entropyPosition, 8 * blocks);
            }
        }
    }
}

TEST(RandomTest, PaddingBytesExpandTwoBlocksWithSha1InCounterMode) {
    // Counts below, at and across a digest's 20 bytes, an RN2 padding (117)
    // and the largest key's longest padding (139).
    for (const std::size_t count :
         {std::size_t{1}, std::size_t{20}, std::size_t{21}, std::size_t{117}, std::size_t{139}}) {
        Pool pool{};
        pool[3] = 0x77;
        Pool expectedPool = pool;

        ResetSources(1'765'000'000, 1);
        std::vector<uint8_t> message = ReferenceRequest(expectedPool, 2, kParityNone);
        message.resize(20);
        std::vector<uint8_t> expected;
        for (uint32_t counter = 0; expected.size() < count; ++counter) {
            for (int i = 0; i < 4; ++i)
                message[16 + i] = static_cast<uint8_t>(counter >> (24 - 8 * i));
            for (const uint8_t b : Sha1(message)) {
                if (expected.size() == count) break;
                expected.push_back(std::popcount(b) % 2 == 1 ? b : static_cast<uint8_t>(b ^ 1));
            }
        }

        ResetSources(1'765'000'000, 1);
        std::vector<uint8_t> out(count);
        detail::RandomPaddingBytesWith(kFixedSources, pool, out.data(), count);
        EXPECT_EQ(out, expected) << count;
        EXPECT_EQ(pool, expectedPool) << count;
    }

    // Nothing asked, nothing drawn: the pool stays as it was.
    Pool pool{};
    std::array<uint8_t, 4> untouched{};
    detail::RandomPaddingBytesWith(kFixedSources, pool, untouched.data(), 0);
    detail::RandomPaddingBytesWith(kFixedSources, pool, nullptr, 4);
    EXPECT_EQ(pool, Pool{});
    EXPECT_EQ(untouched, (std::array<uint8_t, 4>{}));
}

TEST(RandomTest, PaddingBytesAreNeverZeroAndSpreadOverTheOddParityValues) {
    std::array<int, 256> counts{};
    std::set<std::vector<uint8_t>> seen;
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> padding(117);
        RandomPaddingBytes(padding.data(), padding.size());
        for (const uint8_t b : padding) {
            ASSERT_NE(b, 0);
            ASSERT_EQ(std::popcount(b) % 2, 1);
            ++counts[b];
        }
        EXPECT_TRUE(seen.insert(padding).second);
    }
    // 234000 bytes over the 128 odd-parity values: about 1828 each.
    for (int v = 1; v < 256; ++v) {
        if (std::popcount(static_cast<unsigned>(v)) % 2 == 0) continue;
        EXPECT_GT(counts[v], 1550) << v;
        EXPECT_LT(counts[v], 2110) << v;
    }
}

TEST(RandomTest, TheSameClockWithOtherEntropyOrAnotherPoolGivesOtherBlocks) {
    // Neither the clock alone nor the entropy alone decides a block.
    ResetSources(1'765'000'000, 0);
    Pool pool{};
    std::array<uint8_t, 16> first{};
    detail::RandomBlockWith(kFixedSources, pool, first.data(), 2, kParityNone);

    ResetSources(1'765'000'000, 0);
    g_entropyPosition = 1000;
    Pool freshPool{};
    std::array<uint8_t, 16> otherEntropy{};
    detail::RandomBlockWith(kFixedSources, freshPool, otherEntropy.data(), 2, kParityNone);
    EXPECT_NE(first, otherEntropy);

    ResetSources(1'765'000'000, 0);
    std::array<uint8_t, 16> otherPool{};  // `pool` has moved on since
    detail::RandomBlockWith(kFixedSources, pool, otherPool.data(), 2, kParityNone);
    EXPECT_NE(first, otherPool);
}

TEST(RandomTest, WithoutOperatingSystemEntropyBlocksStillDiffer) {
    ResetSources(1'765'000'000, 0);
    g_entropyFails = true;
    Pool pool{};
    constexpr std::size_t kBlocks = 40;
    std::array<uint8_t, 8 * kBlocks> out{};
    detail::RandomBlockWith(kFixedSources, pool, out.data(), kBlocks, kParityOdd);
    std::set<uint64_t> seen;
    for (std::size_t i = 0; i < kBlocks; ++i) {
        uint64_t value = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            ASSERT_EQ(std::popcount(out[8 * i + j]) % 2, 1);
            value = (value << 8) | out[8 * i + j];
        }
        EXPECT_TRUE(seen.insert(value).second) << i;
    }
}

TEST(RandomTest, ParityModesHoldAndNoByteIsZero) {
    for (const int mode : {kParityOdd, kParityEven, kParityNone, 7}) {
        for (int i = 0; i < 2000; ++i) {
            std::array<uint8_t, 16> block{};
            RandomBlock(block.data(), 2, mode);
            for (const uint8_t b : block) {
                ASSERT_NE(b, 0) << "mode " << mode;
                if (mode == kParityOdd) {
                    ASSERT_EQ(std::popcount(b) % 2, 1);
                } else if (mode == kParityEven) {
                    ASSERT_EQ(std::popcount(b) % 2, 0);
                }
            }
        }
    }
}

TEST(RandomTest, BlocksWithinOneSecondAllDifferAndBytesSpreadEvenly) {
    // The clock alone changes once a second; every block must still be new.
    std::set<uint64_t> seen;
    std::array<int, 256> counts{};
    constexpr int kBlocks = 20000;
    for (int i = 0; i < kBlocks; ++i) {
        std::array<uint8_t, 8> block{};
        RandomBlock(block.data(), 1, kParityNone);
        uint64_t value = 0;
        for (const uint8_t b : block) {
            value = (value << 8) | b;
            ++counts[b];
        }
        EXPECT_TRUE(seen.insert(value).second);
    }
    // 160000 bytes over 255 values: about 627 each; a stuck bit or a biased
    // byte would push some count far off.
    for (int v = 1; v < 256; ++v) {
        EXPECT_GT(counts[v], 450) << v;
        EXPECT_LT(counts[v], 820) << v;
    }
}

TEST(RandomTest, LongRequestsGiveDistinctBlocksWithTheParityAsked) {
    // 70 blocks span several entropy draws; within one call the clock part
    // of the seed repeats, so only the fresh entropy and the pool tell the
    // blocks apart.
    constexpr std::size_t kBlocks = 70;
    std::array<uint8_t, 8 * kBlocks> out{};
    RandomBlock(out.data(), kBlocks, kParityOdd);
    std::set<uint64_t> seen;
    for (std::size_t i = 0; i < kBlocks; ++i) {
        uint64_t value = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            const uint8_t b = out[8 * i + j];
            ASSERT_NE(b, 0);
            ASSERT_EQ(std::popcount(b) % 2, 1);
            value = (value << 8) | b;
        }
        EXPECT_TRUE(seen.insert(value).second) << i;
    }
}

TEST(RandomTest, RandomByteIsNeverZeroAndTakesManyValues) {
    std::set<uint8_t> values;
    for (int i = 0; i < 3000; ++i) {
        const uint8_t b = RandomByte();
        ASSERT_NE(b, 0);
        values.insert(b);
    }
    EXPECT_GT(values.size(), 240u);
}

TEST(RandomTest, NullOutputOrNoBlocksWritesNothing) {
    RandomBlock(nullptr, 2, kParityOdd);
    std::array<uint8_t, 8> block{};
    RandomBlock(block.data(), 0, kParityOdd);
    EXPECT_EQ(block, (std::array<uint8_t, 8>{}));
}

}  // namespace
}  // namespace qorv::crypto
