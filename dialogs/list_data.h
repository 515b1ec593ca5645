// List data of the configuration document: a sequence of items, each
// followed by ";;" (a missing final ";;" is supplied). An item is display
// text, "%%", item code. Items are cut at every ";;"; empty items (two ";;"
// in a row) are neither shown nor counted, so the index of a shown item is
// also the index that reading the selection uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qorv::dialogs {

enum class ListKind {
    kEntryRow,     // a drop-down row of the multi-field dialog
    kAccountList,  // agreed or common accounts of the transfer dialog
    kBankList,     // the banks of "other account" in the transfer dialog
};

// How many of an item's first characters hold its display text.
inline constexpr std::size_t kEntryRowDisplayScan = 80;
inline constexpr std::size_t kTransferDisplayScan = 160;
inline constexpr std::size_t kEntryRowCodeLength = 3;
inline constexpr std::size_t kMaxItemEmail = 128;
inline constexpr std::size_t kMaxBankCode = 8;

struct ListItem {
    std::u16string display;  // shown in the drop-down
    // kEntryRow: first 3 characters of the trimmed text after the display
    // text's "%%". kAccountList: the text after the first "%%" (bank code,
    // "||", account, optionally "$$" and e-mail). kBankList: the bank code
    // digits (at most 8).
    std::u16string code;
    std::u16string email;  // kAccountList: text after "$$" in the code, at most 128
};

// The non-empty items of the list data, in order.
std::vector<ListItem> ParseListItems(std::u16string_view data, ListKind kind);

// The display text of one item (the part before its last "%%" among the
// first scan characters; the item cut to scan characters when there is none).
std::u16string_view ItemDisplayText(std::u16string_view item, std::size_t scan);

// Wipes every text of the items and empties the list.
void WipeListItems(std::vector<ListItem>& items) noexcept;

}  // namespace qorv::dialogs
