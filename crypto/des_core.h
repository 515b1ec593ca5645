// The DES engine's block cipher object: key schedules of one direction of a
// single or triple DES cipher, built once per operation and wiped when the
// object goes. Internal to the DES engine (des.cpp, des_modes.cpp).
#pragma once

#include <cstdint>
#include <cstring>

namespace qorv::crypto::detail {

// 16 round keys, each as (even 6-bit groups, odd 6-bit groups).
inline constexpr int kDesScheduleWords = 32;

class DesBlockCipher {
  public:
    // keys: the 24-byte key area (single DES reads only K1). cipherType must
    // be 0, 1 or 2 (checked by the callers).
    DesBlockCipher(const uint8_t* keys, uint8_t cipherType, bool decrypt) noexcept;
    ~DesBlockCipher();
    DesBlockCipher(const DesBlockCipher&) = delete;
    DesBlockCipher& operator=(const DesBlockCipher&) = delete;

    // One block, as a big-endian 64-bit value.
    uint64_t Process(uint64_t block) const noexcept;
    // Two independent blocks in one pass (ECB, CBC decryption): faster than
    // two calls of Process, same results.
    void ProcessTwo(uint64_t& first, uint64_t& second) const noexcept;

  private:
    uint32_t schedules_[3][kDesScheduleWords];
    int stages_;
};

inline uint64_t LoadBlock(const uint8_t* p) noexcept {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

inline void StoreBlock(uint64_t v, uint8_t* p) noexcept {
    for (int i = 7; i >= 0; --i) {
        p[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
}

}  // namespace qorv::crypto::detail
