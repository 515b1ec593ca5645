// Filters on the text that a person types or pastes into the entry edits of
// the dialogs (the keyboard alternative to the graphical keypad). Enter
// never reaches a dialog's default button; the views drop it themselves.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorv::dialogs {

enum class EditKind {
    kEntryText,        // multi-field row with free keyboard entry
    kEntryDigits,      // multi-field row of Type "3"
    kTransferAccount,  // account number of the transfer dialog (digits, 16)
    kTransferEmail,    // e-mail addresses of the transfer dialog (150)
};

inline constexpr std::size_t kMaxTransferAccount = 16;
inline constexpr std::size_t kMaxTransferEmail = 150;
inline constexpr std::size_t kMaxPasteRead = 256;
inline constexpr char16_t kBackspace = u'\b';
inline constexpr char16_t kCtrlC = u'\x03';
inline constexpr char16_t kCtrlV = u'\x16';

// Whether a typed character may reach the edit that holds current.
// maxLength: the edit's greatest length (backspace always passes).
bool AcceptTypedCharacter(EditKind kind, std::u16string_view current, char16_t typed,
                          std::size_t maxLength);

// The outcome of a paste (Ctrl+V). message is empty when the paste passes
// or is refused without a message.
struct PasteCheck {
    bool accepted = true;
    std::u16string_view message;
};
// Digits-only edits refuse any clipboard text that holds a non-digit
// ("必須為數字"); the account number edit also refuses a paste while it holds
// more than 16 characters. The e-mail edit refuses text with a character
// that could not be typed into it, ";" included ("必須為EMAIL合法字元").
// Free-text edits take any paste.
PasteCheck CheckPaste(EditKind kind, std::u16string_view current, std::u16string_view clipboard);

// The characters an e-mail address may hold besides letters and digits.
bool IsEmailPunctuation(char16_t c);

}  // namespace qorv::dialogs
