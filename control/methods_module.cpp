// Dispatch entries of the module version and driver information methods.
#include "control/method_builders.h"

namespace qorv::control {

using Ctrl = CQorvClientATMCtrl;
using Args = CallArgs;

void AddModuleMethods(DispatchTable& table) {
    table.Add({11,
               "GetReaderStatus",
               {LongParam("AttribID")},
               ScriptType::Text,
               [](Ctrl& c, const Args& a) { return Result(c.GetReaderStatus(a.Long(0))); }});
    table.Add({61, "GetAPIVersion", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetAPIVersion());
               }});
    table.Add({66, "ListWinscardInfo", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.ListWinscardInfo());
               }});
    table.Add({67,
               "GetWinscardProperty",
               {LongParam("ListNo")},
               ScriptType::Text,
               [](Ctrl& c, const Args& a) { return Result(c.GetWinscardProperty(a.Long(0))); }});
}

}  // namespace qorv::control
