// The confirmation modes: which values a confirmation compares with the
// page's summary, under which host labels it shows them, and how it prompts.
// One table holds every mode's rule, so the dialog, the methods that pick a
// mode and the tests read the same facts.
#pragma once

#include <cstdint>
#include <string_view>

namespace qorv::dialogs {

enum class ConfirmationMode : int {
    VerifyPin = 0,
    Payment = 1,
    PayTax = 2,
    Transfer = 3,
    Withdraw = 4,
    VerifyPinOnPad = 5,
    PaymentOnPad = 6,
    PayTaxOnPad = 7,
    TransferOnPad = 8,
    WithdrawOnPad = 9,
    ZeroWithdraw = 10,
    ZeroWithdrawOnPad = 11,
    Inquiry = 12,
    InquiryOnPad = 13,
    GuidedTransfer = 23,
    PinInForm = 25,  // the entry form verifies the PIN itself
    PinOnPad = 26,   // the PIN is typed on the reader after the confirmation
    SuppliedRecord = 26,
};

enum class PromptGroup {
    CardPin,  // the PIN is typed on the computer
    Reader,   // the PIN is typed on a PIN-pad reader
};

// What a mode compares with the summary (tag numbers, 0 for nothing), how
// it prompts, and the host's own labels for the values it shows.
struct ConfirmationModeRule {
    ConfirmationMode mode = ConfirmationMode::VerifyPin;
    int accountTag = 0;
    int transferInTag = 0;
    int amountTag = 0;
    PromptGroup group = PromptGroup::CardPin;
    std::u16string_view accountLabel = u"轉出帳號";
    std::u16string_view amountLabel = u"交易金額";
};

// An unknown mode compares nothing and prompts as the card PIN group.
const ConfirmationModeRule& RuleForConfirmationMode(ConfirmationMode mode);

}  // namespace qorv::dialogs
