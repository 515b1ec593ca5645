// DES block cipher: key schedule and the 16 rounds, on lookup tables only.
#include "crypto/des.h"

#include <bit>
#include <utility>

#include "base/secure_wipe.h"
#include "crypto/des_core.h"
#include "crypto/des_tables.h"

namespace qorv::crypto {
namespace detail {
namespace {

using des_tables::kFpTable;
using des_tables::kIpTable;
using des_tables::kKeyShifts;
using des_tables::kPc1Table;
using des_tables::kPc2Table;
using des_tables::kSpTable;

constexpr uint32_t kMask28 = 0x0FFFFFFF;

void BuildSchedule(const uint8_t* key, bool decrypt, uint32_t* schedule) noexcept {
    uint64_t cd = 0;
    for (int i = 0; i < 8; ++i) cd |= kPc1Table[i][key[i]];
    uint32_t c = static_cast<uint32_t>(cd >> 32);
    uint32_t d = static_cast<uint32_t>(cd);
    for (int round = 0; round < 16; ++round) {
        const int s = kKeyShifts[round];
        c = ((c << s) | (c >> (28 - s))) & kMask28;
        d = ((d << s) | (d >> (28 - s))) & kMask28;
        const uint64_t k = kPc2Table[0][c >> 21] | kPc2Table[1][(c >> 14) & 127] |
                           kPc2Table[2][(c >> 7) & 127] | kPc2Table[3][c & 127] |
                           kPc2Table[4][d >> 21] | kPc2Table[5][(d >> 14) & 127] |
                           kPc2Table[6][(d >> 7) & 127] | kPc2Table[7][d & 127];
        // Decryption runs the same rounds with the round keys in reverse.
        const int slot = decrypt ? 15 - round : round;
        schedule[2 * slot] = static_cast<uint32_t>(k >> 32);
        schedule[2 * slot + 1] = static_cast<uint32_t>(k);
    }
}

inline uint32_t RoundFunction(uint32_t r, const uint32_t* k) noexcept {
    const uint32_t even = r ^ k[0];
    const uint32_t odd = std::rotl(r, 4) ^ k[1];
    return kSpTable[0][even >> 26] ^ kSpTable[2][(even >> 18) & 63] ^
           kSpTable[4][(even >> 10) & 63] ^ kSpTable[6][(even >> 2) & 63] ^ kSpTable[1][odd >> 26] ^
           kSpTable[3][(odd >> 18) & 63] ^ kSpTable[5][(odd >> 10) & 63] ^
           kSpTable[7][(odd >> 2) & 63];
}

// 16 rounds on the rotated halves; leaves (l, r) = (R16, L16), the input of
// the final permutation, which is also what the next stage of a triple DES
// takes as its (L0, R0): the final and initial permutations in between
// cancel out.
inline void SixteenRounds(uint32_t& l, uint32_t& r, const uint32_t* k) noexcept {
#pragma GCC unroll 8
    for (int i = 0; i < kDesScheduleWords; i += 4) {
        l ^= RoundFunction(r, k + i);
        r ^= RoundFunction(l, k + i + 2);
    }
    const uint32_t t = l;
    l = r;
    r = t;
}

// The same on two independent blocks at once: their rounds interleave, so the
// table lookups of one block fill the latency of the other's.
inline void SixteenRoundsTwo(uint32_t& l0, uint32_t& r0, uint32_t& l1, uint32_t& r1,
                             const uint32_t* k) noexcept {
#pragma GCC unroll 8
    for (int i = 0; i < kDesScheduleWords; i += 4) {
        l0 ^= RoundFunction(r0, k + i);
        l1 ^= RoundFunction(r1, k + i);
        r0 ^= RoundFunction(l0, k + i + 2);
        r1 ^= RoundFunction(l1, k + i + 2);
    }
    std::swap(l0, r0);
    std::swap(l1, r1);
}

inline uint64_t ByteTableLookup(const des_tables::ByteTable& table, uint64_t x) noexcept {
    return table[0][x >> 56] | table[1][(x >> 48) & 255] | table[2][(x >> 40) & 255] |
           table[3][(x >> 32) & 255] | table[4][(x >> 24) & 255] | table[5][(x >> 16) & 255] |
           table[6][(x >> 8) & 255] | table[7][x & 255];
}

}  // namespace

DesBlockCipher::DesBlockCipher(const uint8_t* keys, uint8_t cipherType, bool decrypt) noexcept
    : stages_(cipherType == kCipherSingleDes ? 1 : 3) {
    const uint8_t* k1 = keys;
    const uint8_t* k2 = keys + 8;
    const uint8_t* k3 = cipherType == kCipherThreeKeyTripleDes ? keys + 16 : keys;
    if (stages_ == 1) {
        BuildSchedule(k1, decrypt, schedules_[0]);
    } else if (!decrypt) {
        BuildSchedule(k1, false, schedules_[0]);
        BuildSchedule(k2, true, schedules_[1]);
        BuildSchedule(k3, false, schedules_[2]);
    } else {
        BuildSchedule(k3, true, schedules_[0]);
        BuildSchedule(k2, false, schedules_[1]);
        BuildSchedule(k1, true, schedules_[2]);
    }
}

// Only the stages in use were written (a single DES wipes a third).
DesBlockCipher::~DesBlockCipher() {
    SecureWipe(schedules_, static_cast<std::size_t>(stages_) * sizeof schedules_[0]);
}

uint64_t DesBlockCipher::Process(uint64_t block) const noexcept {
    const uint64_t halves = ByteTableLookup(kIpTable, block);
    uint32_t l = static_cast<uint32_t>(halves >> 32);
    uint32_t r = static_cast<uint32_t>(halves);
    SixteenRounds(l, r, schedules_[0]);
    if (stages_ == 3) {
        SixteenRounds(l, r, schedules_[1]);
        SixteenRounds(l, r, schedules_[2]);
    }
    return ByteTableLookup(kFpTable, (uint64_t{l} << 32) | r);
}

void DesBlockCipher::ProcessTwo(uint64_t& first, uint64_t& second) const noexcept {
    const uint64_t halves0 = ByteTableLookup(kIpTable, first);
    const uint64_t halves1 = ByteTableLookup(kIpTable, second);
    uint32_t l0 = static_cast<uint32_t>(halves0 >> 32);
    uint32_t r0 = static_cast<uint32_t>(halves0);
    uint32_t l1 = static_cast<uint32_t>(halves1 >> 32);
    uint32_t r1 = static_cast<uint32_t>(halves1);
    for (int stage = 0; stage < stages_; ++stage)
        SixteenRoundsTwo(l0, r0, l1, r1, schedules_[stage]);
    first = ByteTableLookup(kFpTable, (uint64_t{l0} << 32) | r0);
    second = ByteTableLookup(kFpTable, (uint64_t{l1} << 32) | r1);
}

}  // namespace detail

void DesEncryptBlock(const uint8_t* key, const uint8_t* in, uint8_t* out) noexcept {
    const detail::DesBlockCipher cipher(key, kCipherSingleDes, false);
    detail::StoreBlock(cipher.Process(detail::LoadBlock(in)), out);
}

void DesDecryptBlock(const uint8_t* key, const uint8_t* in, uint8_t* out) noexcept {
    const detail::DesBlockCipher cipher(key, kCipherSingleDes, true);
    detail::StoreBlock(cipher.Process(detail::LoadBlock(in)), out);
}

}  // namespace qorv::crypto
