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
#include <cstring>
#include <ctime>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kClockTextSize = 26;  // 24 characters, line feed, zero byte
constexpr time_t kClockOffsetSeconds = 13;
// A block seed is 40 bytes, but only its bytes 0 to 7 ever reach a block
// (0-3 are mixed into the pool before r1 is drawn, 4-7 before r2). Seed
// bytes 8 to 39 - the rest of the clock text's digest and the digest of the
// reversed clock text - change nothing, so they are not computed, and each
// block draws 8 bytes of operating-system entropy for the 8 bytes used.
constexpr std::size_t kSeedBytesUsed = 8;
// Blocks whose entropy one getrandom call fetches: 256 bytes, which the
// kernel always delivers whole (RN2 takes one block, a padding seed two; the
// dialogs' longer requests take several draws).
constexpr std::size_t kBlocksPerDraw = 32;
constexpr std::size_t kEntropyPerDraw = kBlocksPerDraw * kSeedBytesUsed;

// Generator blocks that seed a padding expansion: 128 bits.
constexpr std::size_t kPaddingSeedBlocks = 2;
constexpr std::size_t kPaddingSeedSize = kPaddingSeedBlocks * kRandomBlockSize;
constexpr std::size_t kCounterSize = 4;

constexpr uint32_t kSha1InitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                           0xC3D2E1F0};

// Process-wide; all callers run on the control's thread.
std::array<uint8_t, kRandomPoolSize> g_pool{};

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

time_t SystemClock() {
    return std::time(nullptr);
}

constexpr detail::RandomSources kSystemSources = {&SystemClock, &SystemEntropy};

// The clock part of a block seed: the first bytes of the digest of the clock
// text. It follows from the clock alone, so it holds nothing secret, and it
// changes once a second: it is computed once per second, not once per block.
struct ClockSeed {
    time_t reduced = 0;
    bool valid = false;
    std::array<uint8_t, kSeedBytesUsed> bytes{};
};

const std::array<uint8_t, kSeedBytesUsed>& ClockSeedFor(time_t reduced) {
    thread_local ClockSeed cache;
    if (!cache.valid || cache.reduced != reduced) {
        std::array<uint8_t, kClockTextSize> text;
        ClockText(reduced, text);
        const Sha1Digest digest = Sha1(text);
        std::copy_n(digest.begin(), kSeedBytesUsed, cache.bytes.begin());
        cache.reduced = reduced;
        cache.valid = true;
    }
    return cache.bytes;
}

// The SHA-1 compression function this processor runs best (the x86 SHA
// extensions where present), chosen once.
detail::Sha1CompressFn Sha1Compression() noexcept {
    static const detail::Sha1CompressFn chosen = detail::Sha1HardwareSupported()
                                                     ? &detail::Sha1CompressHardware
                                                     : &detail::Sha1CompressPortable;
    return chosen;
}

// SHA-1 of the generator's short messages (8 to 20 bytes): the message and
// its padding fit one block, so a digest is one compression. The padded
// block and the state stay in this object, which the request wipes once when
// it ends, instead of a copy wiped on every call: a block needs three
// digests, and the general one-shot hashing spends twice the compression's
// time on its copies and wipes.
class ShortSha1 {
  public:
    ShortSha1() = default;
    ShortSha1(const ShortSha1&) = delete;
    ShortSha1& operator=(const ShortSha1&) = delete;
    ~ShortSha1() {
        SecureWipe(block_, sizeof block_);
        SecureWipe(state_, sizeof state_);
    }

    // digest may be the message itself.
    template <std::size_t Size>
    void Digest(const uint8_t* message, uint8_t* digest) noexcept {
        static_assert(Size + 1 + kLengthBytes <= kSha1BlockSize);
        std::memcpy(block_, message, Size);
        block_[Size] = 0x80;
        std::memset(block_ + Size + 1, 0, kSha1BlockSize - kLengthBytes - Size - 1);
        constexpr uint64_t kBits = uint64_t{Size} * 8;
        for (std::size_t i = 0; i < kLengthBytes; ++i)
            block_[kSha1BlockSize - 1 - i] = static_cast<uint8_t>(kBits >> (8 * i));
        std::memcpy(state_, kSha1InitialState, sizeof state_);
        Sha1Compression()(state_, block_, 1);
        for (std::size_t i = 0; i < 5; ++i) {
            for (std::size_t j = 0; j < 4; ++j)
                digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
        }
    }

