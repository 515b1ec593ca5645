// Dispatch entries of the confirmed and PIN-pad methods.
#include "control/method_binder.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;

void AddConfirmedMethods(DispatchTable& table) {
    table.Add(Bind<&Ctrl::VerifyPINEx>(22, "VerifyPINEx", {"pPwdStr", "pShowMsgStr"}));
    table.Add(Bind<&Ctrl::VerifyPINSnd>(23, "VerifyPINSnd"));
    table.Add(Bind<&Ctrl::VerifyPINSndEx>(24, "VerifyPINSndEx", {"pShowMsgStr"}));
    table.Add(Bind<&Ctrl::ChangePINEx>(26, "ChangePINEx",
                                       {"pOldPwdStr", "pNewPwdStr", "pShowMsgStr", "pAccountNo"}));
    table.Add(Bind<&Ctrl::ChangePINSnd>(27, "ChangePINSnd", {"pAccountNo"}));
    table.Add(Bind<&Ctrl::ChangePINSndEx>(28, "ChangePINSndEx", {"pShowMsgStr", "pAccountNo"}));
    table.Add(Bind<&Ctrl::AccountInquiryEx>(
        30, "AccountInquiryEx",
        {"pPCode", "pFdChkCode", "pAccountNumber", "pReaderName", "pPassword", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountInquirySnd>(
        31, "AccountInquirySnd", {"pPCode", "pFdChkCode", "pAccountNumber", "pReaderName"}));
    table.Add(Bind<&Ctrl::AccountInquirySndEx>(
        32, "AccountInquirySndEx",
        {"pPCode", "pFdChkCode", "pAccountNumber", "pReaderName", "pShowMsg"}));
    table.Add(
        Bind<&Ctrl::AccountTransferEx>(34, "AccountTransferEx",
                                       {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pImprtAccnt",
                                        "pAccount", "pReaderName", "pPassword", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountTransferSnd>(
        35, "AccountTransferSnd",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pImprtAccnt", "pAccount", "pReaderName"}));
    table.Add(
        Bind<&Ctrl::AccountTransferSndEx>(36, "AccountTransferSndEx",
                                          {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pImprtAccnt",
                                           "pAccount", "pReaderName", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountPaymentEx>(
        38, "AccountPaymentEx",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pPaymentType", "pCancelNo", "pAccount",
         "pReaderName", "pPassword", "pShowMsg"}));
    table.Add(
        Bind<&Ctrl::AccountPaymentSnd>(39, "AccountPaymentSnd",
                                       {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pPaymentType",
                                        "pCancelNo", "pAccount", "pReaderName"}));
    table.Add(
        Bind<&Ctrl::AccountPaymentSndEx>(40, "AccountPaymentSndEx",
                                         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pPaymentType",
                                          "pCancelNo", "pAccount", "pReaderName", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountPayTaxEx>(42, "AccountPayTaxEx",
                                           {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount",
                                            "pReaderName", "pPassword", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountPayTaxSnd>(
        43, "AccountPayTaxSnd",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName"}));
    table.Add(Bind<&Ctrl::AccountPayTaxSndEx>(
        44, "AccountPayTaxSndEx",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountWithdrawEx>(46, "AccountWithdrawEx",
                                             {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount",
                                              "pReaderName", "pPassword", "pShowMsg"}));
    table.Add(Bind<&Ctrl::AccountWithdrawSnd>(
        47, "AccountWithdrawSnd",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName"}));
    table.Add(Bind<&Ctrl::AccountWithdrawSndEx>(
        48, "AccountWithdrawSndEx",
        {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount", "pReaderName", "pShowMsg"}));
    table.Add(Bind<&Ctrl::WriteRecordWithSNUMTAC>(
        121, "WriteRecordWithSNUMTAC", {"pReaderName", "pApduCmd", "pShowMsg", "pPassword"}));
    table.Add(Bind<&Ctrl::WriteRecordWithSNUMTACSnd>(122, "WriteRecordWithSNUMTACSnd",
                                                     {"pReaderName", "pApduCmd", "pShowMsg"}));
}

}  // namespace qorv::control
