// Conversions between scripting text (UTF-16 code units) and bytes: a text
// goes to a card or a cipher one byte per character (the low 8 bits), bytes
// come back one character per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qorv::crypto {

// Low 8 bits of each unit; out has room for text.size() bytes.
void NarrowText(std::u16string_view text, uint8_t* out) noexcept;
std::vector<uint8_t> NarrowText(std::u16string_view text);

// One unit per byte, with the byte's value.
std::u16string WidenBytes(std::span<const uint8_t> bytes);

// The code units themselves, 2 bytes each, low byte first (how the dialogs
// hand text to the display scrambler); out has room for 2 x text.size().
void Utf16ToBytes(std::u16string_view text, uint8_t* out) noexcept;
// The reverse; an odd last byte is dropped.
std::u16string BytesToUtf16(std::span<const uint8_t> bytes);

}  // namespace qorv::crypto
