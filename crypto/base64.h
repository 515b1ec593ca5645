// Base64 (RFC 4648, standard alphabet, = padding, no line breaks written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qorv::crypto {

// 4 x ceil(n / 3) characters; empty input gives empty text.
std::string Base64Encode(std::span<const uint8_t> bytes);
std::u16string Base64EncodeU16(std::span<const uint8_t> bytes);

// Decodes text after dropping carriage returns and line feeds. Malformed text
// (length not a positive multiple of 4, a character outside the alphabet,
// '=' anywhere but one or two trailing positions) gives no bytes. The result
// is reserved at its final size, so a caller that decodes a secret can wipe
// it completely.
std::vector<uint8_t> Base64Decode(std::string_view text);
std::vector<uint8_t> Base64Decode(std::u16string_view text);

}  // namespace qorv::crypto
