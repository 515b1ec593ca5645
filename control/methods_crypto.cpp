// Dispatch entries of the session establishment and cipher methods.
#include "control/method_binder.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;

void AddCryptoMethods(DispatchTable& table) {
    table.Add(Bind<&Ctrl::VerifyRN1andGenerateRN2>(
        52, "VerifyRN1andGenerateRN2", {"RN1Len", "pCpukEncryptedRN1", "DsigLen", "pSprkSignRN1"}));
    table.Add(Bind<&Ctrl::VerifySessionKeyHash>(56, "VerifySessionKeyHash",
                                                {"pCpukEncSessionKey", "pSessionKeyHash"}));
    table.Add(Bind<&Ctrl::DESEncipher>(
        57, "DESEncipher", {"pSessionKeyHash", "pCpukEncSessionKey", "DataLen", "pData"}));
    table.Add(Bind<&Ctrl::DESDecipher>(
        58, "DESDecipher", {"pSessionKeyHash", "pCpukEncSessionKey", "DataLen", "pData"}));
    table.Add(Bind<&Ctrl::ConvertIntToHex>(59, "ConvertIntToHex", {"inLength", "pInval"}));
    table.Add(Bind<&Ctrl::ConvertHexToInt>(60, "ConvertHexToInt", {"inLength", "pInval"}));
    table.Add(Bind<&Ctrl::DES>(62, "DES", {"Opflag", "KeyLen", "KeyVal", "inData"}));
    table.Add(Bind<&Ctrl::MAC>(63, "MAC", {"KeyLen", "KeyVal", "ICV", "inLen", "inData"}));
}

}  // namespace qorv::control
