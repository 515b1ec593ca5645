#include "dialogs/list_data.h"

#include "base/secure_wipe.h"
#include "dialogs/document_text.h"

namespace qorv::dialogs {
namespace {

constexpr std::u16string_view kItemEnd = u";;";
constexpr std::u16string_view kCodeMark = u"%%";
constexpr std::u16string_view kEmailMark = u"$$";

std::u16string BankCodeDigits(std::u16string_view item) {
    const std::size_t mark = item.rfind(kCodeMark);
    std::u16string_view code = mark == std::u16string_view::npos ? item : item.substr(mark + 2);
    std::size_t first = 0;
    while (first < code.size() && (code[first] < u'0' || code[first] > u'9')) ++first;
    std::u16string digits;
    for (std::size_t i = first;
         i < code.size() && digits.size() < kMaxBankCode && code[i] >= u'0' && code[i] <= u'9'; ++i)
        digits += code[i];
    return digits;
}

ListItem ParseItem(std::u16string_view item, ListKind kind) {
    ListItem out;
    const std::size_t scan =
        kind == ListKind::kEntryRow ? kEntryRowDisplayScan : kTransferDisplayScan;
    out.display = ItemDisplayText(item, scan);
    switch (kind) {
        case ListKind::kEntryRow: {
            const std::size_t mark = item.substr(0, scan).rfind(kCodeMark);
            if (mark != std::u16string_view::npos)
                out.code = TrimControlSpace(item.substr(mark + 2)).substr(0, kEntryRowCodeLength);
            break;
        }
        case ListKind::kAccountList: {
            const std::size_t mark = item.find(kCodeMark);
            if (mark == std::u16string_view::npos) break;
            const std::u16string_view code = item.substr(mark + 2);
            out.code = code;
            const std::size_t email = code.find(kEmailMark);
            if (email != std::u16string_view::npos)
                out.email = code.substr(email + 2, kMaxItemEmail);
            break;
        }
        case ListKind::kBankList:
            out.code = BankCodeDigits(item);
            break;
    }
    return out;
}

}  // namespace

std::u16string_view ItemDisplayText(std::u16string_view item, std::size_t scan) {
    const std::u16string_view head = item.substr(0, scan);
    const std::size_t mark = head.rfind(kCodeMark);
    return mark == std::u16string_view::npos ? head : head.substr(0, mark);
}

std::vector<ListItem> ParseListItems(std::u16string_view data, ListKind kind) {
    // Reserved for every possible item, so no item text is moved (and an
    // unwiped copy of a short one left behind) by a reallocation.
    std::size_t bound = 1;
    for (std::size_t at = data.find(kItemEnd); at != std::u16string_view::npos;
         at = data.find(kItemEnd, at + kItemEnd.size()))
        ++bound;
    std::vector<ListItem> items;
    items.reserve(bound);
    std::size_t begin = 0;
    while (begin < data.size()) {
        std::size_t end = data.find(kItemEnd, begin);
        if (end == std::u16string_view::npos) end = data.size();  // the final ";;" supplied
        if (end > begin) items.push_back(ParseItem(data.substr(begin, end - begin), kind));
        begin = end + kItemEnd.size();
    }
    return items;
}

void WipeListItems(std::vector<ListItem>& items) noexcept {
    for (ListItem& item : items) {
        SecureWipe(item.display);
        SecureWipe(item.code);
        SecureWipe(item.email);
    }
    items.clear();
}

}  // namespace qorv::dialogs
