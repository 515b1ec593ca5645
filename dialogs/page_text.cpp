#include "dialogs/page_text.h"

#include <array>

namespace qorv::dialogs {
namespace {

// The zero of each run of ten decimal digits outside ASCII.
constexpr std::array<char32_t, 64> kDigitZeros{
    0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,  0x0C66,
    0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,  0x1810,
    0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,
    0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0,
    0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950,
    0x11C50, 0x11D50, 0x11DA0, 0x16A60, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2, 0x1D7EC, 0x1D7F6,
    0x1E140, 0x1E2F0, 0x1E950, 0x1FBF0,
};

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The code point at `i` (a lone surrogate stands for itself) and its length.
char32_t CodePointAt(std::u16string_view text, std::size_t i, std::size_t& units) {
    units = 1;
    const char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
        units = 2;
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    }
    return c;
}

}  // namespace

bool IsControlOrFormat(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF ||
           c == 0x2028 || c == 0x2029;
}

std::optional<int> ForeignDigitValue(char32_t c) {
    for (const char32_t zero : kDigitZeros) {
        if (c >= zero && c < zero + 10) return static_cast<int>(c - zero);
    }
    return std::nullopt;
}

bool HasUnsafeCharacter(std::u16string_view text) {
    for (std::size_t i = 0, units = 1; i < text.size(); i += units) {
        const char32_t c = CodePointAt(text, i, units);
        const bool loneSurrogate = c >= 0xD800 && c <= 0xDFFF;
        if (IsControlOrFormat(c) || ForeignDigitValue(c) || loneSurrogate) return true;
    }
    return false;
}

std::u16string InertText(std::u16string_view text, bool keepLineBreaks) {
    std::u16string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0, units = 1; i < text.size(); i += units) {
        const char32_t c = CodePointAt(text, i, units);
        if ((c == u'\n' || c == u'\r') && keepLineBreaks) {
            shown.push_back(c);
        } else if (c == u'\t' || c == u'\n') {
            shown.push_back(u' ');
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            shown.push_back(u'\uFFFD');  // half a pair means nothing: shown as such
        } else if (const auto digit = ForeignDigitValue(c)) {
            shown.push_back(static_cast<char16_t>(u'0' + *digit));
        } else if (!IsControlOrFormat(c)) {
            shown.append(text.substr(i, units));
        }
    }
    return shown;
}

}  // namespace qorv::dialogs
