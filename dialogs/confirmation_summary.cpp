#include "dialogs/confirmation_summary.h"

#include <algorithm>
#include <vector>

namespace qorv::dialogs {

namespace {

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

std::u16string Number(std::size_t n) {
    std::u16string text;
    for (const char c : std::to_string(n)) {
        text.push_back(static_cast<char16_t>(c));
    }
    return text;
}

// Cuts to the tag limit without leaving half of a surrogate pair behind.
std::u16string CutTagText(std::u16string_view text) {
    if (text.size() <= kMaxSummaryTagLength) {
        return std::u16string(text);
    }
    std::size_t length = kMaxSummaryTagLength;
    if (IsHighSurrogate(text[length - 1])) {
        --length;
    }
    return std::u16string(text.substr(0, length));
}

// The written forms under which a summary may show the amount.
std::vector<std::u16string> AcceptedAmountForms(std::u16string_view amount) {
    const auto first = amount.find_first_not_of(u'0');
    const std::u16string digits(first == std::u16string_view::npos ? u"" : amount.substr(first));
    if (digits.empty()) {
        return {u"0.00", u"0.0", u"0."};
    }
    if (digits.size() <= 2) {
        return {u"0." + (digits.size() == 1 ? u"0" + digits : digits)};
    }
    const std::u16string whole = digits.substr(0, digits.size() - 2);
    const std::u16string hundredths = digits.substr(digits.size() - 2);
    std::vector<std::u16string> forms{whole + u"." + hundredths};
    if (hundredths == u"00") {
        forms.push_back(whole);
        forms.push_back(whole + u".");
        forms.push_back(whole + u".0");
    }
    return forms;
}

// Where the summary's number begins: a digit 1-9, a '.', or a '0' right
// before a '.'.
std::optional<std::size_t> NumberStart(std::u16string_view tag) {
    for (std::size_t i = 0; i < tag.size(); ++i) {
        const char16_t c = tag[i];
        if ((c >= u'1' && c <= u'9') || c == u'.' ||
            (c == u'0' && i + 1 < tag.size() && tag[i + 1] == u'.')) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

SummaryTags ExtractSummaryTags(std::u16string_view message) {
    std::u16string folded(message);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
    SummaryTags tags;
    for (std::size_t n = 1; n <= kSummaryTagCount; ++n) {
        const std::u16string open = u"<tag" + Number(n) + u">";
        const std::u16string close = u"</tag" + Number(n) + u">";
        const auto begin = folded.find(open);
        if (begin == std::u16string::npos) {
            continue;
        }
        const auto textBegin = begin + open.size();
        const auto end = folded.find(close, textBegin);
        if (end == std::u16string::npos) {
            continue;
        }
        tags[n - 1] = CutTagText(message.substr(textBegin, end - textBegin));
    }
    return tags;
}

bool AccountInSummaryTag(std::u16string_view tag, std::u16string_view account) {
    const auto first = tag.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos) {
        return account.empty();
    }
    return tag.substr(first).find(account) != std::u16string_view::npos;
}

std::optional<std::u16string> CheckAmountInSummaryTag(std::u16string_view tag,
                                                      std::u16string_view amount) {
    const auto start = NumberStart(tag);
    if (!start) {
        return std::nullopt;
    }
    // The whole number as the summary writes it: digits, then '.' and digits.
    // Comparing whole numbers keeps "12345" from passing for 1234.00.
    std::size_t end = *start;
    while (end < tag.size() && IsDigit(tag[end])) {
        ++end;
    }
    const std::size_t wholeEnd = end;
    if (end < tag.size() && tag[end] == u'.') {
        ++end;
        while (end < tag.size() && IsDigit(tag[end])) {
            ++end;
        }
    }
    const std::u16string_view shown = tag.substr(*start, end - *start);
    const auto forms = AcceptedAmountForms(amount);
    if (std::find(forms.begin(), forms.end(), shown) == forms.end()) {
        return std::nullopt;
    }
    std::u16string display(tag.substr(0, *start));
    display += GroupThousands(tag.substr(*start, wholeEnd - *start));
    display += tag.substr(wholeEnd);
    return display;
}

bool IsAllZeroAmount(std::u16string_view amount) {
    return amount.find_first_not_of(u'0') == std::u16string_view::npos;
}

std::u16string GroupThousands(std::u16string_view digits) {
    std::u16string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped.push_back(u',');
        }
        grouped.push_back(digits[i]);
    }
    return grouped;
}

}  // namespace qorv::dialogs
