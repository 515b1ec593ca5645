// Wiping of secrets (PIN digits, PIN blocks, session keys, RN1/RN2, data keys,
// deciphered key-store records) with a wipe the optimiser cannot drop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorv {

// Writes zeros through a volatile pointer, then fences the compiler, so the
// stores survive even when the buffer is never read again.
inline void SecureWipe(void* data, std::size_t size) noexcept {
    if (data == nullptr || size == 0) return;
    auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) p[i] = 0;
    asm volatile("" : : "r"(data) : "memory");
}

template <typename T, std::size_t N>
inline void SecureWipe(std::array<T, N>& a) noexcept {
    SecureWipe(a.data(), sizeof(T) * N);
}

template <typename T>
inline void SecureWipe(std::vector<T>& v) noexcept {
    SecureWipe(v.data(), v.capacity() * sizeof(T));
    v.clear();
}

template <typename CharT>
inline void SecureWipe(std::basic_string<CharT>& s) noexcept {
    SecureWipe(s.data(), s.capacity() * sizeof(CharT));
    s.clear();
}

// A fixed-size secret that wipes itself on every exit path.
template <std::size_t N>
class SecretBytes {
  public:
    SecretBytes() = default;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes() { SecureWipe(bytes_); }

    uint8_t* data() noexcept { return bytes_.data(); }
    const uint8_t* data() const noexcept { return bytes_.data(); }
    static constexpr std::size_t size() noexcept { return N; }
    uint8_t& operator[](std::size_t i) noexcept { return bytes_[i]; }
    const uint8_t& operator[](std::size_t i) const noexcept { return bytes_[i]; }

  private:
    std::array<uint8_t, N> bytes_{};
};

// A growable secret whose storage is reserved up front so it never
// reallocates (a reallocation would leave an unwiped copy behind).
class SecretBuffer {
  public:
    explicit SecretBuffer(std::size_t capacity) { bytes_.reserve(capacity); }
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    SecretBuffer(SecretBuffer&& other) noexcept : bytes_(std::move(other.bytes_)) {}
    ~SecretBuffer() { SecureWipe(bytes_); }

    std::vector<uint8_t>& bytes() noexcept { return bytes_; }
    const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace qorv
