// The host block: the values the card or the bank will act on, built by the
// host from the method's own arguments with the host's own labels, shown
// first in every confirmation. A page can describe the transaction below
// it but cannot change, hide or relabel what the block says.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/confirmation_mode.h"
#include "dialogs/confirmation_summary.h"

namespace qorv::dialogs {

// What a row of the block stands for; a page row under the same words must
// carry the same value.
enum class HostValueKind { Account, TransferIn, Bank, Amount, Other };

struct HostRow {
    std::u16string label;
    std::u16string value;  // as shown
    HostValueKind kind = HostValueKind::Other;
    std::u16string compared{};  // what a page row under these words must hold
};

using HostBlock = std::vector<HostRow>;

// Wipes every text of the rows and empties the block (a form's values are
// the customer's).
void WipeHostBlock(HostBlock& block);

// The 14-digit amount (the last two digits are hundredths) as the host
// writes it: "00000900000000" becomes "新臺幣 9,000,000.00 元".
std::u16string FormatAmount(std::u16string_view amount);

// The values a caller passed (absent: it has none), and the rows a guided
// procedure produced (the transfer-in bank and account, the form's values).
struct HostValues {
    const std::optional<std::u16string>& account;
    const std::optional<std::u16string>& transferIn;
    const std::optional<std::u16string>& amount;
    std::span<const HostRow> produced;
};

HostBlock BuildHostBlock(const ConfirmationModeRule& rule, const HostValues& values);

// The kind of value that a page's row label claims to show, by the words
// the host's own labels use (轉帳金額, 交易金額, 轉入帳號, 轉入銀行, 轉出帳號 and
// the like); nothing for a label of the page's own.
std::optional<HostValueKind> KindOfLabel(std::u16string_view label);

// True when a page row labelled `label` with `value` does not carry the
// block's value of the same kind (a decoy under the block's own words).
// Rows of a kind the block does not show pass.
bool IsDecoyRow(const HostBlock& block, std::u16string_view label, std::u16string_view value);

}  // namespace qorv::dialogs
