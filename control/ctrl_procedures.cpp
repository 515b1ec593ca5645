// Handlers of the guided procedures.
#include "control/qorv_client_atm_ctrl.h"

#include "base/secure_wipe.h"
#include "procedures/common_account.h"
#include "procedures/transfer_procedure.h"

namespace qorv::control {

int32_t CQorvClientATMCtrl::CommAccountProc(const ScriptText& pReaderName,
                                            const ScriptText& pSessionKeyHash,
                                            const ScriptText& pCpukEncSessionKey,
                                            const ScriptText& pCommonInfo) {
    return procedures::CommAccountProc(engine_, ui_, pReaderName, pSessionKeyHash,
                                       pCpukEncSessionKey, pCommonInfo,
                                       {responseData_, encCommAcc_});
}

namespace {

// The procedure takes its arguments by value; the copies of the PIN and the
// session values are wiped once it is done.
void WipeArguments(procedures::TransferProcArguments& args) {
    for (ScriptText* text : {&args.pPassword, &args.pSessionKeyHash, &args.pCpukEncSessionKey}) {
        if (*text) SecureWipe(**text);
    }
}

}  // namespace

int32_t CQorvClientATMCtrl::TransferProc(const ScriptText& pPCode, const ScriptText& pFdid,
                                         const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                         const ScriptText& pAccount, const ScriptText& pReaderName,
                                         const ScriptText& pPassword, const ScriptText& pShowMsg,
                                         const ScriptText& pSessionKeyHash,
                                         const ScriptText& pCpukEncSessionKey,
                                         const ScriptText& CommonInfo,
                                         const ScriptText& ServiceType) {
    procedures::TransferProcArguments args{
        pPCode,      pFdid,      pFdChkCode, pMoney,          pAccount,
        pReaderName, pPassword,  pShowMsg,   pSessionKeyHash, pCpukEncSessionKey,
        CommonInfo,  ServiceType};
    const int32_t rc = transfer_.TransferProc(args, transaction_);
    WipeArguments(args);
    return rc;
}

int32_t CQorvClientATMCtrl::TransferProcSnd(
    const ScriptText& pPCode, const ScriptText& pFdid, const ScriptText& pFdChkCode,
    const ScriptText& pMoney, const ScriptText& pAccount, const ScriptText& pReaderName,
    const ScriptText& pShowMsg, const ScriptText& pSessionKeyHash,
    const ScriptText& pCpukEncSessionKey, const ScriptText& CommonInfo,
    const ScriptText& ServiceType) {
    procedures::TransferProcArguments args{
        pPCode,      pFdid,        pFdChkCode, pMoney,          pAccount,
        pReaderName, std::nullopt, pShowMsg,   pSessionKeyHash, pCpukEncSessionKey,
        CommonInfo,  ServiceType};
    const int32_t rc = transfer_.TransferProcSnd(args, transaction_);
    WipeArguments(args);
    return rc;
}

}  // namespace qorv::control
