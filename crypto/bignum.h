// Non-negative big integers of fixed capacity for the RSA operations.
//
// The capacity is 72 digits of 16 bits (144 bytes, so moduli up to 1136 bits
// with room for the key components); values are held in 64-bit limbs so the
// Montgomery arithmetic can use the full width of the machine multiplier.
// Byte strings cross in and out big-endian, as PKCS#1 writes them. Every
// number wipes its limbs when it goes, since most of them hold key material.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qorv::crypto {

class BigNum {
  public:
    static constexpr std::size_t kCapacityDigits16 = 72;
    static constexpr std::size_t kCapacityBytes = kCapacityDigits16 * 2;
    static constexpr std::size_t kMaxLimbs = kCapacityBytes / 8;

    BigNum() = default;
    BigNum(const BigNum& other) = default;
    BigNum& operator=(const BigNum& other) = default;
    ~BigNum();

    // Reads a big-endian byte string; leading zero bytes are ignored. False
    // (and the value zero) when the value does not fit the capacity.
    bool SetBytes(std::span<const uint8_t> bytes);
    // Writes the value big-endian into exactly out.size() bytes, zeros in
    // front. False when the value needs more bytes than out has.
    bool GetBytes(std::span<uint8_t> out) const;
    void SetWord(uint64_t word);
    // Takes little-endian limbs; false when a non-zero limb lies beyond the capacity.
    bool SetLimbs(std::span<const uint64_t> limbs);

    bool IsZero() const noexcept { return used_ == 0; }
    bool IsOdd() const noexcept { return used_ != 0 && (limbs_[0] & 1) != 0; }
    std::size_t BitLength() const noexcept;
    std::size_t ByteLength() const noexcept { return (BitLength() + 7) / 8; }
    bool Bit(std::size_t index) const noexcept;
    std::size_t LimbCount() const noexcept { return used_; }
    const uint64_t* Limbs() const noexcept { return limbs_.data(); }

    void Wipe() noexcept;

  private:
    void Normalize() noexcept;

    std::array<uint64_t, kMaxLimbs> limbs_{};
    std::size_t used_ = 0;  // limbs in use; the top used limb is never zero
};

// -1, 0 or 1 as a < b, a == b, a > b.
int Compare(const BigNum& a, const BigNum& b) noexcept;
// r = a + b; false when the sum does not fit the capacity.
bool Add(const BigNum& a, const BigNum& b, BigNum& r);
// r = a - b; false (r unchanged) when a < b.
bool Subtract(const BigNum& a, const BigNum& b, BigNum& r);
// r = a mod m; false when m is zero.
bool Mod(const BigNum& a, const BigNum& m, BigNum& r);
// r = a x b mod m; false when m is zero.
bool ModMul(const BigNum& a, const BigNum& b, const BigNum& m, BigNum& r);
// r = a x b; false when the product does not fit the capacity.
bool Multiply(const BigNum& a, const BigNum& b, BigNum& r);

// Remainder of a limb string (up to twice the capacity) by m; false when m is zero.
bool ModLimbs(std::span<const uint64_t> a, const BigNum& m, BigNum& r);

}  // namespace qorv::crypto
