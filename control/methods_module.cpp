// Dispatch entries of the module version and driver information methods.
#include "control/method_binder.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;

void AddModuleMethods(DispatchTable& table) {
    table.Add(Bind<&Ctrl::GetReaderStatus>(11, "GetReaderStatus", {"AttribID"}));
    table.Add(Bind<&Ctrl::GetAPIVersion>(61, "GetAPIVersion"));
    table.Add(Bind<&Ctrl::ListWinscardInfo>(66, "ListWinscardInfo"));
    table.Add(Bind<&Ctrl::GetWinscardProperty>(67, "GetWinscardProperty", {"ListNo"}));
}

}  // namespace qorv::control
