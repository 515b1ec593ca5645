// Hexadecimal text: the form in which every binary value crosses the
// scripting boundary. Two digits per byte, high half first; written in upper
// case, read in either case. Text with any character other than 0-9, A-F,
// a-f is refused rather than half-decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qorv::crypto {

// Upper-case digits of the bytes (an empty span gives an empty text).
std::string HexEncode(std::span<const uint8_t> bytes);
std::u16string HexEncodeU16(std::span<const uint8_t> bytes);

// Bytes that digitCount digits decode into: an odd last digit makes one more
// byte, with that digit in the high half and 0 in the low half.
constexpr std::size_t HexDecodedSize(std::size_t digitCount) noexcept {
    return (digitCount + 1) / 2;
}

// Decodes digits into out, which has room for HexDecodedSize(digits.size())
// bytes. Returns false, with out only partly written, when a character is
// not a hexadecimal digit; callers map that to their own result code.
[[nodiscard]] bool HexDecode(std::string_view digits, uint8_t* out) noexcept;
[[nodiscard]] bool HexDecode(std::u16string_view digits, uint8_t* out) noexcept;

}  // namespace qorv::crypto
