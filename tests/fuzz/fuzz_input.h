// Splits one fuzz input into the values a target needs: small integers and
// choices from the front, byte strings and texts after them. Running out of
// input gives zeros and empty strings, never an error, so every input is a
// valid run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qorv::fuzz {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Remaining() const noexcept { return size_ - offset_; }

    uint8_t Byte() noexcept { return Remaining() ? data_[offset_++] : 0; }

    // Little-endian, as many bytes as the type has.
    template <typename T>
    T Integer() noexcept {
        std::make_unsigned_t<T> value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::make_unsigned_t<T>>(Byte()) << (8 * i);
        return static_cast<T>(value);
    }

    bool Flag() noexcept { return (Byte() & 1) != 0; }

    // One of count choices (count > 0).
    std::size_t Choice(std::size_t count) noexcept { return Byte() % count; }

    // Up to maxSize bytes, preceded by a 16-bit little-endian length.
    std::vector<uint8_t> Bytes(std::size_t maxSize) {
        const std::size_t wanted = std::min<std::size_t>(Integer<uint16_t>(), maxSize);
        return TakeExactly(std::min(wanted, Remaining()));
    }
    std::vector<uint8_t> RestBytes() { return TakeExactly(Remaining()); }

    // UTF-16 code units, two bytes each, low byte first.
    std::u16string Text(std::size_t maxUnits) { return ToUnits(Bytes(2 * maxUnits)); }
    std::u16string RestText() { return ToUnits(RestBytes()); }

    static std::u16string ToUnits(std::span<const uint8_t> bytes) {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return text;
    }

  private:
    std::vector<uint8_t> TakeExactly(std::size_t count) {
        std::vector<uint8_t> out(data_ + offset_, data_ + offset_ + count);
        offset_ += count;
        return out;
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

}  // namespace qorv::fuzz
