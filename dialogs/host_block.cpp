#include "dialogs/host_block.h"

#include <algorithm>
#include <array>

#include "base/secure_wipe.h"
#include "dialogs/page_text.h"

namespace qorv::dialogs {
namespace {

constexpr std::size_t kTransferInDigits = 16;

struct LabelWords {
    std::u16string_view words;
    HostValueKind kind;
};

// The label's words as a whole: a page's own 手續費金額 claims nothing.
constexpr std::array kLabelWords{
    LabelWords{u"轉帳金額", HostValueKind::Amount},
    LabelWords{u"交易金額", HostValueKind::Amount},
    LabelWords{u"繳款金額", HostValueKind::Amount},
    LabelWords{u"提款金額", HostValueKind::Amount},
    LabelWords{u"轉入帳號", HostValueKind::TransferIn},
    LabelWords{u"轉入銀行", HostValueKind::Bank},
    LabelWords{u"轉出帳號", HostValueKind::Account},
    LabelWords{u"晶片卡帳號", HostValueKind::Account},
    LabelWords{u"金額", HostValueKind::Amount},
};

std::u16string_view Trimmed(std::u16string_view text) {
    constexpr std::u16string_view kBlanks = u" \u3000:：";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::u16string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool Carries(const HostRow& row, std::u16string_view value) {
    if (row.kind == HostValueKind::Amount) {
        std::u16string digits(value);
        std::erase(digits, u',');
        return CheckAmountInSummaryTag(digits, row.compared).has_value();
    }
    return AccountInSummaryTag(value, row.compared);
}

}  // namespace

void WipeHostBlock(HostBlock& block) {
    for (HostRow& row : block) {
        SecureWipe(row.label);
        SecureWipe(row.value);
        SecureWipe(row.compared);
    }
    block.clear();
}

std::u16string FormatAmount(std::u16string_view amount) {
    const auto first = amount.find_first_not_of(u'0');
    std::u16string digits(first == std::u16string_view::npos ? u"" : amount.substr(first));
    while (digits.size() < 3) digits.insert(digits.begin(), u'0');
    const std::u16string_view whole = std::u16string_view(digits).substr(0, digits.size() - 2);
    return u"新臺幣 " + GroupThousands(whole) + u"." + digits.substr(digits.size() - 2) + u" 元";
}

HostBlock BuildHostBlock(const ConfirmationModeRule& rule, const HostValues& values) {
    HostBlock block;
    if (values.account) {
        block.push_back({std::u16string(rule.accountLabel), *values.account, HostValueKind::Account,
                         *values.account});
    }
    // Where the mode does not compare it (the guided transfer's account,
    // chosen in the host's own dialog), the transfer-in account stays in the
    // secure field, never in a window text.
    if (values.transferIn && rule.transferInTag != 0) {
        // The card is given the first 16 characters.
        const std::u16string account = values.transferIn->substr(0, kTransferInDigits);
        block.push_back({u"轉入帳號", account, HostValueKind::TransferIn, account});
    }
    block.insert(block.end(), values.produced.begin(), values.produced.end());
    if (values.amount) {
        block.push_back({std::u16string(rule.amountLabel), FormatAmount(*values.amount),
                         HostValueKind::Amount, *values.amount});
    }
    // The block is the host's, but a guided procedure's rows may carry
    // document text: shown inert like every page text.
    for (HostRow& row : block) {
        row.label = InertText(row.label);
        row.value = InertText(row.value);
    }
    return block;
}

std::optional<HostValueKind> KindOfLabel(std::u16string_view label) {
    const std::u16string inert = InertText(label);
    const std::u16string_view words = Trimmed(inert);
    for (const LabelWords& entry : kLabelWords) {
        if (words == entry.words) return entry.kind;
    }
    return std::nullopt;
}

bool IsDecoyRow(const HostBlock& block, std::u16string_view label, std::u16string_view value) {
    const auto kind = KindOfLabel(label);
    if (!kind) return false;
    const std::u16string shown = InertText(value);
    return std::any_of(block.begin(), block.end(), [&](const HostRow& row) {
        return row.kind == *kind && !row.compared.empty() && !Carries(row, shown);
    });
}

}  // namespace qorv::dialogs
