#include "procedures/confirmed_methods.h"

#include <string>

#include "base/results.h"
#include "card/card_session.h"
#include "card/pin_block.h"
#include "card/pin_pad.h"
#include "dialogs/confirmation_summary.h"
#include "procedures/confirmation_runner.h"

namespace qorv::procedures {
namespace {

using card::TransactionKind;
using dialogs::ConfirmationMode;

constexpr char16_t kTransactionOnPadPrompt[] =
    u"請於晶片讀卡機上確認各項輸入資料，再輸入晶片密碼後，按下『確認』鍵";
constexpr char16_t kVerifyOnPadPrompt[] = u"請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵";
constexpr char16_t kChangeOnPadPrompt[] =
    u"請於晶片讀卡機上輸入晶片舊密碼與新密碼後，按下『確認』鍵";

// A supplied record goes into record file 10, P2 80, as the card's
// transaction records do.
constexpr char16_t kSuppliedRecordFile[] = u"1080";
constexpr std::size_t kMaxSuppliedRecord = 128;

// A message box before a card step: false when the page went away while it
// was shown (nobody is at the reader to type the PIN or check the data).
bool Prompt(dialogs::UserInterface& ui, const char16_t* text) {
    ui.ShowMessage(text, dialogs::kMessageCaption);
    return !ui.PersonGone();
}

// The confirmation mode of a transaction kind.
ConfirmationMode ModeFor(TransactionKind kind, bool onPad, bool zeroAmount) {
    using enum ConfirmationMode;
    switch (kind) {
        case TransactionKind::Payment:
            return onPad ? PaymentOnPad : Payment;
        case TransactionKind::PayTax:
            return onPad ? PayTaxOnPad : PayTax;
        case TransactionKind::Transfer:
            return onPad ? TransferOnPad : Transfer;
        case TransactionKind::Withdraw:
            if (zeroAmount) return onPad ? ZeroWithdrawOnPad : ZeroWithdraw;
            return onPad ? WithdrawOnPad : Withdraw;
        case TransactionKind::Inquiry:
            break;
    }
    return onPad ? InquiryOnPad : Inquiry;
}

// What the confirmation checks against the summary and shows in its host
// block: the account, the amount, for a transfer the transfer-in account;
// an inquiry shows the account it asks about.
dialogs::ConfirmationRequest RequestFor(const card::TransactionRequest& request,
                                        const std::u16string& summary, bool onPad) {
    const card::TransactionFields& fields = request.fields;
    const bool zero = fields.money && dialogs::IsAllZeroAmount(*fields.money);
    dialogs::ConfirmationRequest confirmation;
    confirmation.message = summary;
    confirmation.mode = ModeFor(request.kind, onPad, zero);
    confirmation.account = fields.account;
    if (request.kind == TransactionKind::Inquiry) return confirmation;
    confirmation.amount = fields.money;
    if (request.kind == TransactionKind::Transfer) confirmation.transferIn = fields.imprtAccnt;
    return confirmation;
}

// A confirmation that compares nothing and shows only the summary.
dialogs::ConfirmationRequest SummaryOnly(const std::u16string& summary, ConfirmationMode mode) {
    dialogs::ConfirmationRequest request;
    request.message = summary;
    request.mode = mode;
    return request;
}

}  // namespace

int32_t AuthoriseConfirmed(const CardMethodContext& context,
                           const ConfirmedTransaction& transaction) {
    if (const int32_t rc = card::CheckTransactionArguments(transaction.request); rc != 0) {
        return rc;
    }
    // Without a summary the customer would confirm a transaction shown nowhere.
    if (!transaction.showMsg) return result::kArgumentMissing;
    card::CCardEngine& engine = context.engine;
    card::CardSession card(engine, transaction.readerName);
    if (card.result() != 0) return card.result();

    const bool onPad = transaction.password == nullptr;
    if (const int32_t rc =
            RunConfirmation(context.ui, engine.session(), card.slot(),
                            RequestFor(transaction.request, *transaction.showMsg, onPad));
        rc != 0) {
        return rc;
    }
    if (const int32_t rc = engine.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (!onPad) {
        const ScriptText& pin = *transaction.password;
        if (const int32_t rc = card::CheckPinTexts({&pin}); rc != 0) return rc;
        if (const int32_t rc = engine.PresentPin(card.slot(), *pin); rc != 0) return rc;
    }
    dialogs::WaitCursorGuard wait(context.ui);
    const int32_t rc = engine.Authorise(card.slot(), transaction.request, context.results);
    // On a PIN-pad reader the session closes before the arrow returns; with
    // the PIN from the page, right after.
    if (onPad) card.Close();
    return rc;
}

int32_t AuthoriseOnPinPad(const CardMethodContext& context, const card::TransactionRequest& request,
                          const ScriptText& readerName) {
    if (const int32_t rc = card::CheckTransactionArguments(request); rc != 0) return rc;
    card::CardSession card(context.engine, readerName);
    if (card.result() != 0) return card.result();
    if (const int32_t rc = context.engine.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (!Prompt(context.ui, kTransactionOnPadPrompt)) return kConfirmationCancelled;
    dialogs::WaitCursorGuard wait(context.ui);
    const int32_t rc = context.engine.Authorise(card.slot(), request, context.results);
    card.Close();
    return rc;
}

int32_t WriteRecordConfirmed(const CardMethodContext& context, const ScriptText& readerName,
                             const ScriptText& apduCmd, const ScriptText& showMsg,
                             const ScriptText* password) {
    if (!readerName || !apduCmd || !showMsg || (password != nullptr && !*password)) {
        return result::kArgumentMissing;
    }
    // A record the card cannot be given is refused before the customer is
    // asked to confirm it and before any card command.
    if (apduCmd->size() > kMaxSuppliedRecord || !card::FitsOneBytePerCharacter(*apduCmd)) {
        return result::kBadLength;
    }
    card::CCardEngine& engine = context.engine;
    card::CardSession card(engine, readerName);
    if (card.result() != 0) return card.result();
    if (const int32_t rc = RunConfirmation(context.ui, engine.session(), card.slot(),
                                           SummaryOnly(*showMsg, ConfirmationMode::SuppliedRecord));
        rc != 0) {
        return rc;
    }
    // The card was taken out and put back: connect it afresh.
    if (const int32_t rc = card.Reconnect(readerName); rc != 0) return rc;
    if (const int32_t rc = engine.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (password != nullptr) {
        if (const int32_t rc = card::CheckPinTexts({password}); rc != 0) return rc;
        if (const int32_t rc = engine.PresentPin(card.slot(), **password); rc != 0) return rc;
    }
    dialogs::WaitCursorGuard wait(context.ui);
    const int32_t rc = engine.WriteSuppliedRecord(card.slot(), std::u16string(kSuppliedRecordFile),
                                                  apduCmd, context.results);
    // The card has authorised the record; what the read-back could not read
    // stays empty, as after any transaction.
    if (rc == 0) engine.ReadBack(card.slot(), context.results);
    return rc;
}

int32_t VerifyPinConfirmed(card::CCardEngine& engine, dialogs::UserInterface& ui, int32_t slot,
                           const ScriptText* pin, const ScriptText& showMsg) {
    if (pin != nullptr) {
        if (const int32_t rc = card::CheckPinTexts({pin}); rc != 0) return rc;
    }
    if (!showMsg) return result::kArgumentMissing;
    const ConfirmationMode mode =
        pin != nullptr ? ConfirmationMode::VerifyPin : ConfirmationMode::VerifyPinOnPad;
    if (RunConfirmation(ui, engine.session(), slot, SummaryOnly(*showMsg, mode)) != 0) {
        return kConfirmationCancelled;
    }
    if (pin == nullptr) return card::VerifyPinOnPad(engine, slot);
    if (const int32_t rc = engine.SelectCardApplication(slot); rc != 0) return rc;
    return engine.PresentPin(slot, **pin);
}

int32_t VerifyPinOnPadPrompted(card::CCardEngine& engine, dialogs::UserInterface& ui,
                               int32_t slot) {
    if (!Prompt(ui, kVerifyOnPadPrompt)) return kConfirmationCancelled;
    return card::VerifyPinOnPad(engine, slot);
}

int32_t ChangePinConfirmed(card::CCardEngine& engine, dialogs::UserInterface& ui, int32_t slot,
                           const ScriptText* oldPin, const ScriptText* newPin,
                           const ScriptText* showMsg, const ScriptText& account) {
    const bool onPad = oldPin == nullptr;
    if (!account || (showMsg != nullptr && !*showMsg) || (!onPad && (!*oldPin || !*newPin))) {
        return result::kArgumentMissing;
    }
    if (!onPad) {
        if (const int32_t rc = card::CheckPinTexts({oldPin, newPin}); rc != 0) return rc;
    }
    if (showMsg == nullptr) {
        if (!Prompt(ui, kChangeOnPadPrompt)) return kConfirmationCancelled;
    } else {
        const ConfirmationMode mode =
            onPad ? ConfirmationMode::VerifyPinOnPad : ConfirmationMode::VerifyPin;
        if (RunConfirmation(ui, engine.session(), slot, SummaryOnly(**showMsg, mode)) != 0) {
            return kConfirmationCancelled;
        }
    }
    if (const int32_t rc = engine.SelectCardApplication(slot); rc != 0) return rc;
    // The PIN is tied to the card's first account: a page that names another
    // account never gets the old PIN presented.
    if (const int32_t rc = engine.CheckAccount(slot, *account); rc != 0) return rc;
    if (onPad) return card::ChangePinOnPad(engine, slot);
    return card::ReplacePin(engine, slot, **oldPin, **newPin);
}

}  // namespace qorv::procedures
