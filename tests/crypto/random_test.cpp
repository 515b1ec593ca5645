// Output properties of the random generator.
#include "crypto/random.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <set>

namespace qorv::crypto {
namespace {

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
