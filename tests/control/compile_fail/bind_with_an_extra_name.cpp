// Must not compile: GetReaderNumber takes no parameter, the list names one.
#include "control/method_binder.h"

namespace qorv::control {

MethodEntry GetReaderNumberWithAName() {
    return Bind<&CQorvClientATMCtrl::GetReaderNumber>(3, "GetReaderNumber", {"Offset"});
}

}  // namespace qorv::control
