// Montgomery multiplication of 8-limb numbers (the 512-bit primes of a
// 1024-bit key, where the private-key operations spend their time) with the
// MULX, ADCX and ADOX instructions: operand scanning (CIOS), each row adding
// a_i b and then q m with two independent carry chains (ADCX through the
// carry flag for the low halves, ADOX through the overflow flag for the high
// halves). The ten-limb running sum stays in registers and rotates by one
// register per row instead of being shifted. Used only when the processor
// has both extensions; nothing here branches on the values.
#include "crypto/bignum_montgomery_adx.h"

#include <cstddef>
#include <cstring>

#include "crypto/bignum_limb_ops.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace qorv::crypto::detail {

namespace {
bool g_adxEnabled = true;
}  // namespace

void SetMontgomeryAdxEnabled(bool enabled) {
    g_adxEnabled = enabled;
}

bool MontgomeryAdxEnabled() {
    return g_adxEnabled && MontgomeryAdxAvailable();
}

#if defined(__x86_64__)

namespace {

// One block of memory the assembly reads through a single base register:
// the operands and the modulus copied in, the sum written out.
struct alignas(64) AdxFrame {
    uint64_t a[8];    // offset 0
    uint64_t b[8];    // 64
    uint64_t m[8];    // 128
    uint64_t m0inv;   // 192
    uint64_t zero;    // 200
    uint64_t sum[9];  // 208: the result before the final subtraction
};
static_assert(offsetof(AdxFrame, b) == 64 && offsetof(AdxFrame, m) == 128 &&
              offsetof(AdxFrame, m0inv) == 192 && offsetof(AdxFrame, zero) == 200 &&
              offsetof(AdxFrame, sum) == 208);

// clang-format off
// t[k+1] += high, t[k] += low of one 64 x 64 product with the multiplier in rdx.
#define QORV_ADX_STEP(disp, lo, hi)                                   \
    "mulxq " disp "(%%rsi), %%rax, %%rcx\n\t"                          \
    "adcxq %%rax, %%" lo "\n\t"                                        \
    "adoxq %%rcx, %%" hi "\n\t"

// t += rdx x (the eight limbs at base): both flags cleared first, both
// chains closed into t8 and t9 at the end.
#define QORV_ADX_PASS(base, t0, t1, t2, t3, t4, t5, t6, t7, t8, t9) \
    "xorl %%eax, %%eax\n\t"                                           \
    QORV_ADX_STEP(base "+0", t0, t1)                                  \
    QORV_ADX_STEP(base "+8", t1, t2)                                  \
    QORV_ADX_STEP(base "+16", t2, t3)                                 \
    QORV_ADX_STEP(base "+24", t3, t4)                                 \
    QORV_ADX_STEP(base "+32", t4, t5)                                 \
    QORV_ADX_STEP(base "+40", t5, t6)                                 \
    QORV_ADX_STEP(base "+48", t6, t7)                                 \
    QORV_ADX_STEP(base "+56", t7, t8)                                 \
    "adcxq 200(%%rsi), %%" t8 "\n\t"                                  \
    "adoxq 200(%%rsi), %%" t9 "\n\t"                                  \
    "adcxq 200(%%rsi), %%" t9 "\n\t"

// One row: t += a_i b, then t += q m with q = t0 m0inv, which clears t0;
// the next row names t1 as its t0 and the cleared register as its t9.
#define QORV_ADX_ROW(aoff, t0, t1, t2, t3, t4, t5, t6, t7, t8, t9)  \
    "movq " aoff "(%%rsi), %%rdx\n\t"                                 \
    QORV_ADX_PASS("64", t0, t1, t2, t3, t4, t5, t6, t7, t8, t9)       \
    "movq %%" t0 ", %%rdx\n\t"                                        \
    "imulq 192(%%rsi), %%rdx\n\t"                                     \
    QORV_ADX_PASS("128", t0, t1, t2, t3, t4, t5, t6, t7, t8, t9)

// The sum below 2m in the frame; the inputs a, b are below m.
void MontgomeryRowsAdx8(AdxFrame& frame) {
    asm volatile(
        "xorl %%ebx, %%ebx\n\t"
        "xorl %%edi, %%edi\n\t"
        "xorl %%r8d, %%r8d\n\t"
        "xorl %%r9d, %%r9d\n\t"
        "xorl %%r10d, %%r10d\n\t"
        "xorl %%r11d, %%r11d\n\t"
        "xorl %%r12d, %%r12d\n\t"
        "xorl %%r13d, %%r13d\n\t"
        "xorl %%r14d, %%r14d\n\t"
        "xorl %%r15d, %%r15d\n\t"
        QORV_ADX_ROW("0", "rbx", "rdi", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15")
        QORV_ADX_ROW("8", "rdi", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "rbx")
        QORV_ADX_ROW("16", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "rbx", "rdi")
        QORV_ADX_ROW("24", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "rbx", "rdi", "r8")
        QORV_ADX_ROW("32", "r10", "r11", "r12", "r13", "r14", "r15", "rbx", "rdi", "r8", "r9")
        QORV_ADX_ROW("40", "r11", "r12", "r13", "r14", "r15", "rbx", "rdi", "r8", "r9", "r10")
        QORV_ADX_ROW("48", "r12", "r13", "r14", "r15", "rbx", "rdi", "r8", "r9", "r10", "r11")
        QORV_ADX_ROW("56", "r13", "r14", "r15", "rbx", "rdi", "r8", "r9", "r10", "r11", "r12")
        "movq %%r14, 208(%%rsi)\n\t"
        "movq %%r15, 216(%%rsi)\n\t"
        "movq %%rbx, 224(%%rsi)\n\t"
        "movq %%rdi, 232(%%rsi)\n\t"
        "movq %%r8, 240(%%rsi)\n\t"
        "movq %%r9, 248(%%rsi)\n\t"
        "movq %%r10, 256(%%rsi)\n\t"
        "movq %%r11, 264(%%rsi)\n\t"
        "movq %%r12, 272(%%rsi)\n\t"
        :
        : "S"(&frame)
        : "rax", "rbx", "rcx", "rdx", "rdi", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15",
          "cc", "memory");
}
// clang-format on

#undef QORV_ADX_ROW
#undef QORV_ADX_PASS
#undef QORV_ADX_STEP

}  // namespace

bool MontgomeryAdxAvailable() {
    static const bool available = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
        constexpr unsigned kBmi2 = 1u << 8;
        constexpr unsigned kAdx = 1u << 19;
        return (ebx & kBmi2) != 0 && (ebx & kAdx) != 0;
    }();
    return available;
}

