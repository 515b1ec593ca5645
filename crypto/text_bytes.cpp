// Text <-> byte conversions of the scripting boundary.
#include "crypto/text_bytes.h"

namespace qorv::crypto {

void NarrowText(std::u16string_view text, uint8_t* out) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<uint8_t>(text[i]);
}

std::vector<uint8_t> NarrowText(std::u16string_view text) {
    std::vector<uint8_t> bytes(text.size());
    NarrowText(text, bytes.data());
    return bytes;
}

std::u16string WidenBytes(std::span<const uint8_t> bytes) {
    return std::u16string(bytes.begin(), bytes.end());
}

void Utf16ToBytes(std::u16string_view text, uint8_t* out) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i]);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

std::u16string BytesToUtf16(std::span<const uint8_t> bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

}  // namespace qorv::crypto
