// The native-messaging loop: one control for the life of the process,
// requests served one at a time, in the order they came, until the browser
// closes standard input. The input is read on a thread of its own, so the
// end of input also ends a dialog that is open at that moment.
#pragma once

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"

namespace qorv::host {

// Returns the exit code: 0 after the end of input.
// Serves `control` until the input ends; `ui` learns when it does, so an open
// dialog ends as cancelled.
int ServeNativeMessaging(control::CQorvClientATMCtrl& control, dialogs::UserInterface& ui, int in,
                         int out);

// Keeps the process's memory out of core dumps and away from debuggers of the
// same user: called first thing in the host, before any secret is read.
void KeepMemoryPrivate();

}  // namespace qorv::host
