// Dispatch entries of the reader-session methods and of the cached-result
// getters that the control answers by itself.
#include "control/method_builders.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;
using Args = CallArgs;

void AddReaderMethods(DispatchTable& table) {
    table.Add({1, "ConnectReader", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.ConnectReader());
               }});
    table.Add({2, "ListReaders", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.ListReaders());
               }});
    table.Add({5, "DisconnectReader", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.DisconnectReader());
               }});
    table.Add({6,
               "ConnectCard",
               {TextParam("pReaderName")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) { return Result(c.ConnectCard(a.Text(0))); }});
    table.Add({7, "DisconnectCard", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.DisconnectCard());
               }});
    table.Add(
        {8,
         "ReConnectCard",
         {TextParam("pReaderName"), LongParam("reset_flag")},
         ScriptType::Long,
         [](Ctrl& c, const Args& a) { return Result(c.ReConnectCard(a.Text(0), a.Long(1))); }});
    table.Add({9, "CheckCardInsert", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.CheckCardInsert());
               }});
}

void AddCachedResultGetters(DispatchTable& table) {
    table.Add({3, "GetReaderNumber", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.GetReaderNumber());
               }});
    table.Add(
        {4, "GetReaderName", {LongParam("Offset")}, ScriptType::Text, [](Ctrl& c, const Args& a) {
             return Result(c.GetReaderName(a.Long(0)));
         }});
    table.Add({10, "GetCardStatus", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetCardStatus());
               }});
    table.Add({49, "GetRespSNUM", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetRespSNUM());
               }});
    table.Add({50, "GetRespTAC", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetRespTAC());
               }});
    table.Add({51, "GetRespDateTime", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetRespDateTime());
               }});
    table.Add({53, "GetEncryptRN2", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetEncryptRN2());
               }});
    table.Add({54, "GetEncryptHashRN2", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetEncryptHashRN2());
               }});
    table.Add({55, "GetSessionKeyHash", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetSessionKeyHash());
               }});
    table.Add({64, "GetRespLength", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.GetRespLength());
               }});
    table.Add({65, "GetRespData", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetRespData());
               }});
    table.Add({111, "GetTransactionIssuer", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetTransactionIssuer());
               }});
    table.Add({112, "GetTransactionRemark", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetTransactionRemark());
               }});
    table.Add({113, "GetTransactionAccount", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetTransactionAccount());
               }});
    table.Add({117, "GetClearImportAccount", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetClearImportAccount());
               }});
    table.Add({118, "GetEncImportAccount", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetEncImportAccount());
               }});
    table.Add({119, "GetClearCommAcc", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetClearCommAcc());
               }});
    table.Add({120, "GetEncCommAcc", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetEncCommAcc());
               }});
}

}  // namespace qorv::control
