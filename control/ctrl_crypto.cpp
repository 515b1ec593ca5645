// Handlers of the key agreement and cipher methods: the engine does the
// work; the control keeps the session texts and the response data.
#include "control/qorv_client_atm_ctrl.h"
#include "crypto/des_operations.h"
#include "crypto/session.h"

namespace qorv::control {

int32_t CQorvClientATMCtrl::VerifyRN1andGenerateRN2(int32_t rn1Len,
                                                    const ScriptText& pCpukEncryptedRN1,
                                                    int32_t dsigLen,
                                                    const ScriptText& pSprkSignRN1) {
    return crypto::VerifyRN1andGenerateRN2(rn1Len, pCpukEncryptedRN1, dsigLen, pSprkSignRN1,
                                           exchange_);
}

int32_t CQorvClientATMCtrl::VerifySessionKeyHash(const ScriptText& pCpukEncSessionKey,
                                                 const ScriptText& pSessionKeyHash) {
    return crypto::VerifySessionKeyHash(pCpukEncSessionKey, pSessionKeyHash);
}

int32_t CQorvClientATMCtrl::DESEncipher(const ScriptText& pSessionKeyHash,
                                        const ScriptText& pCpukEncSessionKey, int32_t dataLen,
                                        const ScriptText& pData) {
    return crypto::DesEncipherOperation(pSessionKeyHash, pCpukEncSessionKey, dataLen, pData,
                                        responseData_);
}

int32_t CQorvClientATMCtrl::DESDecipher(const ScriptText& pSessionKeyHash,
                                        const ScriptText& pCpukEncSessionKey, int32_t dataLen,
                                        const ScriptText& pData) {
    return crypto::DesDecipherOperation(pSessionKeyHash, pCpukEncSessionKey, dataLen, pData,
                                        responseData_);
}

ScriptText CQorvClientATMCtrl::ConvertIntToHex(int32_t inLength, const ScriptText& pInval) {
    return crypto::ConvertIntToHex(inLength, pInval);
}

ScriptText CQorvClientATMCtrl::ConvertHexToInt(int32_t inLength, const ScriptText& pInval) {
    return crypto::ConvertHexToInt(inLength, pInval);
}

int32_t CQorvClientATMCtrl::DES(int32_t opflag, int32_t keyLen, const ScriptText& keyVal,
                                const ScriptText& inData) {
    return crypto::DesOperation(opflag, keyLen, keyVal, inData, responseData_);
}

int32_t CQorvClientATMCtrl::MAC(int32_t keyLen, const ScriptText& keyVal, const ScriptText& icv,
                                int32_t inLen, const ScriptText& inData) {
    return crypto::MacOperation(keyLen, keyVal, icv, inLen, inData, responseData_);
}

}  // namespace qorv::control
