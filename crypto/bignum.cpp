#include "crypto/bignum.h"

#include <algorithm>
#include <bit>

#include "base/secure_wipe.h"
#include "crypto/bignum_limb_ops.h"

namespace qorv::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::size_t kMaxWideLimbs = 2 * BigNum::kMaxLimbs;
// Knuth's division works on 32-bit digits: a dividend of up to twice the
// capacity, plus one digit for normalisation.
constexpr std::size_t kMaxDividendDigits = 2 * kMaxWideLimbs + 1;
constexpr std::size_t kMaxDivisorDigits = 2 * BigNum::kMaxLimbs;

std::size_t SignificantLimbs(std::span<const uint64_t> limbs) {
    std::size_t n = limbs.size();
    while (n > 0 && limbs[n - 1] == 0) --n;
    return n;
}

void SplitToDigits(std::span<const uint64_t> limbs, uint32_t* digits) {
    for (std::size_t i = 0; i < limbs.size(); ++i) {
        digits[2 * i] = static_cast<uint32_t>(limbs[i]);
        digits[2 * i + 1] = static_cast<uint32_t>(limbs[i] >> 32);
    }
}

std::size_t SignificantDigits(const uint32_t* digits, std::size_t n) {
    while (n > 0 && digits[n - 1] == 0) --n;
    return n;
}

// Remainder of u (m digits) by v (n digits, v[n-1] != 0, n >= 2) by Knuth's
// algorithm D: each quotient digit is estimated from the two leading digits
// of the normalised divisor and corrected at most twice. r receives n digits.
void RemainderKnuth(const uint32_t* u, std::size_t m, const uint32_t* v, std::size_t n,
                    uint32_t* r) {
    constexpr uint64_t kBase = 1ULL << 32;
    uint32_t un[kMaxDividendDigits + 1] = {};
    uint32_t vn[kMaxDivisorDigits] = {};
    const int shift = std::countl_zero(v[n - 1]);
    for (std::size_t i = n - 1; i > 0; --i) {
        vn[i] = (v[i] << shift) | (shift ? v[i - 1] >> (32 - shift) : 0);
    }
    vn[0] = v[0] << shift;
    un[m] = shift ? u[m - 1] >> (32 - shift) : 0;
    for (std::size_t i = m - 1; i > 0; --i) {
        un[i] = (u[i] << shift) | (shift ? u[i - 1] >> (32 - shift) : 0);
    }
    un[0] = u[0] << shift;

    for (std::size_t j = m - n + 1; j-- > 0;) {
        const uint64_t top = (static_cast<uint64_t>(un[j + n]) << 32) | un[j + n - 1];
        uint64_t qhat = top / vn[n - 1];
        uint64_t rhat = top % vn[n - 1];
        while (qhat >= kBase || qhat * vn[n - 2] > ((rhat << 32) | un[j + n - 2])) {
            --qhat;
            rhat += vn[n - 1];
            if (rhat >= kBase) break;
        }
        // un[j..j+n] -= qhat * vn
        int64_t borrow = 0;
        uint64_t carry = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const uint64_t p = qhat * vn[i] + carry;
            carry = p >> 32;
            const int64_t t =
                static_cast<int64_t>(un[i + j]) - borrow - static_cast<int64_t>(p & 0xFFFFFFFFULL);
            un[i + j] = static_cast<uint32_t>(t);
            borrow = t < 0 ? 1 : 0;
        }
        const int64_t t = static_cast<int64_t>(un[j + n]) - borrow - static_cast<int64_t>(carry);
        un[j + n] = static_cast<uint32_t>(t);
        if (t < 0) {  // qhat was one too large: add the divisor back
            uint64_t c = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const uint64_t s = static_cast<uint64_t>(un[i + j]) + vn[i] + c;
                un[i + j] = static_cast<uint32_t>(s);
                c = s >> 32;
            }
            un[j + n] = static_cast<uint32_t>(un[j + n] + c);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        r[i] =
            (un[i] >> shift) |
            (shift ? static_cast<uint32_t>(static_cast<uint64_t>(un[i + 1]) << (32 - shift)) : 0);
    }
    SecureWipe(un, sizeof un);
    SecureWipe(vn, sizeof vn);
}

}  // namespace

BigNum::~BigNum() {
    Wipe();
}

// Limbs at and above used_ are always zero (every setter wipes first, and
// Normalize only drops zero limbs), so only the limbs in use need the wipe.
void BigNum::Wipe() noexcept {
    detail::WipeLimbs(limbs_.data(), used_);
    used_ = 0;
}

void BigNum::Normalize() noexcept {
    while (used_ > 0 && limbs_[used_ - 1] == 0) --used_;
}

bool BigNum::SetBytes(std::span<const uint8_t> bytes) {
    Wipe();
    std::size_t start = 0;
    while (start < bytes.size() && bytes[start] == 0) ++start;
    const std::size_t length = bytes.size() - start;
    if (length > kCapacityBytes) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t byte = bytes[bytes.size() - 1 - i];
        limbs_[i / 8] |= static_cast<uint64_t>(byte) << (8 * (i % 8));
    }
    used_ = (length + 7) / 8;
    Normalize();
    return true;
}

bool BigNum::GetBytes(std::span<uint8_t> out) const {
    if (ByteLength() > out.size()) return false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t limb = i / 8;
        out[out.size() - 1 - i] =
            limb < used_ ? static_cast<uint8_t>(limbs_[limb] >> (8 * (i % 8))) : 0;
    }
    return true;
}

void BigNum::SetWord(uint64_t word) {
    Wipe();
    limbs_[0] = word;
    used_ = word != 0 ? 1 : 0;
}

