// Hexadecimal encoding and strict decoding.
#include "crypto/hex.h"

#include <type_traits>

namespace qorv::crypto {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";

// Value of a hexadecimal digit, or -1 for any other character (also for
// UTF-16 units whose low byte happens to be a digit).
template <typename CharT>
int DigitValue(CharT ch) {
    const auto u = static_cast<uint32_t>(static_cast<std::make_unsigned_t<CharT>>(ch));
    if (u >= '0' && u <= '9') return static_cast<int>(u - '0');
    if (u >= 'A' && u <= 'F') return static_cast<int>(u - 'A' + 10);
    if (u >= 'a' && u <= 'f') return static_cast<int>(u - 'a' + 10);
    return -1;
}

template <typename String>
String Encode(std::span<const uint8_t> bytes) {
    String text(bytes.size() * 2, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = static_cast<typename String::value_type>(kUpperDigits[bytes[i] >> 4]);
        text[2 * i + 1] = static_cast<typename String::value_type>(kUpperDigits[bytes[i] & 15]);
    }
    return text;
}

template <typename CharT>
bool Decode(std::basic_string_view<CharT> digits, uint8_t* out) {
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = DigitValue(digits[i]);
        const int low = i + 1 < digits.size() ? DigitValue(digits[i + 1]) : 0;
        if (high < 0 || low < 0) return false;
        out[i / 2] = static_cast<uint8_t>((high << 4) | low);
    }
    return true;
}

}  // namespace

std::string HexEncode(std::span<const uint8_t> bytes) {
    return Encode<std::string>(bytes);
}

std::u16string HexEncodeU16(std::span<const uint8_t> bytes) {
    return Encode<std::u16string>(bytes);
}

bool HexDecode(std::string_view digits, uint8_t* out) noexcept {
    return Decode(digits, out);
}

bool HexDecode(std::u16string_view digits, uint8_t* out) noexcept {
    return Decode(digits, out);
}

}  // namespace qorv::crypto
