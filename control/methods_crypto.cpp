// Dispatch entries of the session establishment and cipher methods.
#include "control/method_builders.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;
using Args = CallArgs;

void AddCryptoMethods(DispatchTable& table) {
    table.Add({52,
               "VerifyRN1andGenerateRN2",
               {LongParam("RN1Len"), TextParam("pCpukEncryptedRN1"), LongParam("DsigLen"),
                TextParam("pSprkSignRN1")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(
                       c.VerifyRN1andGenerateRN2(a.Long(0), a.Text(1), a.Long(2), a.Text(3)));
               }});
    table.Add({56,
               "VerifySessionKeyHash",
               {TextParam("pCpukEncSessionKey"), TextParam("pSessionKeyHash")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.VerifySessionKeyHash(a.Text(0), a.Text(1)));
               }});
    table.Add({57,
               "DESEncipher",
               {TextParam("pSessionKeyHash"), TextParam("pCpukEncSessionKey"), LongParam("DataLen"),
                TextParam("pData")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.DESEncipher(a.Text(0), a.Text(1), a.Long(2), a.Text(3)));
               }});
    table.Add({58,
               "DESDecipher",
               {TextParam("pSessionKeyHash"), TextParam("pCpukEncSessionKey"), LongParam("DataLen"),
                TextParam("pData")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.DESDecipher(a.Text(0), a.Text(1), a.Long(2), a.Text(3)));
               }});
    table.Add(
        {59,
         "ConvertIntToHex",
         {LongParam("inLength"), TextParam("pInval")},
         ScriptType::Text,
         [](Ctrl& c, const Args& a) { return Result(c.ConvertIntToHex(a.Long(0), a.Text(1))); }});
    table.Add(
        {60,
         "ConvertHexToInt",
         {LongParam("inLength"), TextParam("pInval")},
         ScriptType::Text,
         [](Ctrl& c, const Args& a) { return Result(c.ConvertHexToInt(a.Long(0), a.Text(1))); }});
    table.Add({62,
               "DES",
               {LongParam("Opflag"), LongParam("KeyLen"), TextParam("KeyVal"), TextParam("inData")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.DES(a.Long(0), a.Long(1), a.Text(2), a.Text(3)));
               }});
    table.Add({63,
               "MAC",
               {LongParam("KeyLen"), TextParam("KeyVal"), TextParam("ICV"), LongParam("inLen"),
                TextParam("inData")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.MAC(a.Long(0), a.Text(1), a.Text(2), a.Long(3), a.Text(4)));
               }});
}

}  // namespace qorv::control
