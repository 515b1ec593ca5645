// Handlers of the transaction methods that open their own session on a named
// reader: confirmed with the PIN from the page (Ex), with the PIN typed on a
// PIN-pad reader after a message box (Snd) or after the confirmation (SndEx),
// and the write of a record the page supplies. Each closes the reader
// session (card reset, context released) on every exit after its connect.
#include "card/card_session.h"
#include "card/pin_block.h"
#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/card_confirmation.h"

namespace qorv::control {

using card::TransactionKind;

namespace {

constexpr char16_t kTransactionOnPadPrompt[] =
    u"請於晶片讀卡機上確認各項輸入資料，再輸入晶片密碼後，按下『確認』鍵";

// A supplied record goes into record file 10, P2 80, as the card's
// transaction records do.
constexpr char16_t kSuppliedRecordFile[] = u"1080";
constexpr std::size_t kMaxSuppliedRecord = 128;

constexpr int kModeSuppliedRecord = 26;

// The confirmation mode of a transaction kind; the PIN-pad forms prompt as
// the reader group.
int ConfirmationMode(TransactionKind kind, bool onPad, bool zeroAmount) {
    switch (kind) {
        case TransactionKind::Payment:
            return onPad ? 6 : 1;
        case TransactionKind::PayTax:
            return onPad ? 7 : 2;
        case TransactionKind::Transfer:
            return onPad ? 8 : 3;
        case TransactionKind::Withdraw:
            if (zeroAmount) return onPad ? 11 : 10;
            return onPad ? 9 : 4;
        case TransactionKind::Inquiry:
            break;
    }
    return onPad ? 13 : 12;
}

// The request of the methods that take a code, terminal, check code, amount
// and account and nothing else (tax payment, withdrawal).
card::TransactionRequest AmountRequest(TransactionKind kind, const ScriptText& pCode,
                                       const ScriptText& fdid, const ScriptText& fdChkCode,
                                       const ScriptText& money, const ScriptText& account) {
    return {
        kind,
        {.pCode = pCode, .fdid = fdid, .fdChkCode = fdChkCode, .money = money, .account = account}};
}

// What the dialog checks against the summary and shows: amount and account,
// for a transfer also the transfer-in account; an inquiry shows neither.
dialogs::ConfirmationRequest RequestFor(const card::TransactionRequest& request,
                                        const std::u16string& summary, bool onPad) {
    const card::TransactionFields& fields = request.fields;
    dialogs::ConfirmationRequest confirmation = dialogs::SummaryRequest(summary, 0);
    const bool zero = fields.money && dialogs::IsAllZeroAmount(*fields.money);
    confirmation.mode = ConfirmationMode(request.kind, onPad, zero);
    if (request.kind == TransactionKind::Inquiry) return confirmation;
    confirmation.amount = fields.money;
    confirmation.account = fields.account;
    if (request.kind == TransactionKind::Transfer) confirmation.transferIn = fields.imprtAccnt;
    return confirmation;
}

}  // namespace

// The procedure with confirmation; `password` is null for the SndEx forms,
// whose PIN the reader collects when the card is asked to write.
struct CQorvClientATMCtrl::ConfirmedTransaction {
    card::TransactionRequest request;
    const ScriptText& readerName;
    const ScriptText* password = nullptr;
    const ScriptText& showMsg;
};

int32_t CQorvClientATMCtrl::AuthoriseConfirmed(const ConfirmedTransaction& transaction) {
    if (const int32_t rc = card::CheckTransactionArguments(transaction.request); rc != 0) {
        return rc;
    }
    // Without a summary the customer would confirm a transaction shown nowhere.
    if (!transaction.showMsg) return result::kArgumentMissing;
    card::CardSession card(engine_, transaction.readerName);
    if (card.result() != 0) return card.result();

    const bool onPad = transaction.password == nullptr;
    if (const int32_t rc =
            Confirm(card.slot(), RequestFor(transaction.request, *transaction.showMsg, onPad));
        rc != 0) {
        return rc;
    }
    if (const int32_t rc = engine_.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (!onPad) {
        const ScriptText& pin = *transaction.password;
        if (const int32_t rc = card::CheckPinTexts({&pin}); rc != 0) return rc;
        if (const int32_t rc = engine_.PresentPin(card.slot(), *pin); rc != 0) return rc;
    }
    int32_t rc = 0;
    {
        dialogs::WaitCursorGuard wait(ui_);
        rc = engine_.Authorise(card.slot(), transaction.request, transaction_);
        // On a PIN-pad reader the session closes before the arrow returns;
        // with the PIN from the page, right after.
        if (onPad) card.Close();
    }
    return rc;
}

int32_t CQorvClientATMCtrl::AuthoriseOnPinPad(const card::TransactionRequest& request,
                                              const ScriptText& pReaderName) {
    if (const int32_t rc = card::CheckTransactionArguments(request); rc != 0) return rc;
    card::CardSession card(engine_, pReaderName);
    if (card.result() != 0) return card.result();
    if (const int32_t rc = engine_.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (!Prompt(kTransactionOnPadPrompt)) return result::kWrite69F0;
    dialogs::WaitCursorGuard wait(ui_);
    const int32_t rc = engine_.Authorise(card.slot(), request, transaction_);
    card.Close();
    return rc;
}

int32_t CQorvClientATMCtrl::WriteRecordConfirmed(const ScriptText& pReaderName,
                                                 const ScriptText& pApduCmd,
                                                 const ScriptText& pShowMsg,
                                                 const ScriptText* pPassword) {
    if (!pReaderName || !pApduCmd || !pShowMsg || (pPassword != nullptr && !*pPassword)) {
        return result::kArgumentMissing;
    }
    if (pApduCmd->size() > kMaxSuppliedRecord) return result::kBadLength;
    card::CardSession card(engine_, pReaderName);
    if (card.result() != 0) return card.result();
    if (const int32_t rc =
            Confirm(card.slot(), dialogs::SummaryRequest(*pShowMsg, kModeSuppliedRecord));
        rc != 0) {
        return rc;
    }
    // The card was taken out and put back: connect it afresh.
    if (const int32_t rc = card.Reconnect(pReaderName); rc != 0) return rc;
    if (const int32_t rc = engine_.SelectCardApplication(card.slot()); rc != 0) return rc;
    if (pPassword != nullptr) {
        if (const int32_t rc = card::CheckPinTexts({pPassword}); rc != 0) return rc;
        if (const int32_t rc = engine_.PresentPin(card.slot(), **pPassword); rc != 0) return rc;
    }
    int32_t rc = 0;
    {
        dialogs::WaitCursorGuard wait(ui_);
        rc = engine_.WriteSuppliedRecord(card.slot(), std::u16string(kSuppliedRecordFile), pApduCmd,
                                         transaction_);
        // The card has authorised the record; what the read-back could not
        // read stays empty, as after any transaction.
        if (rc == 0) engine_.ReadBack(card.slot(), transaction_);
    }
    return rc;
}

int32_t CQorvClientATMCtrl::WriteRecordWithSNUMTAC(const ScriptText& pReaderName,
                                                   const ScriptText& pApduCmd,
                                                   const ScriptText& pShowMsg,
                                                   const ScriptText& pPassword) {
    return WriteRecordConfirmed(pReaderName, pApduCmd, pShowMsg, &pPassword);
}

int32_t CQorvClientATMCtrl::WriteRecordWithSNUMTACSnd(const ScriptText& pReaderName,
                                                      const ScriptText& pApduCmd,
                                                      const ScriptText& pShowMsg) {
    return WriteRecordConfirmed(pReaderName, pApduCmd, pShowMsg, nullptr);
}

// Inquiry.

int32_t CQorvClientATMCtrl::AccountInquiryEx(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                                             const ScriptText& pAccountNumber,
                                             const ScriptText& pReaderName,
                                             const ScriptText& pPassword,
                                             const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {{TransactionKind::Inquiry,
          {.pCode = pPCode, .fdChkCode = pFdChkCode, .account = pAccountNumber}},
         pReaderName,
         &pPassword,
         pShowMsg});
}

// The inquiry on a PIN-pad reader runs on the current reader's session and
// leaves it open; the reader name is not used.
int32_t CQorvClientATMCtrl::AccountInquirySnd(const ScriptText& pPCode,
                                              const ScriptText& pFdChkCode,
                                              const ScriptText& pAccountNumber,
                                              const ScriptText& /*pReaderName*/) {
    if (const int32_t rc = engine_.SelectCardApplication(currentReaderIndex_); rc != 0) return rc;
    dialogs::WaitCursorGuard wait(ui_);
    return AuthoriseOnCurrentCard(
        TransactionKind::Inquiry,
        {.pCode = pPCode, .fdChkCode = pFdChkCode, .account = pAccountNumber});
}

int32_t CQorvClientATMCtrl::AccountInquirySndEx(const ScriptText& pPCode,
                                                const ScriptText& pFdChkCode,
                                                const ScriptText& pAccountNumber,
                                                const ScriptText& pReaderName,
                                                const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {{TransactionKind::Inquiry,
          {.pCode = pPCode, .fdChkCode = pFdChkCode, .account = pAccountNumber}},
         pReaderName,
         nullptr,
         pShowMsg});
}

// Transfer.

int32_t CQorvClientATMCtrl::AccountTransferEx(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pImprtAccnt, const ScriptText& pAccount,
    const ScriptText& pReaderName, const ScriptText& pPassword, const ScriptText& pShowMsg) {
    return AuthoriseConfirmed({{TransactionKind::Transfer,
                                {.pCode = pPCode,
                                 .fdid = pFdid,
                                 .fdChkCode = pFdChkCode,
                                 .money = pMoney,
                                 .imprtAccnt = pImprtAccnt,
                                 .account = pAccount}},
                               pReaderName,
                               &pPassword,
                               pShowMsg});
}

int32_t CQorvClientATMCtrl::AccountTransferSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                                               const ScriptText& pFdChkCode,
                                               const ScriptText& pMoney,
                                               const ScriptText& pImprtAccnt,
                                               const ScriptText& pAccount,
                                               const ScriptText& pReaderName) {
    return AuthoriseOnPinPad({TransactionKind::Transfer,
                              {.pCode = pPCode,
                               .fdid = pFdid,
                               .fdChkCode = pFdChkCode,
                               .money = pMoney,
                               .imprtAccnt = pImprtAccnt,
                               .account = pAccount}},
                             pReaderName);
}

