// Handlers of the transaction methods that open their own session on a named
// reader: confirmed with the PIN from the page (Ex), with the PIN typed on a
// PIN-pad reader after a message box (Snd) or after the confirmation (SndEx),
// and the write of a record the page supplies. The procedures themselves
// are procedures/confirmed_methods.h; each closes the reader session (card
// reset, context released) on every exit after its connect.
#include "control/qorv_client_atm_ctrl.h"
#include "procedures/confirmed_methods.h"

namespace qorv::control {

using card::TransactionKind;

namespace {

// The request of the methods that take a code, terminal, check code, amount
// and account and nothing else (tax payment, withdrawal).
card::TransactionRequest AmountRequest(TransactionKind kind, const ScriptText& pCode,
                                       const ScriptText& fdid, const ScriptText& fdChkCode,
                                       const ScriptText& money, const ScriptText& account) {
    return {
        kind,
        {.pCode = pCode, .fdid = fdid, .fdChkCode = fdChkCode, .money = money, .account = account}};
}

}  // namespace

int32_t CQorvClientATMCtrl::AuthoriseConfirmed(const ConfirmedTransaction& transaction) {
    return procedures::AuthoriseConfirmed({engine_, ui_, transaction_}, transaction);
}

int32_t CQorvClientATMCtrl::AuthoriseOnPinPad(const card::TransactionRequest& request,
                                              const ScriptText& pReaderName) {
    return procedures::AuthoriseOnPinPad({engine_, ui_, transaction_}, request, pReaderName);
}

int32_t CQorvClientATMCtrl::WriteRecordWithSNUMTAC(const ScriptText& pReaderName,
                                                   const ScriptText& pApduCmd,
                                                   const ScriptText& pShowMsg,
                                                   const ScriptText& pPassword) {
    return procedures::WriteRecordConfirmed({engine_, ui_, transaction_}, pReaderName, pApduCmd,
                                            pShowMsg, &pPassword);
}

int32_t CQorvClientATMCtrl::WriteRecordWithSNUMTACSnd(const ScriptText& pReaderName,
                                                      const ScriptText& pApduCmd,
                                                      const ScriptText& pShowMsg) {
    return procedures::WriteRecordConfirmed({engine_, ui_, transaction_}, pReaderName, pApduCmd,
                                            pShowMsg, nullptr);
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
