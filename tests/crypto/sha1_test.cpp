// SHA-1: the FIPS 180-1 examples, the incremental form against the one-shot
// form and OpenSSL across block boundaries, and the SHA-extension and
// portable compressions against OpenSSL on random lengths.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/hex.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

std::string DigestHex(std::string_view message) {
    return HexEncode(
        Sha1(std::span(reinterpret_cast<const uint8_t*>(message.data()), message.size())));
}

TEST(Sha1, FipsExamples) {
    EXPECT_EQ(DigestHex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(DigestHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(DigestHex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
    EXPECT_EQ(DigestHex(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(Sha1, IncrementalMatchesOneShotAndOpenSsl) {
    std::mt19937 rng(7);
    for (std::size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000}) {
        std::vector<uint8_t> data(length);
        for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
        uint8_t expected[SHA_DIGEST_LENGTH];
        SHA1(data.data(), data.size(), expected);
        EXPECT_EQ(Sha1(data), Sha1Digest(std::to_array(expected))) << length;

        // Feed the same bytes in uneven pieces; Final resets for reuse.
        Sha1Context context;
        for (int round = 0; round < 2; ++round) {
            for (std::size_t off = 0; off < length;) {
                const std::size_t piece = std::min<std::size_t>(1 + rng() % 70, length - off);
                context.Update(data.data() + off, piece);
                off += piece;
            }
            Sha1Digest digest;
            context.Final(digest.data());
            EXPECT_EQ(digest, Sha1Digest(std::to_array(expected))) << length << " round " << round;
        }
    }
}

// Restores the processor's own choice of compression when a test ends.
class CompressionChoice {
  public:
    explicit CompressionChoice(bool portable) { test_hooks::ForcePortableSha1(portable); }
    ~CompressionChoice() { test_hooks::ForcePortableSha1(false); }
};

// Random data of random lengths (many blocks at once, odd tails), whole and
// in uneven pieces, against OpenSSL.
void ExpectMatchesOpenSslOnRandomLengths(uint32_t seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        const std::size_t length = round < 200 ? rng() % 300 : rng() % 20000;
        std::vector<uint8_t> data(length);
        for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
        Sha1Digest expected;
        SHA1(data.data(), data.size(), expected.data());
        ASSERT_EQ(Sha1(data), expected) << length;

        Sha1Context context;
        for (std::size_t off = 0; off < length;) {
            const std::size_t piece = std::min<std::size_t>(1 + rng() % 300, length - off);
            context.Update(data.data() + off, piece);
            off += piece;
        }
        Sha1Digest digest;
        context.Final(digest.data());
        ASSERT_EQ(digest, expected) << length;
    }
}

TEST(Sha1, PortableCompressionMatchesOpenSsl) {
    const CompressionChoice portable(true);
    ExpectMatchesOpenSslOnRandomLengths(11);
    EXPECT_EQ(DigestHex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(Sha1, HardwareCompressionMatchesOpenSsl) {
    if (!test_hooks::Sha1HardwareAvailable()) GTEST_SKIP() << "no SHA extensions here";
    const CompressionChoice processorChoice(false);
    ExpectMatchesOpenSslOnRandomLengths(12);
    EXPECT_EQ(DigestHex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

}  // namespace
}  // namespace qorv::crypto