int32_t CQorvClientATMCtrl::AccountTransferSndEx(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pImprtAccnt, const ScriptText& pAccount,
    const ScriptText& pReaderName, const ScriptText& pShowMsg) {
    return AuthoriseConfirmed({{TransactionKind::Transfer,
                                {.pCode = pPCode,
                                 .fdid = pFdid,
                                 .fdChkCode = pFdChkCode,
                                 .money = pMoney,
                                 .imprtAccnt = pImprtAccnt,
                                 .account = pAccount}},
                               pReaderName,
                               nullptr,
                               pShowMsg});
}

// Payment.

int32_t CQorvClientATMCtrl::AccountPaymentEx(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pPaymentType, const ScriptText& pCancelNo,
    const ScriptText& pAccount, const ScriptText& pReaderName, const ScriptText& pPassword,
    const ScriptText& pShowMsg) {
    return AuthoriseConfirmed({{TransactionKind::Payment,
                                {.pCode = pPCode,
                                 .fdid = pFdid,
                                 .fdChkCode = pFdChkCode,
                                 .money = pMoney,
                                 .paymentType = pPaymentType,
                                 .cancelNo = pCancelNo,
                                 .account = pAccount}},
                               pReaderName,
                               &pPassword,
                               pShowMsg});
}

int32_t CQorvClientATMCtrl::AccountPaymentSnd(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pPaymentType, const ScriptText& pCancelNo,
    const ScriptText& pAccount, const ScriptText& pReaderName) {
    return AuthoriseOnPinPad({TransactionKind::Payment,
                              {.pCode = pPCode,
                               .fdid = pFdid,
                               .fdChkCode = pFdChkCode,
                               .money = pMoney,
                               .paymentType = pPaymentType,
                               .cancelNo = pCancelNo,
                               .account = pAccount}},
                             pReaderName);
}

