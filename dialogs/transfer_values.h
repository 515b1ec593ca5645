// The texts the guided procedures hand on, built from what the customer chose:
//
//   transfer values  bank code || transfer-in account || category digit || processing code ||
//                    [e-mail addresses ||]
//   account record   16-digit transfer-in account (right-aligned, leading zeros), category
//                    digit, bank text, "%%", bank code, ["$$" e-mail addresses]
//
// The transfer account dialog builds both with the placeholder processing code
// 2523; the confirmation dialog chooses the real code from the banks involved
// and writes it over the fourth field. The multi-field entry dialog joins its
// rows with "||" and ";;". Plain functions over UTF-16 text: no widgets, no
// reader, no cipher.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qorv::dialogs {

// The three ways to name the transfer-in account.
enum class TransferCategory { kAgreed = 0, kCommon = 1, kOther = 2 };

// "0" agreed, "1" common, "2" other account, "3" other account that the
// customer also adds to the common accounts ("加入常用帳號"). The box only
// counts for another account.
char16_t TransferCategoryDigit(TransferCategory category, bool addToCommon);

// The processing code the transfer account dialog writes before the banks
// involved are known.
inline constexpr std::u16string_view kPlaceholderProcessingCode = u"2523";
// Lengths the dialog reads at most: a selected account item, a bank item, the
// e-mail edit.
inline constexpr std::size_t kMaxAccountItemLength = 160;
inline constexpr std::size_t kMaxBankItemLength = 64;
inline constexpr std::size_t kMaxEmailLength = 150;
inline constexpr std::size_t kAccountDigits = 16;

// The transfer values are empty when nothing names a transfer-in account (no
// item, a listed item without "%%", another account that is empty or not all
// digits): then no processing code can be written into them, and the
// transfer ends before the card. A listed item's code is taken as the bank
// wrote it, with or without its "||" and account.
struct TransferChoice {
    std::u16string accountRecord;
    std::u16string transferValues;
};

// `account` right-aligned over 16 "0": a 9-digit account gets 7 leading
// zeros; of a longer one the first 16 characters are kept.
std::u16string RightAlignedAccount(std::u16string_view account);

// An agreed or common account: `selectedItem` is the list item as the bank
// wrote it ("display text%%bank code||account[$$e-mail]"), empty when nothing
// is selected; `email` is the e-mail edit's text (the common item's address
// unless the customer changed it).
TransferChoice BuildListedAccountChoice(TransferCategory category, std::u16string_view selectedItem,
                                        std::u16string_view email);

// The bank code of a bank list item: the digits from the first digit after
// its last "%%" (the whole item when it has none), at most 8.
std::u16string BankListCode(std::u16string_view bankItem);

// Another account: the selected bank item, the account number typed or
// entered on the keypad, and the "加入常用帳號" box.
TransferChoice BuildOtherAccountChoice(std::u16string_view bankItem, std::u16string_view account,
                                       bool addToCommon, std::u16string_view email);

// What the confirmation dialog shows of an account record.
struct TransferInDisplay {
    std::u16string bankText;  // from the 18th character up to the last "%%", at most 180
    std::u16string email;     // after the last "$$"; a single blank when there is none
    std::u16string bankCode;  // the digits after the last "%%", at most 15
};
TransferInDisplay ReadTransferInRecord(std::u16string_view accountRecord);

// The deployment's home bank: the three-digit interbank code of the bank that
// operates the component (the QORV_HOME_BANK_CODE build setting).
std::u16string_view HomeBankCode();

// The processing code of a guided transfer, by the first rule that holds and
// the column of `serviceType` (the first character of ServiceType; any
// character but '1' and '2' is column '0'):
//
//   rule                                                '0'   '1'   '2'
//   the transfer-in bank code occurs in the Tag5 text   2523  2563  2523
//   the home bank code occurs in the Tag5 text          2521  2561  2561
//   characters 18-20 of the record are the home bank    2522  2562  2562
//   otherwise                                           2524  2564  2564
//
// The first rule looks for the first three digits of the bank code, so a
// record without a bank code of at least three digits never meets it.
std::u16string_view ChooseProcessingCode(std::u16string_view accountRecord,
                                         std::u16string_view tag5Text,
                                         std::u16string_view homeBankCode, char16_t serviceType);

// The transfer values with `processingCode` over the four characters after
// their third "||", ending in "||". Empty when the values have no third "||"
// (then there is no field to write, and nothing may be sent to the card).
std::u16string WriteProcessingCode(std::u16string_view transferValues,
                                   std::u16string_view processingCode);

// The card record a guided transfer sends, by ServiceType's first character:
// '0' the transfer record with the transfer-in account, '1' the 64-byte record
// without it, '2' the transfer record only for processing code 2523 (any
// letter case), any other character no record at all.
enum class GuidedRecordLayout { kTransfer, kWithoutTransferIn, kNone };
GuidedRecordLayout GuidedRecordLayoutFor(char16_t serviceType, std::u16string_view processingCode);

// One row of the multi-field entry dialog as it goes into the joined output.
enum class EnteredFieldKind {
    kListChoice,     // drop-down: `value` is the selected item's trimmed code
    kKeypad,         // digits keypad (KeyType 0, 1, or 3-6 on the keypad)
    kLettersKeypad,  // keypad with letters (KeyType 7, 8)
    kEdit,           // typed into the row's edit
};
struct EnteredField {
    EnteredFieldKind kind = EnteredFieldKind::kEdit;
    bool cardPin = false;  // Type 6: verified against the card, its entry never joined
    std::u16string_view value;
};

// The joined output: a list choice gives the first 3 characters of its code
// and "||", a keypad row its entry and "||", a letters-keypad row its entry and
// ";;", an edit row its first 127 characters and "||". A card PIN row never
// gives its entry (the joined output also goes to the page in clear): on the
// digits keypad or in an edit it gives an empty field "||", so that the fields
// after it stay in their places; on the letters keypad it gives nothing.
std::u16string JoinEnteredFields(std::span<const EnteredField> fields);

}  // namespace qorv::dialogs
