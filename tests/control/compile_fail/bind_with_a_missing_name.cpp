// Must not compile: ChangePIN takes two parameters, the list names one.
#include "control/method_binder.h"

namespace qorv::control {

MethodEntry ChangePinWithOneName() {
    return Bind<&CQorvClientATMCtrl::ChangePIN>(25, "ChangePIN", {"pOldPwdStr"});
}

}  // namespace qorv::control
