// Dispatch entries of the reader-session methods and of the cached-result
// getters that the control answers by itself.
#include "control/method_binder.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;

void AddReaderMethods(DispatchTable& table) {
    table.Add(Bind<&Ctrl::ConnectReader>(1, "ConnectReader"));
    table.Add(Bind<&Ctrl::ListReaders>(2, "ListReaders"));
    table.Add(Bind<&Ctrl::DisconnectReader>(5, "DisconnectReader"));
    table.Add(Bind<&Ctrl::ConnectCard>(6, "ConnectCard", {"pReaderName"}));
    table.Add(Bind<&Ctrl::DisconnectCard>(7, "DisconnectCard"));
    table.Add(Bind<&Ctrl::ReConnectCard>(8, "ReConnectCard", {"pReaderName", "reset_flag"}));
    table.Add(Bind<&Ctrl::CheckCardInsert>(9, "CheckCardInsert"));
}

void AddCachedResultGetters(DispatchTable& table) {
    table.Add(Bind<&Ctrl::GetReaderNumber>(3, "GetReaderNumber"));
    table.Add(Bind<&Ctrl::GetReaderName>(4, "GetReaderName", {"Offset"}));
    table.Add(Bind<&Ctrl::GetCardStatus>(10, "GetCardStatus"));
    table.Add(Bind<&Ctrl::GetRespSNUM>(49, "GetRespSNUM"));
    table.Add(Bind<&Ctrl::GetRespTAC>(50, "GetRespTAC"));
    table.Add(Bind<&Ctrl::GetRespDateTime>(51, "GetRespDateTime"));
    table.Add(Bind<&Ctrl::GetEncryptRN2>(53, "GetEncryptRN2"));
    table.Add(Bind<&Ctrl::GetEncryptHashRN2>(54, "GetEncryptHashRN2"));
    table.Add(Bind<&Ctrl::GetSessionKeyHash>(55, "GetSessionKeyHash"));
    table.Add(Bind<&Ctrl::GetRespLength>(64, "GetRespLength"));
    table.Add(Bind<&Ctrl::GetRespData>(65, "GetRespData"));
    table.Add(Bind<&Ctrl::GetTransactionIssuer>(111, "GetTransactionIssuer"));
    table.Add(Bind<&Ctrl::GetTransactionRemark>(112, "GetTransactionRemark"));
    table.Add(Bind<&Ctrl::GetTransactionAccount>(113, "GetTransactionAccount"));
    table.Add(Bind<&Ctrl::GetClearImportAccount>(117, "GetClearImportAccount"));
    table.Add(Bind<&Ctrl::GetEncImportAccount>(118, "GetEncImportAccount"));
    table.Add(Bind<&Ctrl::GetClearCommAcc>(119, "GetClearCommAcc"));
    table.Add(Bind<&Ctrl::GetEncCommAcc>(120, "GetEncCommAcc"));
}

}  // namespace qorv::control
