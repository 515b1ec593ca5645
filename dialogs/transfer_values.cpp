#include "dialogs/transfer_values.h"

#include <algorithm>

#ifndef QORV_HOME_BANK_CODE
#error "QORV_HOME_BANK_CODE must name the operating bank (set by the build)"
#endif

namespace qorv::dialogs {

namespace {

constexpr std::u16string_view kFieldSeparator = u"||";
constexpr std::u16string_view kCodeMark = u"%%";
constexpr std::u16string_view kEmailMark = u"$$";
constexpr std::size_t kMaxTransferCodeLength = 160;
constexpr std::size_t kMaxBankDigits = 8;
constexpr std::size_t kMaxShownBankText = 180;
constexpr std::size_t kMaxShownBankCode = 15;
constexpr std::size_t kRecordTextStart = kAccountDigits + 1;  // after the category digit
constexpr std::size_t kBankCodePrefix = 3;
constexpr std::size_t kMaxEditValue = 127;
// The one code under which ServiceType 2 still sends the transfer-in account.
constexpr std::u16string_view kTransferRecordCode = u"2523";

constexpr char16_t kHomeBankCode[] = QORV_HOME_BANK_CODE;
static_assert(std::size(kHomeBankCode) == 4, "QORV_HOME_BANK_CODE has three digits");

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool AllDigits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), IsDigit);
}

std::u16string_view Head(std::u16string_view text, std::size_t length) {
    return text.substr(0, std::min(length, text.size()));
}

// Drops the characters up to 0x20 at both ends.
std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
    return text;
}

// The text before `mark`, or all of it.
std::u16string_view Before(std::u16string_view text, std::u16string_view mark) {
    return text.substr(0, text.find(mark));
}

void AppendField(std::u16string& values, std::u16string_view field) {
    values.append(field);
    values.append(kFieldSeparator);
}

// The trailing "||category||2523||" of the dialog's transfer values.
void AppendCategoryAndPlaceholder(std::u16string& values, char16_t digit) {
    AppendField(values, std::u16string_view(&digit, 1));
    AppendField(values, kPlaceholderProcessingCode);
}

void AppendEmail(TransferChoice& choice, std::u16string_view email) {
    email = Head(email, kMaxEmailLength);
    if (email.empty()) return;
    AppendField(choice.transferValues, email);
    choice.accountRecord.append(kEmailMark);
    choice.accountRecord.append(email);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    const auto lower = [](char16_t c) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&lower](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

}  // namespace

char16_t TransferCategoryDigit(TransferCategory category, bool addToCommon) {
    switch (category) {
        case TransferCategory::kAgreed:
            return u'0';
        case TransferCategory::kCommon:
            return u'1';
        case TransferCategory::kOther:
            return addToCommon ? u'3' : u'2';
    }
    return u'0';
}

std::u16string RightAlignedAccount(std::u16string_view account) {
    account = Head(account, kAccountDigits);
    std::u16string aligned(kAccountDigits - account.size(), u'0');
    aligned.append(account);
    return aligned;
}

TransferChoice BuildListedAccountChoice(TransferCategory category, std::u16string_view selectedItem,
                                        std::u16string_view email) {
    const char16_t digit = TransferCategoryDigit(category, false);
    TransferChoice choice;
    const std::u16string_view item = Head(selectedItem, kMaxAccountItemLength);
    const std::size_t mark = item.find(kCodeMark);
    // The first "%%" of an account item starts its code: "bank||account[$$e-mail]".
    const std::u16string_view code =
        mark == std::u16string_view::npos
            ? std::u16string_view()
            : Head(Trimmed(Before(item.substr(mark + kCodeMark.size()), kEmailMark)),
                   kMaxTransferCodeLength);
    const std::size_t separator = code.find(kFieldSeparator);
    const std::u16string_view account = separator == std::u16string_view::npos
                                            ? std::u16string_view()
                                            : code.substr(separator + kFieldSeparator.size());
    choice.accountRecord = RightAlignedAccount(account);
    choice.accountRecord.push_back(digit);
    if (code.empty()) return choice;

    choice.transferValues.assign(code);
    choice.transferValues.append(kFieldSeparator);
    AppendCategoryAndPlaceholder(choice.transferValues, digit);
    // Only the part of the display text before its first "-" names the account.
    choice.accountRecord.append(Before(item.substr(0, mark), u"-"));
    choice.accountRecord.append(kCodeMark);
    choice.accountRecord.append(Head(choice.transferValues, kBankCodePrefix));
    AppendEmail(choice, email);
    return choice;
}

std::u16string BankListCode(std::u16string_view bankItem) {
    bankItem = Head(bankItem, kMaxBankItemLength);
    const std::size_t mark = bankItem.rfind(kCodeMark);
    std::u16string_view code =
        mark == std::u16string_view::npos ? bankItem : bankItem.substr(mark + kCodeMark.size());
    const auto first = std::find_if(code.begin(), code.end(), IsDigit);
    code.remove_prefix(static_cast<std::size_t>(first - code.begin()));
    const auto end = std::find_if_not(code.begin(), code.end(), IsDigit);
    return std::u16string(Head(code, std::min<std::size_t>(end - code.begin(), kMaxBankDigits)));
}

