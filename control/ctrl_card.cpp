// Handlers of the card data, PIN and transaction methods: each forwards to
// one engine operation on the current reader and keeps its text results.
#include "control/qorv_client_atm_ctrl.h"

namespace qorv::control {
namespace {

ScriptText AccountAt(const std::array<std::u16string, kAccountSlots>& accounts, int32_t accountNo) {
    if (accountNo < 0 || accountNo >= static_cast<int32_t>(kAccountSlots)) return std::nullopt;
    const std::u16string& account = accounts[static_cast<std::size_t>(accountNo)];
    if (account.empty()) return std::nullopt;
    return account;
}

}  // namespace

int32_t CQorvClientATMCtrl::ListEF1001Accounts() {
    return engine_.ListEF1001Accounts(currentReaderIndex_, ef1001Accounts_, ef1001Count_);
}

int32_t CQorvClientATMCtrl::GetEF1001TotalAccounts() {
    return ef1001Count_ == 0 ? -1 : ef1001Count_;
}

ScriptText CQorvClientATMCtrl::GetEF1001Account(int32_t accountNo) const {
    return AccountAt(ef1001Accounts_, accountNo);
}

int32_t CQorvClientATMCtrl::ListEF1002Accounts() {
    return engine_.ListEF1002Accounts(currentReaderIndex_, ef1002Accounts_, ef1002Count_);
}

int32_t CQorvClientATMCtrl::GetEF1002TotalAccounts() {
    return ef1002Count_ == 0 ? -1 : ef1002Count_;
}

ScriptText CQorvClientATMCtrl::GetEF1002Account(int32_t accountNo) const {
    return AccountAt(ef1002Accounts_, accountNo);
}

// Issuer and remark answer with whatever text the engine produced, an empty
// string after a failure; the engine's result is not reported.
ScriptText CQorvClientATMCtrl::GetIssuerBank() {
    card::CardBytes issuer;
    engine_.GetIssuerBank(currentReaderIndex_, issuer);
    return dataProcess_.BytesToText(issuer);
}

ScriptText CQorvClientATMCtrl::GetICCRemark() {
    card::CardBytes remark;
    engine_.GetICCRemark(currentReaderIndex_, remark);
    return dataProcess_.BytesToHex(remark);
}

ScriptText CQorvClientATMCtrl::ReadCardSN() {
    card::CardBytes serial;
    if (engine_.ReadCardSN(currentReaderIndex_, serial) != 0) return std::nullopt;
    return dataProcess_.BytesToHex(serial);
}

int32_t CQorvClientATMCtrl::VerifyPIN(const ScriptText& pPwdStr) {
    return engine_.VerifyPIN(currentReaderIndex_, pPwdStr);
}

int32_t CQorvClientATMCtrl::ChangePIN(const ScriptText& pOldPwdStr, const ScriptText& pNewPwdStr) {
    return engine_.ChangePIN(currentReaderIndex_, pOldPwdStr, pNewPwdStr);
}

int32_t CQorvClientATMCtrl::AuthoriseOnCurrentCard(card::TransactionKind kind,
                                                   const card::TransactionFields& fields) {
    const card::TransactionRequest request{kind, fields};
    return engine_.Authorise(currentReaderIndex_, request, transaction_);
}

int32_t CQorvClientATMCtrl::AccountInquiry(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                                           const ScriptText& pAccountNumber) {
    return AuthoriseOnCurrentCard(
        card::TransactionKind::Inquiry,
        {.pCode = pPCode, .fdChkCode = pFdChkCode, .account = pAccountNumber});
}

int32_t CQorvClientATMCtrl::AccountTransfer(const ScriptText& pPCode, const ScriptText& pFdid,
                                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                            const ScriptText& pImprtAccnt,
                                            const ScriptText& pAccount) {
    return AuthoriseOnCurrentCard(card::TransactionKind::Transfer, {.pCode = pPCode,
                                                                    .fdid = pFdid,
                                                                    .fdChkCode = pFdChkCode,
                                                                    .money = pMoney,
                                                                    .imprtAccnt = pImprtAccnt,
                                                                    .account = pAccount});
}

int32_t CQorvClientATMCtrl::AccountPayment(const ScriptText& pPCode, const ScriptText& pFdid,
                                           const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                           const ScriptText& pPaymentType,
                                           const ScriptText& pCancelNo,
                                           const ScriptText& pAccount) {
    return AuthoriseOnCurrentCard(card::TransactionKind::Payment, {.pCode = pPCode,
                                                                   .fdid = pFdid,
                                                                   .fdChkCode = pFdChkCode,
                                                                   .money = pMoney,
                                                                   .paymentType = pPaymentType,
                                                                   .cancelNo = pCancelNo,
                                                                   .account = pAccount});
}

int32_t CQorvClientATMCtrl::AccountPayTax(const ScriptText& pPCode, const ScriptText& pFdid,
                                          const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                          const ScriptText& pAccount) {
    return AuthoriseOnCurrentCard(card::TransactionKind::PayTax, {.pCode = pPCode,
                                                                  .fdid = pFdid,
                                                                  .fdChkCode = pFdChkCode,
                                                                  .money = pMoney,
                                                                  .account = pAccount});
}

int32_t CQorvClientATMCtrl::AccountWithdraw(const ScriptText& pPCode, const ScriptText& pFdid,
                                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                            const ScriptText& pAccount) {
    return AuthoriseOnCurrentCard(card::TransactionKind::Withdraw, {.pCode = pPCode,
                                                                    .fdid = pFdid,
                                                                    .fdChkCode = pFdChkCode,
                                                                    .money = pMoney,
                                                                    .account = pAccount});
}

}  // namespace qorv::control