void MontMulAdx8(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* m,
                 uint64_t m0inv) {
    AdxFrame frame;
    std::memcpy(frame.a, a, sizeof frame.a);
    std::memcpy(frame.b, b, sizeof frame.b);
    std::memcpy(frame.m, m, sizeof frame.m);
    frame.m0inv = m0inv;
    frame.zero = 0;
    MontgomeryRowsAdx8(frame);
    // sum (nine limbs, below 2m) minus m once when it is at least m, by mask.
    uint64_t d[8];
    uint64_t borrow = 0;
    for (std::size_t j = 0; j < 8; ++j) borrow = SubBorrow(frame.sum[j], m[j], borrow, d[j]);
    uint64_t ignored;
    borrow = SubBorrow(frame.sum[8], 0, borrow, ignored);
    const uint64_t keepSum = uint64_t{0} - borrow;
    for (std::size_t j = 0; j < 8; ++j) r[j] = (frame.sum[j] & keepSum) | (d[j] & ~keepSum);
    // The frame and d are not wiped here: every call reuses the same stack
    // slots, and ModExp scrubs that stack area once at its end.
}

#else

bool MontgomeryAdxAvailable() {
    return false;
}
void MontMulAdx8(uint64_t*, const uint64_t*, const uint64_t*, const uint64_t*, uint64_t) {}

#endif

}  // namespace qorv::crypto::detail
