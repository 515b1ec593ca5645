// The native-messaging loop: one control for the life of the process,
// requests served one at a time until the browser closes standard input.
#pragma once

#include <cstdio>

#include "control/qorv_client_atm_ctrl.h"

namespace qorv::host {

// Returns the exit code: 0 after the end of input.
int ServeNativeMessaging(control::CQorvClientATMCtrl& control, std::FILE* in, std::FILE* out);

}  // namespace qorv::host
