#include "host/serve.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstring>
#include <exception>
#include <string>

#include "base/secure_wipe.h"
#include "control/hresult.h"
#include "control/qorv_client_atm_ctrl.h"
#include "host/idle_wait.h"
#include "host/native_messaging.h"
#include "host/protocol.h"
#include "host/stack_scrub.h"
#include "host/test_hooks.h"

namespace qorv::host {

void KeepMemoryPrivate() {
    // Not dumpable: no core file, and no ptrace or /proc/<pid>/mem for
    // processes of the same user without the capability to trace.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

namespace {

__attribute__((noinline)) int ServeUntilTheEnd(control::CQorvClientATMCtrl& control,
                                               dialogs::UserInterface& ui, int in, int out) {
    // A browser that went away shows as a failed write, not as a signal that
    // would end the host before the reader session is released.
    signal(SIGPIPE, SIG_IGN);
    IdlingInput input(in, ui);
    for (;;) {
        IncomingFrame frame = input.Next();
        std::string reply;
        switch (frame.status) {
            case FrameStatus::EndOfInput:
                // The caller's control goes with main's scope: the reader
                // session is released and the PC/SC library unloaded.
                return 0;
            case FrameStatus::TooLarge:
                reply = FrameTooLargeReply(frame.size);
                break;
            case FrameStatus::Ok:
                try {
                    if (!HandleTestHook(ui, frame.body, reply)) {
                        reply = HandleRequest(control, frame.body);
                    }
                } catch (const std::exception& e) {
                    reply = ErrorReply(static_cast<int32_t>(0x80004005),
                                       std::string("internal error: ") + e.what());
                }
                SecureWipe(frame.body);  // it may have carried a PIN
                break;
        }
        const bool written = WriteFrame(out, reply);
        SecureWipe(reply);  // it may carry deciphered data
        ScrubDeadStack();
        if (!written) return 0;  // the browser went away
    }
}

}  // namespace

int ServeNativeMessaging(control::CQorvClientATMCtrl& control, dialogs::UserInterface& ui, int in,
                         int out) {
    // A first scrub before any request: the wipe's own first call (binding
    // it spills registers below the area) then happens with no secret around.
    ScrubDeadStack();
    const int rc = ServeUntilTheEnd(control, ui, in, out);
    // The input thread is gone now: a first call on the way (its binding
    // spills registers) may have left something below.
    ScrubDeadStack();
    return rc;
}

}  // namespace qorv::host
