// Handlers of the guided procedures.
#include "control/qorv_client_atm_ctrl.h"

#include "procedures/common_account.h"

namespace qorv::control {

int32_t CQorvClientATMCtrl::CommAccountProc(const ScriptText& pReaderName,
                                            const ScriptText& pSessionKeyHash,
                                            const ScriptText& pCpukEncSessionKey,
                                            const ScriptText& pCommonInfo) {
    return procedures::CommAccountProc(engine_, ui_, pReaderName, pSessionKeyHash,
                                       pCpukEncSessionKey, pCommonInfo,
                                       {responseData_, encCommAcc_});
}

}  // namespace qorv::control
