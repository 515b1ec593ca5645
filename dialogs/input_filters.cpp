#include "dialogs/input_filters.h"

#include <algorithm>

#include "dialogs/message_sink.h"

namespace qorv::dialogs {
namespace {

constexpr std::u16string_view kEmailPunctuation = u"!#%&*+-/=?^_{}|~<>:,.@)(";

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsAsciiLetterOrDigit(char16_t c) {
    return IsDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsDigitsOnly(EditKind kind) {
    return kind == EditKind::kEntryDigits || kind == EditKind::kTransferAccount;
}

// "|", ";", "@" and "%" are refused right after the same character: the
// joined results use "||", ";;", "%%" as separators.
bool DoublesSeparator(std::u16string_view current, char16_t typed) {
    if (current.empty() || current.back() != typed) return false;
    return typed == u'|' || typed == u';' || typed == u'@' || typed == u'%';
}

// A single-byte character of an e-mail address (";" separates addresses);
// characters beyond the single-byte range pass.
bool IsEmailCharacter(char16_t c, bool semicolonAllowed) {
    if (c >= 0x80) return true;
    if (c == u';') return semicolonAllowed;
    return IsAsciiLetterOrDigit(c) || IsEmailPunctuation(c);
}

}  // namespace

bool IsEmailPunctuation(char16_t c) {
    return c != 0 && kEmailPunctuation.find(c) != std::u16string_view::npos;
}

bool AcceptTypedCharacter(EditKind kind, std::u16string_view current, char16_t typed,
                          std::size_t maxLength) {
    if (typed == kBackspace) return true;
    if (IsDigitsOnly(kind)) {
        if (typed == kCtrlC || typed == kCtrlV) return true;
        if (!IsDigit(typed)) return false;
    }
    if (typed < 0x20) return true;  // other control characters insert nothing
    if (current.size() >= maxLength) return false;
    if (kind == EditKind::kEntryText || kind == EditKind::kTransferEmail) {
        if (DoublesSeparator(current, typed)) return false;
    }
    if (kind == EditKind::kTransferEmail) return IsEmailCharacter(typed, true);
    return true;
}

PasteCheck CheckPaste(EditKind kind, std::u16string_view current, std::u16string_view clipboard) {
    switch (kind) {
        case EditKind::kEntryText:
            return {};
        case EditKind::kTransferAccount:
            if (current.size() > kMaxTransferAccount) return {false, {}};
            [[fallthrough]];
        case EditKind::kEntryDigits:
            // The whole clipboard text is checked, not only its first 256
            // characters, so no letter can slip in behind a long run of digits.
            if (!std::all_of(clipboard.begin(), clipboard.end(), IsDigit))
                return {false, kMsgMustBeDigits};
            return {};
        case EditKind::kTransferEmail:
            if (!std::all_of(clipboard.begin(), clipboard.end(),
                             [](char16_t c) { return IsEmailCharacter(c, false); }))
                return {false, kMsgMustBeEmailCharacters};
            return {};
    }
    return {};
}

}  // namespace qorv::dialogs
