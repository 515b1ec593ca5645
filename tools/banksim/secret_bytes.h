// Byte buffers for the bank simulator. RN1, RN2 and session keys live in
// SecretBytes, which OpenSSL wipes when the buffer goes away.
#pragma once

#include <openssl/crypto.h>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace qorv::banksim {

using Bytes = std::vector<uint8_t>;

class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
    SecretBytes(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}
    ~SecretBytes() { Clear(); }
    SecretBytes(const SecretBytes& other) : bytes_(other.bytes_) {}
    SecretBytes& operator=(const SecretBytes& other) {
        if (this != &other) {
            Clear();
            bytes_ = other.bytes_;
        }
        return *this;
    }
    SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {
        other.bytes_.clear();
    }
    SecretBytes& operator=(SecretBytes&& other) noexcept {
        if (this != &other) {
            Clear();
            bytes_ = std::move(other.bytes_);
            other.bytes_.clear();
        }
        return *this;
    }

    void Clear() {
        if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
        bytes_.clear();
    }
    std::span<const uint8_t> view() const { return bytes_; }
    const uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

  private:
    Bytes bytes_;
};

}  // namespace qorv::banksim
