// Modular exponentiation: left-to-right sliding window over the exponent
// bits on Montgomery residues (crypto/bignum_montgomery.h).
#include "crypto/bignum_modexp.h"

#include <algorithm>
#include <array>
#include <optional>

#include "base/secure_wipe.h"
#include "crypto/bignum_limb_ops.h"
#include "crypto/bignum_montgomery.h"

namespace qorv::crypto {
namespace {

using detail::LimbArray;
using detail::Montgomery;

// Overwrites the stack area below the caller that the multiplications used.
[[gnu::noinline]] void ScrubStack() {
    uint64_t area[128];
    detail::WipeLimbs(area, 128);
}

// Bit `index` of the exponent, read from its limbs (index below its bit length).
inline bool ExponentBit(const BigNum& exponent, std::size_t index) {
    return ((exponent.Limbs()[index / 64] >> (index % 64)) & 1) != 0;
}

std::size_t WindowBits(std::size_t exponentBits) {
    if (exponentBits > 256) return 5;
    if (exponentBits > 80) return 4;
    if (exponentBits > 24) return 3;
    return 1;
}

bool Acceptable(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
    return !modulus.IsZero() && modulus.IsOdd() && Compare(base, modulus) < 0 &&
           Compare(exponent, modulus) < 0;
}

// base^exponent by a left-to-right sliding window, one Montgomery square or
// product per Step, so that two independent powers can take turns: one's
// operation then fills the time the other's waits on its own carries.
class SlidingWindowPower {
  public:
    // base: the base in Montgomery form (n limbs).
    SlidingWindowPower(const Montgomery& mont, const uint64_t* base, const BigNum& exponent)
        : mont_(mont),
          exponent_(exponent),
          window_(WindowBits(exponent.BitLength())),
          tableSize_(std::size_t{1} << (window_ - 1)),
          bit_(exponent.BitLength()) {
        // table_[i] = base^(2i+1) in Montgomery form; only the limbs in use
        // are ever read, so nothing needs clearing first.
        std::copy_n(base, mont.Size(), table_[0].begin());
        if (tableSize_ > 1) mont.Square(square_.data(), table_[0].data());
        for (std::size_t i = 1; i < tableSize_; ++i)
            mont.Mul(table_[i].data(), table_[i - 1].data(), square_.data());
        std::copy_n(mont.One(), mont.Size(), acc_.begin());  // 1 in Montgomery form
    }
    ~SlidingWindowPower() {
        // Only the limbs in use ever held anything.
        const std::size_t n = mont_.Size();
        for (std::size_t i = 0; i < tableSize_; ++i) detail::WipeLimbs(table_[i].data(), n);
        detail::WipeLimbs(square_.data(), n);
        detail::WipeLimbs(acc_.data(), n);
    }
    SlidingWindowPower(const SlidingWindowPower&) = delete;
    SlidingWindowPower& operator=(const SlidingWindowPower&) = delete;

    // Decides the next operation when none is due; false when the power is
    // complete.
    bool Plan() {
        if (squaresDue_ > 0 || productDue_) return true;
        if (bit_ == 0) return false;
        if (!ExponentBit(exponent_, bit_ - 1)) {
            squaresDue_ = 1;
            --bit_;
            return true;
        }
        // Longest window of at most window_ bits that starts at bit_ - 1 and
        // ends on a 1.
        std::size_t length = std::min(window_, bit_);
        while (!ExponentBit(exponent_, bit_ - length)) --length;
        std::size_t value = 0;
        for (std::size_t i = 0; i < length; ++i) {
            value = (value << 1) | (ExponentBit(exponent_, bit_ - 1 - i) ? 1 : 0);
        }
        squaresDue_ = length;
        productDue_ = true;
        entry_ = value >> 1;
        bit_ -= length;
        return true;
    }

    // After Plan returned true: is the operation due a square?
    bool SquareDue() const { return squaresDue_ > 0; }
    uint64_t* Accumulator() { return acc_.data(); }
    // The due square was done from outside (Montgomery::SquarePair).
    void SquareDone() { --squaresDue_; }

    // One square or product; false when the power is complete.
    bool Step() {
        if (!Plan()) return false;
        if (squaresDue_ > 0) {
            mont_.Square(acc_.data(), acc_.data());
            --squaresDue_;
        } else {
            mont_.Mul(acc_.data(), acc_.data(), table_[entry_].data());
            productDue_ = false;
        }
        return true;
    }

