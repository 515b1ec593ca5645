#include "dialogs/document_text.h"

#include <algorithm>
#include <climits>

namespace qorv::dialogs {
namespace {

constexpr char16_t FoldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

constexpr std::u16string_view kFieldTag = u"<AtmNode";
constexpr std::u16string_view kFieldEnd = u"</AtmNode>";
constexpr std::u16string_view kEmptyFieldEnd = u"/>";

std::u16string_view TrimWhere(std::u16string_view text, char16_t limit) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= limit) ++begin;
    while (end > begin && text[end - 1] <= limit) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

std::size_t FindNoCase(std::u16string_view text, std::u16string_view needle, std::size_t from) {
    if (needle.empty() || from > text.size() || needle.size() > text.size() - from)
        return std::u16string_view::npos;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = from; i <= last; ++i) {
        std::size_t k = 0;
        while (k < needle.size() && FoldAscii(text[i + k]) == FoldAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::u16string_view::npos;
}

std::u16string_view TrimControl(std::u16string_view text) {
    return TrimWhere(text, u'\x1f');
}

std::u16string_view TrimControlSpace(std::u16string_view text) {
    return TrimWhere(text, u' ');
}

int ParseDocumentInteger(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::optional<std::u16string> FindDialogValue(std::u16string_view document,
                                              std::u16string_view name) {
    std::u16string open = u"<";
    open += name;
    open += u">";
    std::u16string close = u"</";
    close += name;
    close += u">";
    // A later opening tag can only see a subset of the text after an earlier
    // one, so the first opening tag without a closing tag after it ends the
    // search: the lookup stays linear.
    const std::size_t start = FindNoCase(document, open);
    if (start == std::u16string_view::npos) return std::nullopt;
    const std::size_t valueStart = start + open.size();
    const std::size_t end = FindNoCase(document, close, valueStart);
    if (end == std::u16string_view::npos) return std::nullopt;
    const std::u16string_view value =
        TrimControl(document.substr(valueStart, end - valueStart)).substr(0, kMaxDocumentValue);
    return std::u16string(value);
}

std::size_t CountFieldElements(std::u16string_view document) {
    std::size_t count = 0;
    for (std::size_t at = document.find(kFieldTag); at != std::u16string_view::npos;
         at = document.find(kFieldTag, at + kFieldTag.size()))
        ++count;
    return count;
}

std::u16string_view FieldElementText(std::u16string_view document, std::size_t index,
                                     std::size_t maxLength) {
    std::size_t at = std::u16string_view::npos;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= index; ++i) {
        at = FindNoCase(document, kFieldTag, from);
        if (at == std::u16string_view::npos) return {};
        from = at + kFieldTag.size();
    }
    const std::u16string_view rest = document.substr(from);
    std::size_t end = rest.size();
    const std::size_t empty = FindNoCase(rest, kEmptyFieldEnd);
    if (empty != std::u16string_view::npos) end = empty + kEmptyFieldEnd.size();
    const std::size_t full = FindNoCase(rest, kFieldEnd);
    if (full != std::u16string_view::npos && full + kFieldEnd.size() <= end)
        end = full + kFieldEnd.size();
    return rest.substr(0, std::min(end, maxLength));
}

std::optional<std::u16string> ElementReader::Attribute(std::u16string_view name) {
    const std::size_t at = FindNoCase(text_, name);
    if (at == std::u16string_view::npos) return std::nullopt;
    const std::size_t open = text_.find(u'"', at + name.size());
    if (open == std::u16string_view::npos) return std::u16string();
    const std::size_t close = text_.find(u'"', open + 1);
    if (close == std::u16string_view::npos) return std::u16string();
    position_ = close + 1;
    const std::u16string_view value =
        TrimControlSpace(text_.substr(open + 1, close - open - 1)).substr(0, kMaxDocumentValue);
    return std::u16string(value);
}

std::u16string_view ElementReader::Content() const {
    std::size_t begin = text_.find(u'>', position_);
    if (begin == std::u16string_view::npos) return {};
    ++begin;
    while (begin < text_.size() &&
           (text_[begin] == u' ' || text_[begin] == u'\r' || text_[begin] == u'\n'))
        ++begin;
    const std::size_t end = FindNoCase(text_, kFieldEnd, begin);
    if (end == std::u16string_view::npos) return {};
    return TrimControlSpace(text_.substr(begin, end - begin));
}

bool SomeFieldTypeStartsWith(std::u16string_view document, char16_t first) {
    constexpr std::size_t kMaxRows = 10;
    constexpr std::size_t kMaxElementText = 63999;
    const std::size_t count = std::min(CountFieldElements(document), kMaxRows);
    for (std::size_t i = 0; i < count; ++i) {
        ElementReader element(FieldElementText(document, i, kMaxElementText));
        const std::optional<std::u16string> type = element.Attribute(u"Type");
        if (type && !type->empty() && (*type)[0] == first) return true;
    }
    return false;
}

}  // namespace qorv::dialogs