  private:
    static constexpr std::size_t kLengthBytes = 8;
    uint8_t block_[kSha1BlockSize];
    uint32_t state_[5];
};

// Everything secret a request computes on its way, wiped once when the
// request ends (on every path) rather than piece by piece in each block.
struct RequestWork {
    RequestWork() = default;
    RequestWork(const RequestWork&) = delete;
    RequestWork& operator=(const RequestWork&) = delete;
    ~RequestWork() {
        SecureWipe(entropy, entropyFilled);
        SecureWipe(seed);
        SecureWipe(digest);
        SecureWipe(plain);
    }

    ShortSha1 sha1;
    // Wiped as far as it was filled: wiping all of it would cost more than
    // a short request itself.
    uint8_t entropy[kEntropyPerDraw];
    std::size_t entropyFilled = 0;
    std::array<uint8_t, kSeedBytesUsed> seed;
    std::array<uint8_t, kSha1DigestSize> digest;
    std::array<uint8_t, kRandomBlockSize> plain;
};

// Fresh entropy for one block when the operating system gave none: the fine
// clock, so that at least consecutive blocks differ.
void FineClockEntropy(uint8_t* entropy) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nanos =
        static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
    for (std::size_t i = 0; i < kSeedBytesUsed; ++i)
        entropy[i] = static_cast<uint8_t>(nanos >> (8 * i));
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

// Without branches: the bytes are random, so a branch per byte would be
// mispredicted half the time.
void ApplyParity(uint8_t* block, int parityMode) {
    if (parityMode != kParityOdd && parityMode != kParityEven) return;
    const unsigned wantOddOnes = parityMode == kParityOdd ? 1u : 0u;
    for (std::size_t i = 0; i < kRandomBlockSize; ++i) {
        const unsigned oddOnes = static_cast<unsigned>(std::popcount(block[i])) & 1u;
        // The lowest bit flips when the count of one bits has the wrong parity.
        uint8_t b = static_cast<uint8_t>(block[i] ^ (oddOnes ^ wantOddOnes));
        // Even parity turns 01 into 00; 03 keeps even parity and the
        // no-zero promise.
        b = static_cast<uint8_t>(b | (b == 0 ? 0x03 : 0x00));
        block[i] = b;
    }
}

uint8_t WithOddParity(uint8_t b) {
    return static_cast<uint8_t>(b ^ ((static_cast<unsigned>(std::popcount(b)) & 1u) ^ 1u));
}

