// Values at the scripting boundary: a 32-bit signed long, a UTF-16 text, or
// the null string (no string at all), which pages see as different from "".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/secure_wipe.h"

namespace qorv {

using ScriptText = std::optional<std::u16string>;  // std::nullopt is the null string
using ScriptValue = std::variant<std::nullptr_t, int32_t, std::u16string>;

enum class ScriptType { Long, Text };

inline ScriptValue FromText(const ScriptText& text) {
    if (!text) return nullptr;
    return *text;
}

inline bool IsNullText(const ScriptValue& value) {
    return std::holds_alternative<std::nullptr_t>(value);
}

// Arguments may carry PINs: every copy is wiped once the call is done.
inline void WipeValues(std::vector<ScriptValue>& values) noexcept {
    for (auto& value : values) {
        if (auto* text = std::get_if<std::u16string>(&value)) SecureWipe(*text);
    }
    values.clear();
}

}  // namespace qorv
