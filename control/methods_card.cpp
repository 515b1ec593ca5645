// Dispatch entries of the card data, PIN and transaction methods.
#include "control/method_binder.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;

void AddCardMethods(DispatchTable& table) {
    table.Add(Bind<&Ctrl::ListEF1001Accounts>(12, "ListEF1001Accounts"));
    table.Add(Bind<&Ctrl::GetEF1001TotalAccounts>(13, "GetEF1001TotalAccounts"));
    table.Add(Bind<&Ctrl::GetEF1001Account>(14, "GetEF1001Account", {"AccountNo"}));
    table.Add(Bind<&Ctrl::ListEF1002Accounts>(15, "ListEF1002Accounts"));
    table.Add(Bind<&Ctrl::GetEF1002TotalAccounts>(16, "GetEF1002TotalAccounts"));
    table.Add(Bind<&Ctrl::GetEF1002Account>(17, "GetEF1002Account", {"AccountNo"}));
    table.Add(Bind<&Ctrl::GetIssuerBank>(18, "GetIssuerBank"));
    table.Add(Bind<&Ctrl::GetICCRemark>(19, "GetICCRemark"));
    table.Add(Bind<&Ctrl::ReadCardSN>(20, "ReadCardSN"));
    table.Add(Bind<&Ctrl::VerifyPIN>(21, "VerifyPIN", {"pPwdStr"}));
    table.Add(Bind<&Ctrl::ChangePIN>(25, "ChangePIN", {"pOldPwdStr", "pNewPwdStr"}));
    table.Add(Bind<&Ctrl::AccountInquiry>(29, "AccountInquiry",
                                          {"pPCode", "pFdChkCode", "pAccountNumber"}));
    table.Add(Bind<&Ctrl::AccountTransfer>(
        33, "AccountTransfer",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pImprtAccnt", "pAccount"}));
    table.Add(Bind<&Ctrl::AccountPayment>(
        37, "AccountPayment",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pPaymentType", "pCancelNo", "pAccount"}));
    table.Add(Bind<&Ctrl::AccountPayTax>(41, "AccountPayTax",
                                         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount"}));
    table.Add(Bind<&Ctrl::AccountWithdraw>(
        45, "AccountWithdraw", {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount"}));
    table.Add(Bind<&Ctrl::CommAccountProc>(
        116, "CommAccountProc",
        {"pReaderName", "pSessionKeyHash", "pCpukEncSessionKey", "pCommonInfo"}));
    table.Add(Bind<&Ctrl::TransferProc>(
        114, "TransferProc",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName", "pPassword",
         "pShowMsg", "pSessionKeyHash", "pCpukEncSessionKey", "CommonInfo", "ServiceType"}));
    table.Add(Bind<&Ctrl::TransferProcSnd>(
        115, "TransferProcSnd",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName", "pShowMsg",
         "pSessionKeyHash", "pCpukEncSessionKey", "CommonInfo", "ServiceType"}));
}

}  // namespace qorv::control