TransferChoice BuildOtherAccountChoice(std::u16string_view bankItem, std::u16string_view account,
                                       bool addToCommon, std::u16string_view email) {
    const char16_t digit = TransferCategoryDigit(TransferCategory::kOther, addToCommon);
    bankItem = Head(bankItem, kMaxBankItemLength);
    account = Head(account, kAccountDigits);
    TransferChoice choice;
    choice.accountRecord = RightAlignedAccount(account);
    choice.accountRecord.push_back(digit);
    if (account.empty() || !AllDigits(account)) return choice;

    AppendField(choice.transferValues, BankListCode(bankItem));
    AppendField(choice.transferValues, account);
    AppendCategoryAndPlaceholder(choice.transferValues, digit);
    choice.accountRecord.append(bankItem);
    AppendEmail(choice, email);
    return choice;
}

TransferInDisplay ReadTransferInRecord(std::u16string_view accountRecord) {
    TransferInDisplay display;
    const std::size_t codeMark = accountRecord.rfind(kCodeMark);
    const std::size_t emailMark = accountRecord.rfind(kEmailMark);
    if (accountRecord.size() > kRecordTextStart) {
        // A record without "%%" shows its text up to the e-mail addresses.
        std::size_t end = accountRecord.size();
        if (codeMark != std::u16string_view::npos && codeMark >= kRecordTextStart) {
            end = codeMark;
        } else if (emailMark != std::u16string_view::npos && emailMark >= kRecordTextStart) {
            end = emailMark;
        }
        display.bankText.assign(Head(accountRecord.substr(kRecordTextStart, end - kRecordTextStart),
                                     kMaxShownBankText));
    }
    display.email = emailMark == std::u16string_view::npos
                        ? std::u16string(u" ")
                        : std::u16string(accountRecord.substr(emailMark + kEmailMark.size()));
    if (codeMark != std::u16string_view::npos) {
        std::u16string_view code = accountRecord.substr(codeMark + kCodeMark.size());
        const auto first = std::find_if(code.begin(), code.end(), IsDigit);
        code.remove_prefix(static_cast<std::size_t>(first - code.begin()));
        const auto end = std::find_if_not(code.begin(), code.end(), IsDigit);
        display.bankCode.assign(
            Head(code, std::min<std::size_t>(end - code.begin(), kMaxShownBankCode)));
    }
    return display;
}

std::u16string_view HomeBankCode() {
    return {kHomeBankCode, std::size(kHomeBankCode) - 1};
}

std::u16string_view ChooseProcessingCode(std::u16string_view accountRecord,
                                         std::u16string_view tag5Text,
                                         std::u16string_view homeBankCode, char16_t serviceType) {
    static constexpr std::u16string_view kCodes[4][3] = {
        {u"2523", u"2563", u"2523"},
        {u"2521", u"2561", u"2561"},
        {u"2522", u"2562", u"2562"},
        {u"2524", u"2564", u"2564"},
    };
    const std::size_t column = serviceType == u'1' ? 1 : serviceType == u'2' ? 2 : 0;
    const std::u16string bankCode = ReadTransferInRecord(accountRecord).bankCode;
    const bool homeKnown = !homeBankCode.empty();
    std::size_t rule = 3;
    if (bankCode.size() >= kBankCodePrefix &&
        tag5Text.find(Head(bankCode, kBankCodePrefix)) != std::u16string_view::npos) {
        rule = 0;
    } else if (homeKnown && tag5Text.find(homeBankCode) != std::u16string_view::npos) {
        rule = 1;
    } else if (homeKnown && accountRecord.size() >= kRecordTextStart + homeBankCode.size() &&
               accountRecord.substr(kRecordTextStart, homeBankCode.size()) == homeBankCode) {
        rule = 2;
    }
    return kCodes[rule][column];
}

std::u16string WriteProcessingCode(std::u16string_view transferValues,
                                   std::u16string_view processingCode) {
    std::size_t at = 0;
    for (int separator = 0; separator < 3; ++separator) {
        const std::size_t found = transferValues.find(kFieldSeparator, at);
        if (found == std::u16string_view::npos) return {};
        at = found + kFieldSeparator.size();
    }
    std::u16string values(transferValues);
    values.replace(at, std::min<std::size_t>(processingCode.size(), values.size() - at),
                   processingCode);
    if (!std::u16string_view(values).ends_with(kFieldSeparator)) values.append(kFieldSeparator);
    return values;
}

GuidedRecordLayout GuidedRecordLayoutFor(char16_t serviceType, std::u16string_view processingCode) {
    switch (serviceType) {
        case u'0':
            return GuidedRecordLayout::kTransfer;
        case u'1':
            return GuidedRecordLayout::kWithoutTransferIn;
        case u'2':
            return EqualsIgnoringCase(processingCode, kTransferRecordCode)
                       ? GuidedRecordLayout::kTransfer
                       : GuidedRecordLayout::kWithoutTransferIn;
        default:
            return GuidedRecordLayout::kNone;
    }
}

std::u16string JoinEnteredFields(std::span<const EnteredField> fields) {
    std::u16string joined;
    for (const EnteredField& field : fields) {
        if (field.cardPin) {
            // A bank reads the fields by their place: a PIN row that had a
            // "||" field keeps it, empty; one on the letters keypad never had one.
            if (field.kind != EnteredFieldKind::kLettersKeypad) joined.append(kFieldSeparator);
            continue;
        }
        switch (field.kind) {
            case EnteredFieldKind::kListChoice:
                AppendField(joined, Head(field.value, kBankCodePrefix));
                break;
            case EnteredFieldKind::kKeypad:
                AppendField(joined, field.value);
                break;
            case EnteredFieldKind::kLettersKeypad:
                joined.append(field.value);
                joined.append(u";;");
                break;
            case EnteredFieldKind::kEdit:
                AppendField(joined, Head(field.value, kMaxEditValue));
                break;
        }
    }
    return joined;
}

}  // namespace qorv::dialogs
