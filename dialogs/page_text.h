// Page text is inert: what a bank page writes is shown as plain characters
// and can neither hide, reorder nor disguise a value. A value the
// confirmation checks must hold no control or format character and no
// decimal digit other than 0-9 (a full-width ９ reads as 9 but compares as
// something else); text that is only shown loses its control and format
// characters and has its other digits folded to 0-9.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qorv::dialogs {

// C0 and C1 controls (DEL too), the zero-width and direction marks
// U+200B-U+200F, the embeddings and overrides U+202A-U+202E, the word
// joiner and isolates U+2060-U+2069, U+FEFF, and the line and paragraph
// separators U+2028, U+2029.
bool IsControlOrFormat(char32_t c);

// The value 0-9 of a decimal digit outside ASCII (Unicode category Nd),
// nothing for any other character.
std::optional<int> ForeignDigitValue(char32_t c);

// True when the text holds a control or format character, a foreign
// decimal digit or half of a surrogate pair.
bool HasUnsafeCharacter(std::u16string_view text);

// The text as it may be shown: control and format characters dropped (a
// tab or line break becomes a blank unless `keepLineBreaks`, for a
// multi-line field), foreign digits folded to 0-9, half a surrogate pair
// shown as U+FFFD. The result never has an unsafe character.
std::u16string InertText(std::u16string_view text, bool keepLineBreaks = false);

}  // namespace qorv::dialogs
