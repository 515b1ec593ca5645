// The substring lookups of the dialog configuration document. The document
// looks like XML but is not parsed as XML: elements and attributes are found
// by plain (mostly case-insensitive) substring search, exactly as producers
// of documents expect. Every lookup is bounded by the text it is given and
// runs in time linear in it (the searched names are short constants).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qorv::dialogs {

// The most characters a dialog-level or attribute value keeps.
inline constexpr std::size_t kMaxDocumentValue = 127;

// Position of needle in text at or after from, comparing ASCII letters
// without case; npos when absent.
std::size_t FindNoCase(std::u16string_view text, std::u16string_view needle, std::size_t from = 0);

// Text with leading and trailing characters up to limit removed: dialog-level
// values trim below 0x20 (spaces stay), attributes and contents up to 0x20.
std::u16string_view TrimControl(std::u16string_view text);       // < 0x20
std::u16string_view TrimControlSpace(std::u16string_view text);  // <= 0x20

// Decimal integer the way the documents write them: leading blanks and a
// sign allowed, reading stops at the first non-digit, no digits gives 0.
// Values beyond the int range are clamped.
int ParseDocumentInteger(std::u16string_view text);

// A dialog-level element "<Name>value</Name>" (case-insensitive): the value
// between the first opening tag that has a closing tag after it, control
// characters trimmed, at most kMaxDocumentValue characters; nullopt when
// absent.
std::optional<std::u16string> FindDialogValue(std::u16string_view document,
                                              std::u16string_view name);

// Number of "<AtmNode" in the document, letter case significant.
std::size_t CountFieldElements(std::u16string_view document);

// The text of field element index (0-based): from just after the
// (index+1)-th "<AtmNode" (any case) to the first "/>" or "</AtmNode>"
// (terminator included; to the end of the document when there is none), at
// most maxLength characters. Empty when there is no such element.
std::u16string_view FieldElementText(std::u16string_view document, std::size_t index,
                                     std::size_t maxLength);

// Attribute lookup in one element text. The name is found anywhere (any
// case, also inside another name or value); the value is the text between
// the next two double quotes. Reading an attribute that is present moves the
// content position past its closing quote.
class ElementReader {
  public:
    explicit ElementReader(std::u16string_view elementText) : text_(elementText) {}

    // nullopt when the name does not occur; an empty value when the quotes
    // are missing. The value is trimmed (<= 0x20), at most 127 characters.
    std::optional<std::u16string> Attribute(std::u16string_view name);
    // The content after the first ">" from the remembered position up to
    // "</AtmNode>", trimmed; empty when either is missing.
    std::u16string_view Content() const;

  private:
    std::u16string_view text_;
    std::size_t position_ = 0;
};

// Whether some field element has the attribute Type with a value that
// begins with first (the guided common-account procedure asks for '6' and
// '7' before it opens its dialog).
bool SomeFieldTypeStartsWith(std::u16string_view document, char16_t first);

}  // namespace qorv::dialogs