// One block at `now` (seconds), with this block's 8 bytes of entropy.
void MakeBlock(RequestWork& work, std::array<uint8_t, kRandomPoolSize>& pool, time_t now,
               const uint8_t* entropy, uint8_t* out, int parityMode) {
    // The seed: the clock digest with the fresh entropy XORed over it, so
    // that knowing the time predicts nothing.
    const std::array<uint8_t, kSeedBytesUsed>& clockSeed = ClockSeedFor(now - kClockOffsetSeconds);
    for (std::size_t i = 0; i < kSeedBytesUsed; ++i) work.seed[i] = clockSeed[i] ^ entropy[i];

    StoreLittleEndian(LoadLittleEndian(pool.data()) ^ static_cast<uint32_t>(now), pool.data());
    for (int i = 0; i < 4; ++i) pool[i] ^= work.seed[i];
    const uint32_t r1 = DrawSeeded(LoadLittleEndian(pool.data()));
    for (int i = 4; i < 8; ++i) pool[i] ^= work.seed[i];
    const uint32_t r2 = DrawSeeded(LoadLittleEndian(pool.data() + 4));

    // Block key: the first 8 bytes of SHA-1(pool bytes 0-7).
    work.sha1.Digest<8>(pool.data(), work.digest.data());
    StoreLittleEndian(r1, work.plain.data());
    StoreLittleEndian(r2, work.plain.data() + 4);
    DesEncryptBlock(work.digest.data(), work.plain.data(), out);

    // Fold the output back into the pool, so the next block depends on it.
    work.sha1.Digest<kRandomBlockSize>(out, work.digest.data());
    std::reverse(work.digest.begin(), work.digest.end());
    for (std::size_t i = 0; i < kRandomPoolSize; ++i) pool[i] ^= work.digest[i];
    std::reverse(pool.begin(), pool.end());
    work.sha1.Digest<kRandomPoolSize>(pool.data(), pool.data());

    for (std::size_t i = 0; i < kRandomBlockSize; ++i) {
        if (out[i] == 0) out[i] = static_cast<uint8_t>((pool[12] + i) | 1);
    }
    ApplyParity(out, parityMode);
}

}  // namespace

namespace detail {

void RandomBlockWith(const RandomSources& sources, std::array<uint8_t, kRandomPoolSize>& pool,
                     uint8_t* out, std::size_t blockCount, int parityMode) {
    if (out == nullptr) return;
    RequestWork work;
    // One system call draws the entropy of many blocks (a system call costs
    // more than the rest of a block); each block still gets its own bytes.
    for (std::size_t done = 0; done < blockCount;) {
        const std::size_t blocks = std::min(blockCount - done, kBlocksPerDraw);
        const std::size_t size = blocks * kSeedBytesUsed;
        work.entropyFilled = std::max(work.entropyFilled, size);
        const bool fromSystem = sources.entropy(work.entropy, size);
        for (std::size_t i = 0; i < blocks; ++i, ++done) {
            uint8_t* blockEntropy = work.entropy + i * kSeedBytesUsed;
            if (!fromSystem) FineClockEntropy(blockEntropy);
            MakeBlock(work, pool, sources.clock(), blockEntropy, out + done * kRandomBlockSize,
                      parityMode);
        }
    }
}

void RandomPaddingBytesWith(const RandomSources& sources,
                            std::array<uint8_t, kRandomPoolSize>& pool, uint8_t* out,
                            std::size_t count) {
    if (out == nullptr || count == 0) return;
    // The seed followed by the counter: one SHA-1 message per 20 bytes.
    SecretBytes<kPaddingSeedSize + kCounterSize> message;
    RandomBlockWith(sources, pool, message.data(), kPaddingSeedBlocks, kParityNone);
    ShortSha1 sha1;
    SecretBytes<kSha1DigestSize> chunk;
    uint32_t counter = 0;
    for (std::size_t done = 0; done < count; ++counter) {
        for (std::size_t i = 0; i < kCounterSize; ++i)
            message[kPaddingSeedSize + i] = static_cast<uint8_t>(counter >> (24 - 8 * i));
        sha1.Digest<kPaddingSeedSize + kCounterSize>(message.data(), chunk.data());
        const std::size_t take = std::min(kSha1DigestSize, count - done);
        for (std::size_t i = 0; i < take; ++i) out[done + i] = WithOddParity(chunk[i]);
        done += take;
    }
}

}  // namespace detail

void RandomBlock(uint8_t* out, std::size_t blockCount, int parityMode) {
    detail::RandomBlockWith(kSystemSources, g_pool, out, blockCount, parityMode);
}

void RandomPaddingBytes(uint8_t* out, std::size_t count) {
    detail::RandomPaddingBytesWith(kSystemSources, g_pool, out, count);
}

uint8_t RandomByte() {
    std::array<uint8_t, kRandomBlockSize> block;
    RandomBlock(block.data(), 1, kParityNone);
    const uint8_t byte = block[2];
    SecureWipe(block);
    return byte;
}

}  // namespace qorv::crypto
