#include "host/serve.h"

#include <signal.h>

#include <exception>
#include <string>

#include "base/secure_wipe.h"
#include "control/hresult.h"
#include "control/qorv_client_atm_ctrl.h"
#include "host/input_pump.h"
#include "host/native_messaging.h"
#include "host/protocol.h"
#include "host/test_hooks.h"

namespace qorv::host {

int ServeNativeMessaging(control::CQorvClientATMCtrl& control, dialogs::UserInterface& ui,
                         std::FILE* in, std::FILE* out) {
    // A browser that went away shows as a failed write, not as a signal that
    // would end the host before the reader session is released.
    signal(SIGPIPE, SIG_IGN);
    InputPump input(in, [&ui] { ui.InputEnded(); });
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
        if (!WriteFrame(out, reply)) return 0;  // the browser went away
    }
}

}  // namespace qorv::host
