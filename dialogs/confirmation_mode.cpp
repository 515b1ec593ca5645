#include "dialogs/confirmation_mode.h"

#include <array>

namespace qorv::dialogs {
namespace {

using enum ConfirmationMode;
using enum PromptGroup;

constexpr std::u16string_view kFrom = u"轉出帳號";
constexpr std::u16string_view kInquired = u"查詢帳號";
constexpr std::u16string_view kCardAccount = u"晶片卡帳號";
constexpr std::u16string_view kTransferAmount = u"轉帳金額";
constexpr std::u16string_view kPaymentAmount = u"繳款金額";
constexpr std::u16string_view kWithdrawAmount = u"提款金額";
constexpr std::u16string_view kAmount = u"交易金額";

constexpr std::array kRules{
    ConfirmationModeRule{VerifyPin, 0, 0, 0, CardPin, kCardAccount, kAmount},
    ConfirmationModeRule{Payment, 12, 0, 13, CardPin, kFrom, kPaymentAmount},
    ConfirmationModeRule{PayTax, 8, 0, 9, CardPin, kFrom, kPaymentAmount},
    ConfirmationModeRule{Transfer, 7, 11, 13, CardPin, kFrom, kTransferAmount},
    ConfirmationModeRule{Withdraw, 7, 0, 13, CardPin, kFrom, kWithdrawAmount},
    ConfirmationModeRule{VerifyPinOnPad, 0, 0, 0, Reader, kCardAccount, kAmount},
    ConfirmationModeRule{PaymentOnPad, 12, 0, 13, Reader, kFrom, kPaymentAmount},
    ConfirmationModeRule{PayTaxOnPad, 8, 0, 9, Reader, kFrom, kPaymentAmount},
    ConfirmationModeRule{TransferOnPad, 7, 11, 13, Reader, kFrom, kTransferAmount},
    ConfirmationModeRule{WithdrawOnPad, 7, 0, 13, Reader, kFrom, kWithdrawAmount},
    ConfirmationModeRule{ZeroWithdraw, 0, 0, 0, CardPin, kFrom, kWithdrawAmount},
    ConfirmationModeRule{ZeroWithdrawOnPad, 0, 0, 0, Reader, kFrom, kWithdrawAmount},
    ConfirmationModeRule{Inquiry, 0, 0, 0, CardPin, kInquired, kAmount},
    ConfirmationModeRule{InquiryOnPad, 0, 0, 0, Reader, kInquired, kAmount},
    ConfirmationModeRule{GuidedTransfer, 7, 0, 13, CardPin, kFrom, kTransferAmount},
    ConfirmationModeRule{PinInForm, 0, 0, 0, CardPin, kCardAccount, kAmount},
    ConfirmationModeRule{PinOnPad, 0, 0, 0, Reader, kCardAccount, kAmount},
};

constexpr ConfirmationModeRule kUnknownMode{};

}  // namespace

const ConfirmationModeRule& RuleForConfirmationMode(ConfirmationMode mode) {
    for (const ConfirmationModeRule& rule : kRules) {
        if (rule.mode == mode) return rule;
    }
    return kUnknownMode;
}

}  // namespace qorv::dialogs
