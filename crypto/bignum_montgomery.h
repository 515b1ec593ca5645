// Montgomery arithmetic modulo an odd modulus of n limbs, R = 2^(64 n): the
// products, squares and conversions that modular exponentiation needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/bignum.h"

namespace qorv::crypto::detail {

using LimbArray = std::array<uint64_t, BigNum::kMaxLimbs>;

class Montgomery {
  public:
    // The modulus must be odd (hence not zero); ModExp checks that first.
    explicit Montgomery(const BigNum& modulus);
    ~Montgomery();
    Montgomery(const Montgomery&) = delete;
    Montgomery& operator=(const Montgomery&) = delete;

    // r = a b / R mod m for a, b below m; r may alias a or b.
    void Mul(uint64_t* r, const uint64_t* a, const uint64_t* b) const {
        mul_(r, a, b, m_.data(), m0inv_);
    }
    // r = a^2 / R mod m for a below m; r may alias a.
    void Square(uint64_t* r, const uint64_t* a) const { sqr_(r, a, m_.data(), m0inv_); }
    // rx = ax^2 / R mod x's modulus and ry = ay^2 / R mod y's, the two
    // interleaved in one pass when their sizes agree.
    static void SquarePair(const Montgomery& x, uint64_t* rx, const uint64_t* ax,
                           const Montgomery& y, uint64_t* ry, const uint64_t* ay);
    // r = a R mod m for a below m.
    void ToMontgomery(uint64_t* r, const BigNum& a) const;
    // r = (a mod m) R mod m for a of up to 2n limbs whose top n limbs are
    // below m (a < m R: an RSA input against either prime of its key) by one
    // Montgomery reduction and one product, without a division. False (r
    // untouched) when a is larger.
    bool ToMontgomeryReducing(uint64_t* r, const BigNum& a) const;
    // r = a b mod m for a, b below m, in plain form.
    void MulModulo(const BigNum& a, const BigNum& b, BigNum& r) const;
    // r = a / R mod m: back to the plain value.
    void FromMontgomery(uint64_t* r, const uint64_t* a) const;
    // R mod m: the number one in Montgomery form.
    const uint64_t* One() const { return one_.data(); }
    // True when this context was made for modulus (and the product it would
    // choose today), so a kept context can serve again.
    bool Serves(const BigNum& modulus) const;
    std::size_t Size() const { return n_; }

    using MulFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, const uint64_t*, uint64_t);
    using SqrFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, uint64_t);
    using RedcFn = void (*)(uint64_t*, const uint64_t*, const uint64_t*, uint64_t);

  private:
    // x (count limbs, the top one not zero) below m.
    bool Below(const uint64_t* x, std::size_t count) const;
    void DoubleModulo(uint64_t* x, uint64_t* scratch) const;

    std::size_t n_;
    MulFn mul_;
    SqrFn sqr_;
    RedcFn redc_;
    uint64_t m0inv_;
    LimbArray m_{};
    LimbArray one_{};  // R mod m
    LimbArray r2_{};   // R^2 mod m
    LimbArray r3_{};   // R^3 mod m
};

}  // namespace qorv::crypto::detail
