// Conversions between the UTF-16 text of the scripting boundary and the
// UTF-8 that pcsc-lite and JSON use.
#pragma once

#include <string>
#include <string_view>

namespace qorv {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD (UTF-8 cannot carry them).
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends one code point (at most U+10FFFF, not a surrogate) in UTF-16 or
// UTF-8; callers that must not reallocate reserve first.
void AppendUtf16(std::u16string& out, char32_t cp);
void AppendUtf8(std::string& out, char32_t cp);

// Decodes the UTF-8 sequence at the start of `text` into cp and returns its
// length in bytes; 0 when it is not one well-formed sequence (a stray
// continuation byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF).
std::size_t DecodeUtf8(std::string_view text, char32_t& cp);

}  // namespace qorv
