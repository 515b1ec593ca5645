#include "crypto/random.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kPoolSize = 20;
constexpr std::size_t kSeedSize = 2 * kSha1DigestSize;
constexpr std::size_t kClockTextSize = 26;  // 24 characters, line feed, zero byte
constexpr time_t kClockOffsetSeconds = 13;
// Blocks whose entropy one getrandom call fetches (a padding block of the
// largest key needs 18).
constexpr std::size_t kBlocksPerDraw = 32;

// Process-wide; all callers run on the control's thread.
std::array<uint8_t, kPoolSize> g_pool{};

// Fills out from the operating system's generator; falls back to
// /dev/urandom. Returns false only when neither answers.
bool SystemEntropy(uint8_t* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = getrandom(out + done, size - done, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            break;
        }
    }
    if (done == size) return true;
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    while (done < size) {
        const ssize_t got = read(fd, out + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
    return done == size;
}

// The clock in the C library's asctime layout, e.g. "Wed Jun 30 21:49:08 1993\n\0".
void ClockText(time_t when, std::array<uint8_t, kClockTextSize>& text) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    text.fill(0);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n",
                  kDays[(local.tm_wday % 7 + 7) % 7], kMonths[(local.tm_mon % 12 + 12) % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    std::copy_n(buffer, kClockTextSize - 1, text.begin());  // the last byte stays zero
}

// The clock part of a block seed: the digest of the clock text, then the
// digest of the reversed text with the time folded into byte 5. It changes
// once a second, so one RandomBlock call computes it once per second it
// spans rather than once per block.
class ClockDigests {
  public:
    const std::array<uint8_t, kSeedSize>& For(time_t reduced) {
        if (!valid_ || reduced != reduced_) {
            std::array<uint8_t, kClockTextSize> text;
            ClockText(reduced, text);
            Sha1(text.data(), text.size(), digests_.data());
            std::reverse(text.begin(), text.end());
            const auto timeBits = static_cast<uint64_t>(reduced);
            for (int i = 0; i < 4; ++i) text[5] ^= static_cast<uint8_t>(timeBits >> (8 * i));
            Sha1(text.data(), text.size(), digests_.data() + kSha1DigestSize);
            SecureWipe(text);
            reduced_ = reduced;
            valid_ = true;
        }
        return digests_;
    }

  private:
    std::array<uint8_t, kSeedSize> digests_{};
    time_t reduced_ = 0;
    bool valid_ = false;
};

// Fresh entropy for one block when the operating system gave none: the fine
// clock, so that at least consecutive blocks differ.
void FineClockEntropy(uint8_t* entropy) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nanos =
        static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
    std::fill_n(entropy, kSeedSize, 0);
    for (int i = 0; i < 8; ++i) entropy[i] = static_cast<uint8_t>(nanos >> (8 * i));
}

// 40 seed bytes: the clock digests with this block's 40 bytes of operating-
// system entropy XORed over them, so that knowing the time predicts nothing.
void MakeSeed(ClockDigests& clock, const uint8_t* entropy, std::array<uint8_t, kSeedSize>& seed) {
    const std::array<uint8_t, kSeedSize>& digests =
        clock.For(std::time(nullptr) - kClockOffsetSeconds);
    for (std::size_t i = 0; i < kSeedSize; ++i) seed[i] = digests[i] ^ entropy[i];
}

uint32_t LoadLittleEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLittleEndian(uint32_t value, uint8_t* p) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// One draw of a C-library-style generator seeded with `seed`; rand_r keeps
// its state in the caller's word, so the process-wide rand() is untouched.
uint32_t DrawSeeded(uint32_t seed) {
    unsigned int state = seed;
    return static_cast<uint32_t>(rand_r(&state));
}

void ApplyParity(uint8_t* block, int parityMode) {
    if (parityMode != kParityOdd && parityMode != kParityEven) return;
    for (std::size_t i = 0; i < kRandomBlockSize; ++i) {
        const bool oddOnes = (std::popcount(block[i]) & 1) != 0;
        if (parityMode == kParityOdd && !oddOnes) block[i] ^= 1;
        if (parityMode == kParityEven && oddOnes) {
            block[i] ^= 1;
            // 01 would become 00; 03 keeps even parity and the no-zero promise.
            if (block[i] == 0) block[i] = 0x03;
        }
    }
}

void MakeBlock(uint8_t* out, ClockDigests& clock, const uint8_t* entropy, int parityMode) {
    std::array<uint8_t, kSeedSize> seed;
    MakeSeed(clock, entropy, seed);

    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
    StoreLittleEndian(LoadLittleEndian(g_pool.data()) ^ now, g_pool.data());
    for (int i = 0; i < 4; ++i) g_pool[i] ^= seed[i];
    const uint32_t r1 = DrawSeeded(LoadLittleEndian(g_pool.data()));
    for (int i = 4; i < 8; ++i) g_pool[i] ^= seed[i];
    const uint32_t r2 = DrawSeeded(LoadLittleEndian(g_pool.data() + 4));

    Sha1Digest blockKey = Sha1(std::span<const uint8_t>(g_pool.data(), 8));
    std::array<uint8_t, kRandomBlockSize> plain;
    StoreLittleEndian(r1, plain.data());
    StoreLittleEndian(r2, plain.data() + 4);
    DesEncryptBlock(blockKey.data(), plain.data(), out);

    // Fold the output back into the pool, so the next block depends on it.
    Sha1Digest h = Sha1(std::span<const uint8_t>(out, kRandomBlockSize));
    std::reverse(h.begin(), h.end());
    for (std::size_t i = 0; i < kPoolSize; ++i) g_pool[i] ^= h[i];
    std::reverse(g_pool.begin(), g_pool.end());
    g_pool = Sha1(g_pool);

    for (std::size_t i = 0; i < kRandomBlockSize; ++i) {
        if (out[i] == 0) out[i] = static_cast<uint8_t>((g_pool[12] + i) | 1);
    }
    ApplyParity(out, parityMode);

    SecureWipe(seed);
    SecureWipe(blockKey);
    SecureWipe(plain);
    SecureWipe(h);
}

}  // namespace

void RandomBlock(uint8_t* out, std::size_t blockCount, int parityMode) {
    if (out == nullptr) return;
    ClockDigests clock;
    // One system call draws the entropy of many blocks (a system call costs
    // more than the rest of a block); each block still gets its own bytes.
    // A plain array wiped as far as it was filled: wiping all of it would
    // cost more than a short request itself.
    uint8_t entropy[kBlocksPerDraw * kSeedSize];
    std::size_t filled = 0;
    for (std::size_t done = 0; done < blockCount;) {
        const std::size_t blocks = std::min(blockCount - done, kBlocksPerDraw);
        filled = std::max(filled, blocks * kSeedSize);
        const bool fromSystem = SystemEntropy(entropy, blocks * kSeedSize);
        for (std::size_t i = 0; i < blocks; ++i, ++done) {
            uint8_t* blockEntropy = entropy + i * kSeedSize;
            if (!fromSystem) FineClockEntropy(blockEntropy);
            MakeBlock(out + done * kRandomBlockSize, clock, blockEntropy, parityMode);
        }
    }
    SecureWipe(entropy, filled);
}

uint8_t RandomByte() {
    std::array<uint8_t, kRandomBlockSize> block;
    RandomBlock(block.data(), 1, kParityNone);
    const uint8_t byte = block[2];
    SecureWipe(block);
    return byte;
}

}  // namespace qorv::crypto