    void Finish(BigNum& result) {
        LimbArray plain;
        mont_.FromMontgomery(plain.data(), acc_.data());
        result.SetLimbs(std::span<const uint64_t>(plain.data(), mont_.Size()));
        detail::WipeLimbs(plain.data(), mont_.Size());
    }

  private:
    const Montgomery& mont_;
    const BigNum& exponent_;
    const std::size_t window_;
    const std::size_t tableSize_;
    std::size_t bit_;  // exponent bits not yet taken into a window
    std::size_t squaresDue_ = 0;
    bool productDue_ = false;
    std::size_t entry_ = 0;
    std::array<LimbArray, 16> table_;
    LimbArray square_;
    LimbArray acc_;
};

// base: the base in Montgomery form (n limbs).
void Exponentiate(const Montgomery& mont, const uint64_t* base, const BigNum& exponent,
                  BigNum& result) {
    {
        SlidingWindowPower power(mont, base, exponent);
        while (power.Step()) {
        }
        power.Finish(result);
    }
    ScrubStack();
}

// base below m.
void ExponentiatePlain(const Montgomery& mont, const BigNum& base, const BigNum& exponent,
                       BigNum& result) {
    LimbArray converted;
    mont.ToMontgomery(converted.data(), base);
    Exponentiate(mont, converted.data(), exponent, result);
    detail::WipeLimbs(converted.data(), mont.Size());
}

// The public moduli in use: the module's own n (checking its private-key
// results) and the server's n (enciphering for it).
constexpr std::size_t kKeptContexts = 2;

}  // namespace

int32_t ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus, BigNum& result) {
    if (!Acceptable(base, exponent, modulus)) return kModExpFailed;
    const Montgomery mont(modulus);
    ExponentiatePlain(mont, base, exponent, result);
    return kModExpOk;
}

namespace detail {

int32_t ModExpWith(const Montgomery& mont, const BigNum& base, const BigNum& exponent,
                   BigNum& result) {
    LimbArray converted;
    if (!mont.ToMontgomeryReducing(converted.data(), base)) return kModExpFailed;
    Exponentiate(mont, converted.data(), exponent, result);
    WipeLimbs(converted.data(), mont.Size());
    return kModExpOk;
}

int32_t ModExpPairWith(const Montgomery& montX, const BigNum& baseX, const BigNum& exponentX,
                       BigNum& resultX, const Montgomery& montY, const BigNum& baseY,
                       const BigNum& exponentY, BigNum& resultY) {
    LimbArray convertedX, convertedY;
    int32_t rc = kModExpFailed;
    if (montX.ToMontgomeryReducing(convertedX.data(), baseX) &&
        montY.ToMontgomeryReducing(convertedY.data(), baseY)) {
        SlidingWindowPower x(montX, convertedX.data(), exponentX);
        SlidingWindowPower y(montY, convertedY.data(), exponentY);
        // Both take turns, squaring together whenever both have a square due;
        // the longer runs on alone.
        for (;;) {
            const bool xDue = x.Plan();
            const bool yDue = y.Plan();
            if (!xDue && !yDue) break;
            if (xDue && yDue && x.SquareDue() && y.SquareDue()) {
                Montgomery::SquarePair(montX, x.Accumulator(), x.Accumulator(), montY,
                                       y.Accumulator(), y.Accumulator());
                x.SquareDone();
                y.SquareDone();
            } else {
                x.Step();
                y.Step();
            }
        }
        x.Finish(resultX);
        y.Finish(resultY);
        rc = kModExpOk;
    }
    WipeLimbs(convertedX.data(), montX.Size());
    WipeLimbs(convertedY.data(), montY.Size());
    ScrubStack();
    return rc;
}

}  // namespace detail

int32_t ModExpPublic(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                     BigNum& result) {
    if (!Acceptable(base, exponent, modulus)) return kModExpFailed;
    thread_local std::array<std::optional<Montgomery>, kKeptContexts> kept;
    thread_local std::size_t nextSlot = 0;
    for (const std::optional<Montgomery>& context : kept) {
        if (context && context->Serves(modulus)) {
            ExponentiatePlain(*context, base, exponent, result);
            return kModExpOk;
        }
    }
    std::optional<Montgomery>& slot = kept[nextSlot];
    nextSlot = (nextSlot + 1) % kKeptContexts;
    slot.reset();
    slot.emplace(modulus);
    ExponentiatePlain(*slot, base, exponent, result);
    return kModExpOk;
}

}  // namespace qorv::crypto
