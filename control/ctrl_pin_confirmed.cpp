// Handlers of the PIN methods that confirm first or leave the PIN to a
// PIN-pad reader (procedures/confirmed_methods.h). They work on the current
// reader and leave its session open.
#include "control/qorv_client_atm_ctrl.h"
#include "procedures/confirmed_methods.h"

namespace qorv::control {

int32_t CQorvClientATMCtrl::VerifyPINEx(const ScriptText& pPwdStr, const ScriptText& pShowMsgStr) {
    return procedures::VerifyPinConfirmed(engine_, ui_, currentReaderIndex_, &pPwdStr, pShowMsgStr);
}

int32_t CQorvClientATMCtrl::VerifyPINSnd() {
    return procedures::VerifyPinOnPadPrompted(engine_, ui_, currentReaderIndex_);
}

int32_t CQorvClientATMCtrl::VerifyPINSndEx(const ScriptText& pShowMsgStr) {
    return procedures::VerifyPinConfirmed(engine_, ui_, currentReaderIndex_, nullptr, pShowMsgStr);
}

int32_t CQorvClientATMCtrl::ChangePINEx(const ScriptText& pOldPwdStr, const ScriptText& pNewPwdStr,
                                        const ScriptText& pShowMsgStr,
                                        const ScriptText& pAccountNo) {
    return procedures::ChangePinConfirmed(engine_, ui_, currentReaderIndex_, &pOldPwdStr,
                                          &pNewPwdStr, &pShowMsgStr, pAccountNo);
}

int32_t CQorvClientATMCtrl::ChangePINSnd(const ScriptText& pAccountNo) {
    return procedures::ChangePinConfirmed(engine_, ui_, currentReaderIndex_, nullptr, nullptr,
                                          nullptr, pAccountNo);
}

int32_t CQorvClientATMCtrl::ChangePINSndEx(const ScriptText& pShowMsgStr,
                                           const ScriptText& pAccountNo) {
    return procedures::ChangePinConfirmed(engine_, ui_, currentReaderIndex_, nullptr, nullptr,
                                          &pShowMsgStr, pAccountNo);
}

}  // namespace qorv::control