bool BigNum::SetLimbs(std::span<const uint64_t> limbs) {
    const std::size_t n = SignificantLimbs(limbs);
    if (n > kMaxLimbs) return false;
    Wipe();
    std::copy_n(limbs.begin(), n, limbs_.begin());
    used_ = n;
    return true;
}

std::size_t BigNum::BitLength() const noexcept {
    if (used_ == 0) return 0;
    return 64 * used_ - static_cast<std::size_t>(std::countl_zero(limbs_[used_ - 1]));
}

bool BigNum::Bit(std::size_t index) const noexcept {
    const std::size_t limb = index / 64;
    return limb < used_ && ((limbs_[limb] >> (index % 64)) & 1) != 0;
}

int Compare(const BigNum& a, const BigNum& b) noexcept {
    if (a.LimbCount() != b.LimbCount()) return a.LimbCount() < b.LimbCount() ? -1 : 1;
    for (std::size_t i = a.LimbCount(); i-- > 0;) {
        if (a.Limbs()[i] != b.Limbs()[i]) return a.Limbs()[i] < b.Limbs()[i] ? -1 : 1;
    }
    return 0;
}

bool Add(const BigNum& a, const BigNum& b, BigNum& r) {
    uint64_t sum[BigNum::kMaxLimbs + 1] = {};
    const std::size_t n = std::max(a.LimbCount(), b.LimbCount());
    uint64_t carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide s = static_cast<Wide>(i < a.LimbCount() ? a.Limbs()[i] : 0) +
                       (i < b.LimbCount() ? b.Limbs()[i] : 0) + carry;
        sum[i] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    sum[n] = carry;
    const bool fits = r.SetLimbs(std::span<const uint64_t>(sum, n + 1));
    SecureWipe(sum, sizeof sum);
    return fits;
}

bool Subtract(const BigNum& a, const BigNum& b, BigNum& r) {
    if (Compare(a, b) < 0) return false;
    uint64_t diff[BigNum::kMaxLimbs] = {};
    uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.LimbCount(); ++i) {
        const uint64_t bi = i < b.LimbCount() ? b.Limbs()[i] : 0;
        const uint64_t ai = a.Limbs()[i];
        diff[i] = ai - bi - borrow;
        borrow = (ai < bi || (ai == bi && borrow)) ? 1 : 0;
    }
    r.SetLimbs(std::span<const uint64_t>(diff, a.LimbCount()));
    SecureWipe(diff, sizeof diff);
    return true;
}

namespace {
void MultiplyLimbs(const BigNum& a, const BigNum& b, uint64_t* product) {
    std::fill_n(product, kMaxWideLimbs, 0);
    for (std::size_t i = 0; i < a.LimbCount(); ++i) {
        uint64_t carry = 0;
        for (std::size_t j = 0; j < b.LimbCount(); ++j) {
            const Wide p = static_cast<Wide>(a.Limbs()[i]) * b.Limbs()[j] + product[i + j] + carry;
            product[i + j] = static_cast<uint64_t>(p);
            carry = static_cast<uint64_t>(p >> 64);
        }
        product[i + b.LimbCount()] = carry;
    }
}
}  // namespace

bool Multiply(const BigNum& a, const BigNum& b, BigNum& r) {
    uint64_t product[kMaxWideLimbs];
    MultiplyLimbs(a, b, product);
    const bool fits = r.SetLimbs(std::span<const uint64_t>(product, kMaxWideLimbs));
    SecureWipe(product, sizeof product);
    return fits;
}

bool ModLimbs(std::span<const uint64_t> a, const BigNum& m, BigNum& r) {
    if (m.IsZero() || a.size() > kMaxWideLimbs) return false;
    uint32_t u[2 * kMaxWideLimbs] = {};
    uint32_t v[kMaxDivisorDigits] = {};
    uint32_t rem[kMaxDivisorDigits] = {};
    SplitToDigits(a, u);
    SplitToDigits(std::span<const uint64_t>(m.Limbs(), m.LimbCount()), v);
    const std::size_t un = SignificantDigits(u, 2 * a.size());
    const std::size_t vn = SignificantDigits(v, 2 * m.LimbCount());
    if (un < vn) {
        std::copy_n(u, un, rem);
    } else if (vn == 1) {
        uint64_t carry = 0;
        for (std::size_t i = un; i-- > 0;) carry = ((carry << 32) | u[i]) % v[0];
        rem[0] = static_cast<uint32_t>(carry);
    } else {
        RemainderKnuth(u, un, v, vn, rem);
    }
    uint64_t limbs[BigNum::kMaxLimbs] = {};
    for (std::size_t i = 0; i < vn; ++i)
        limbs[i / 2] |= static_cast<uint64_t>(rem[i]) << (32 * (i % 2));
    r.SetLimbs(limbs);
    SecureWipe(u, sizeof u);
    SecureWipe(rem, sizeof rem);
    SecureWipe(limbs, sizeof limbs);
    return true;
}

bool Mod(const BigNum& a, const BigNum& m, BigNum& r) {
    return ModLimbs(std::span<const uint64_t>(a.Limbs(), a.LimbCount()), m, r);
}

bool ModMul(const BigNum& a, const BigNum& b, const BigNum& m, BigNum& r) {
    uint64_t product[kMaxWideLimbs];
    MultiplyLimbs(a, b, product);
    const bool ok = ModLimbs(std::span<const uint64_t>(product, kMaxWideLimbs), m, r);
    SecureWipe(product, sizeof product);
    return ok;
}

}  // namespace qorv::crypto
