// Carry-propagating limb primitives for the Montgomery arithmetic. On x86-64
// they map to ADD/ADC and SUB/SBB chains (baseline instructions, no processor
// extension); elsewhere the same results come from 128-bit sums.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace qorv::crypto::detail {

__extension__ typedef unsigned __int128 WideLimb;

// sum = a + b + carryIn; returns the carry out (0 or 1).
[[gnu::always_inline]] inline uint64_t AddCarry(uint64_t a, uint64_t b, uint64_t carryIn,
                                                uint64_t& sum) {
#if defined(__x86_64__)
    unsigned long long out;
    const unsigned char carry = _addcarry_u64(static_cast<unsigned char>(carryIn), a, b, &out);
    sum = out;
    return carry;
#else
    const WideLimb s = static_cast<WideLimb>(a) + b + carryIn;
    sum = static_cast<uint64_t>(s);
    return static_cast<uint64_t>(s >> 64);
#endif
}

// difference = a - b - borrowIn; returns the borrow out (0 or 1).
[[gnu::always_inline]] inline uint64_t SubBorrow(uint64_t a, uint64_t b, uint64_t borrowIn,
                                                 uint64_t& difference) {
#if defined(__x86_64__)
    unsigned long long out;
    const unsigned char borrow = _subborrow_u64(static_cast<unsigned char>(borrowIn), a, b, &out);
    difference = out;
    return borrow;
#else
    const WideLimb d = static_cast<WideLimb>(a) - b - borrowIn;
    difference = static_cast<uint64_t>(d);
    return static_cast<uint64_t>(d >> 64) & 1;
#endif
}

// A three-limb column sum for product scanning: 2n products of 128 bits
// and the carried-in columns stay far below 2^192 for every size in use.
struct Accumulator {
    uint64_t low = 0, middle = 0, high = 0;

    // Moves one limb out: the low limb is returned, the rest shifts down.
    [[gnu::always_inline]] uint64_t Shift() {
        const uint64_t out = low;
        low = middle;
        middle = high;
        high = 0;
        return out;
    }
};

// acc += a x b. On x86-64 the three-limb addition is written out, as the
// compiler otherwise keeps the carries of the top limb in flag bytes.
[[gnu::always_inline]] inline void MulAdd(Accumulator& acc, uint64_t a, uint64_t b) {
    const WideLimb p = static_cast<WideLimb>(a) * b;
    const uint64_t low = static_cast<uint64_t>(p);
    const uint64_t high = static_cast<uint64_t>(p >> 64);
#if defined(__x86_64__)
    asm("addq %[low], %[a0]\n\t"
        "adcq %[high], %[a1]\n\t"
        "adcq $0, %[a2]"
        : [a0] "+r"(acc.low), [a1] "+r"(acc.middle), [a2] "+r"(acc.high)
        : [low] "r"(low), [high] "r"(high)
        : "cc");
#else
    uint64_t carry = AddCarry(acc.low, low, 0, acc.low);
    carry = AddCarry(acc.middle, high, carry, acc.middle);
    acc.high += carry;
#endif
}

// acc += word
[[gnu::always_inline]] inline void AddWord(Accumulator& acc, uint64_t word) {
    uint64_t carry = AddCarry(acc.low, word, 0, acc.low);
    carry = AddCarry(acc.middle, 0, carry, acc.middle);
    acc.high += carry;
}

// Zeros count limbs through a volatile pointer a word at a time (a byte-wise
// wipe costs eight times the stores), then fences the compiler.
inline void WipeLimbs(uint64_t* limbs, std::size_t count) noexcept {
    auto* p = static_cast<volatile uint64_t*>(limbs);
    for (std::size_t i = 0; i < count; ++i) p[i] = 0;
    asm volatile("" : : "r"(limbs) : "memory");
}

// acc += 2 x cross
[[gnu::always_inline]] inline void AddDoubled(Accumulator& acc, Accumulator cross) {
#if defined(__x86_64__)
    asm("addq %[c0], %[c0]\n\t"
        "adcq %[c1], %[c1]\n\t"
        "adcq %[c2], %[c2]\n\t"
        "addq %[c0], %[a0]\n\t"
        "adcq %[c1], %[a1]\n\t"
        "adcq %[c2], %[a2]"
        : [a0] "+r"(acc.low), [a1] "+r"(acc.middle), [a2] "+r"(acc.high), [c0] "+r"(cross.low),
          [c1] "+r"(cross.middle), [c2] "+r"(cross.high)
        :
        : "cc");
#else
    uint64_t carry = AddCarry(cross.low, cross.low, 0, cross.low);
    carry = AddCarry(cross.middle, cross.middle, carry, cross.middle);
    cross.high = (cross.high << 1) + carry;
    carry = AddCarry(acc.low, cross.low, 0, acc.low);
    carry = AddCarry(acc.middle, cross.middle, carry, acc.middle);
    acc.high += cross.high + carry;
#endif
}

}  // namespace qorv::crypto::detail