int32_t CQorvClientATMCtrl::AccountPaymentSndEx(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pPaymentType, const ScriptText& pCancelNo,
    const ScriptText& pAccount, const ScriptText& pReaderName, const ScriptText& pShowMsg) {
    return AuthoriseConfirmed({{TransactionKind::Payment,
                                {.pCode = pPCode,
                                 .fdid = pFdid,
                                 .fdChkCode = pFdChkCode,
                                 .money = pMoney,
                                 .paymentType = pPaymentType,
                                 .cancelNo = pCancelNo,
                                 .account = pAccount}},
                               pReaderName,
                               nullptr,
                               pShowMsg});
}

// Tax payment.

int32_t CQorvClientATMCtrl::AccountPayTaxEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                            const ScriptText& pAccount,
                                            const ScriptText& pReaderName,
                                            const ScriptText& pPassword,
                                            const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {AmountRequest(TransactionKind::PayTax, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
         pReaderName, &pPassword, pShowMsg});
}

int32_t CQorvClientATMCtrl::AccountPayTaxSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                                             const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                             const ScriptText& pAccount,
                                             const ScriptText& pReaderName) {
    return AuthoriseOnPinPad(
        AmountRequest(TransactionKind::PayTax, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
        pReaderName);
}

int32_t CQorvClientATMCtrl::AccountPayTaxSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                               const ScriptText& pFdChkCode,
                                               const ScriptText& pMoney, const ScriptText& pAccount,
                                               const ScriptText& pReaderName,
                                               const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {AmountRequest(TransactionKind::PayTax, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
         pReaderName, nullptr, pShowMsg});
}

// Withdrawal.

int32_t CQorvClientATMCtrl::AccountWithdrawEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                              const ScriptText& pFdChkCode,
                                              const ScriptText& pMoney, const ScriptText& pAccount,
                                              const ScriptText& pReaderName,
                                              const ScriptText& pPassword,
                                              const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {AmountRequest(TransactionKind::Withdraw, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
         pReaderName, &pPassword, pShowMsg});
}

int32_t CQorvClientATMCtrl::AccountWithdrawSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                                               const ScriptText& pFdChkCode,
                                               const ScriptText& pMoney, const ScriptText& pAccount,
                                               const ScriptText& pReaderName) {
    return AuthoriseOnPinPad(
        AmountRequest(TransactionKind::Withdraw, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
        pReaderName);
}

int32_t CQorvClientATMCtrl::AccountWithdrawSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                                 const ScriptText& pFdChkCode,
                                                 const ScriptText& pMoney,
                                                 const ScriptText& pAccount,
                                                 const ScriptText& pReaderName,
                                                 const ScriptText& pShowMsg) {
    return AuthoriseConfirmed(
        {AmountRequest(TransactionKind::Withdraw, pPCode, pFdid, pFdChkCode, pMoney, pAccount),
         pReaderName, nullptr, pShowMsg});
}

}  // namespace qorv::control
