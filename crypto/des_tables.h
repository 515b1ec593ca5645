// The FIPS 46-3 tables of DES, and the lookup tables derived from them at
// compile time: byte-indexed initial/final permutations and PC-1, 7-bit
// indexed PC-2, and the eight S-boxes merged with the P permutation (SP
// boxes). Deriving them here keeps the only hand-typed data the standard's
// own tables. Internal to the DES engine.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace qorv::crypto::des_tables {

// Initial permutation: output bit i comes from input bit kIp[i].
inline constexpr std::array<uint8_t, 64> kIp = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};

inline constexpr std::array<uint8_t, 32> kP = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                               26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                               3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

inline constexpr std::array<uint8_t, 56> kPc1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

inline constexpr std::array<uint8_t, 48> kPc2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

inline constexpr std::array<uint8_t, 16> kKeyShifts = {1, 1, 2, 2, 2, 2, 2, 2,
                                                       1, 2, 2, 2, 2, 2, 2, 1};

// S-boxes, row-major: row = outer bits (b1 b6), column = inner bits (b2..b5).
inline constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// --- Derived tables --------------------------------------------------------
//
// Working representation of a half block: the 32-bit half rotated right by
// one bit. Then the expansion E needs no table: the 6-bit groups 0, 2, 4, 6
// sit at bits 31-26, 23-18, 15-10, 7-2 of the rotated half, and groups 1, 3,
// 5, 7 at the same places of the rotated half turned left by 4 more bits.
// Round keys are packed to match (even groups in one word, odd in another),
// and the SP boxes produce their output already rotated.

constexpr uint64_t Bit64(int position) {
    return uint64_t{1} << (64 - position);
}
constexpr uint32_t Bit32(int position) {
    return uint32_t{1} << (32 - position);
}

constexpr uint64_t RotateHalvesRight1(uint64_t x) {
    return (uint64_t{std::rotr(static_cast<uint32_t>(x >> 32), 1)} << 32) |
           std::rotr(static_cast<uint32_t>(x), 1);
}
constexpr uint64_t RotateHalvesLeft1(uint64_t x) {
    return (uint64_t{std::rotl(static_cast<uint32_t>(x >> 32), 1)} << 32) |
           std::rotl(static_cast<uint32_t>(x), 1);
}

template <std::size_t N>
constexpr uint64_t Permute64(uint64_t x, const std::array<uint8_t, N>& from) {
    uint64_t out = 0;
    for (std::size_t i = 0; i < N; ++i)
        if (x & Bit64(from[i])) out |= Bit64(static_cast<int>(i) + 1);
    return out;
}

// Byte-indexed table of a linear bit map given by the images of the 64
// single input bits: table[b][v] is the image of byte b holding v.
using ByteTable = std::array<std::array<uint64_t, 256>, 8>;

template <typename Map>
constexpr ByteTable BuildByteTable(Map map) {
    std::array<uint64_t, 64> image{};
    for (int p = 1; p <= 64; ++p) image[p - 1] = map(Bit64(p));
    ByteTable table{};
    for (int b = 0; b < 8; ++b)
        for (int v = 0; v < 256; ++v)
            for (int k = 0; k < 8; ++k)
                if (v & (0x80 >> k)) table[b][v] |= image[8 * b + k];
    return table;
}

// Block (big-endian 64 bits) -> rotated (L, R) as L << 32 | R.
inline constexpr ByteTable kIpTable =
    BuildByteTable([](uint64_t bit) { return RotateHalvesRight1(Permute64(bit, kIp)); });

constexpr std::array<uint8_t, 64> InverseOf(const std::array<uint8_t, 64>& perm) {
    std::array<uint8_t, 64> inverse{};
    for (int i = 0; i < 64; ++i) inverse[perm[i] - 1] = static_cast<uint8_t>(i + 1);
    return inverse;
}

// Rotated (R16 << 32 | L16) -> output block.
inline constexpr ByteTable kFpTable =
    BuildByteTable([](uint64_t bit) { return Permute64(RotateHalvesLeft1(bit), InverseOf(kIp)); });

// Key byte -> (C << 32 | D), C and D as 28-bit values, bit 27 the first.
inline constexpr ByteTable kPc1Table = BuildByteTable([](uint64_t bit) {
    uint64_t out = 0;
    for (int i = 0; i < 56; ++i) {
        if (!(bit & Bit64(kPc1[i]))) continue;
        out |= i < 28 ? uint64_t{1} << (32 + 27 - i) : uint64_t{1} << (55 - i);
    }
    return out;
});

// Seven CD bits -> round key as (even groups << 32 | odd groups). Chunk c
// holds CD positions 7c+1 .. 7c+7, the first one in bit 6.
using Pc2Table = std::array<std::array<uint64_t, 128>, 8>;

constexpr uint64_t RoundKeyBit(int subkeyPosition) {
    const int group = (subkeyPosition - 1) / 6;
    const int bitInGroup = (subkeyPosition - 1) % 6;  // 0 = first bit
    const int shift = 26 - 8 * (group / 2) + (5 - bitInGroup);
    return (group % 2 == 0) ? uint64_t{1} << (32 + shift) : uint64_t{1} << shift;
}

constexpr Pc2Table BuildPc2Table() {
    Pc2Table table{};
    for (int c = 0; c < 8; ++c)
        for (int v = 0; v < 128; ++v)
            for (int k = 0; k < 7; ++k) {
                if (!(v & (0x40 >> k))) continue;
                const int cdPosition = 7 * c + k + 1;
                for (int j = 0; j < 48; ++j)
                    if (kPc2[j] == cdPosition) table[c][v] |= RoundKeyBit(j + 1);
            }
    return table;
}
inline constexpr Pc2Table kPc2Table = BuildPc2Table();

// S-box s merged with P, indexed by the raw 6-bit group, output rotated.
using SpTable = std::array<std::array<uint32_t, 64>, 8>;

constexpr SpTable BuildSpTable() {
    SpTable table{};
    for (int s = 0; s < 8; ++s)
        for (int x = 0; x < 64; ++x) {
            const int row = ((x >> 4) & 2) | (x & 1);
            const int column = (x >> 1) & 15;
            const uint32_t sOut = uint32_t{kSBoxes[s][row * 16 + column]} << (28 - 4 * s);
            uint32_t pOut = 0;
            for (int i = 0; i < 32; ++i)
                if (sOut & Bit32(kP[i])) pOut |= Bit32(i + 1);
            table[s][x] = std::rotr(pOut, 1);
        }
    return table;
}
inline constexpr SpTable kSpTable = BuildSpTable();

}  // namespace qorv::crypto::des_tables
