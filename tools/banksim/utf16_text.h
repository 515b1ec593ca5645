// The component enciphers dialog values as their UTF-16 code units, low byte
// first; the bank's JSON is UTF-8. Both ways refuse malformed text instead of
// passing it on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/banksim/secret_bytes.h"

namespace qorv::banksim {

// Nothing when `text` is not well-formed UTF-8.
std::optional<Bytes> Utf16LeFromUtf8(std::string_view text);
// Nothing for an odd byte count or an unpaired surrogate.
std::optional<std::string> Utf8FromUtf16Le(std::span<const uint8_t> bytes);

}  // namespace qorv::banksim
