// Handlers of the key agreement and cipher methods: the engine does the
// work; the control keeps the session texts and the response data.
#include "base/secure_wipe.h"
#include "control/qorv_client_atm_ctrl.h"
#include "crypto/des_operations.h"
#include "crypto/session.h"

namespace qorv::control {
namespace {

// The operations write their output only on success. It goes into a fresh
// text first; the response data it replaces (deciphered data, perhaps) is
// wiped before its storage is given back.
template <typename Operation>
int32_t IntoResponseData(std::u16string& responseData, Operation&& operation) {
    std::u16string fresh;
    const int32_t rc = operation(fresh);
    if (rc == 0) {
        SecureWipe(responseData);
        responseData.swap(fresh);
    }
    SecureWipe(fresh);
    return rc;
}

}  // namespace

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
    return IntoResponseData(responseData_, [&](std::u16string& out) {
        return crypto::DesEncipherOperation(pSessionKeyHash, pCpukEncSessionKey, dataLen, pData,
                                            out);
    });
}

int32_t CQorvClientATMCtrl::DESDecipher(const ScriptText& pSessionKeyHash,
                                        const ScriptText& pCpukEncSessionKey, int32_t dataLen,
                                        const ScriptText& pData) {
    return IntoResponseData(responseData_, [&](std::u16string& out) {
        return crypto::DesDecipherOperation(pSessionKeyHash, pCpukEncSessionKey, dataLen, pData,
                                            out);
    });
}

ScriptText CQorvClientATMCtrl::ConvertIntToHex(int32_t inLength, const ScriptText& pInval) {
    return crypto::ConvertIntToHex(inLength, pInval);
}

ScriptText CQorvClientATMCtrl::ConvertHexToInt(int32_t inLength, const ScriptText& pInval) {
    return crypto::ConvertHexToInt(inLength, pInval);
}

int32_t CQorvClientATMCtrl::DES(int32_t opflag, int32_t keyLen, const ScriptText& keyVal,
                                const ScriptText& inData) {
    return IntoResponseData(responseData_, [&](std::u16string& out) {
        return crypto::DesOperation(opflag, keyLen, keyVal, inData, out);
    });
}

int32_t CQorvClientATMCtrl::MAC(int32_t keyLen, const ScriptText& keyVal, const ScriptText& icv,
                                int32_t inLen, const ScriptText& inData) {
    return IntoResponseData(responseData_, [&](std::u16string& out) {
        return crypto::MacOperation(keyLen, keyVal, icv, inLen, inData, out);
    });
}

}  // namespace qorv::control
