// The one conversion between the dialogs' UTF-16 texts and Qt's: both hold
// UTF-16 code units, so no transcoding happens either way.
#pragma once

#include <QString>
#include <string_view>

namespace qorv::widgets {

// A dialog text as a window text (one copy, owned by the QString).
inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The UTF-16 form of a window text (no copy: valid while the QString is unchanged).
inline std::u16string_view TextView(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace qorv::widgets
