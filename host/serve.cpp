#include "host/serve.h"

#include <exception>
#include <string>

#include "base/secure_wipe.h"
#include "control/hresult.h"
#include "control/qorv_client_atm_ctrl.h"
#include "host/native_messaging.h"
#include "host/protocol.h"

namespace qorv::host {

int ServeNativeMessaging(control::CQorvClientATMCtrl& control, std::FILE* in, std::FILE* out) {
    FrameReader reader(in);
    std::string request;
    for (;;) {
        std::string reply;
        switch (reader.Next(request)) {
            case FrameStatus::EndOfInput:
                // The caller's control goes with main's scope: the reader
                // session is released and the PC/SC library unloaded.
                return 0;
            case FrameStatus::TooLarge:
                reply = FrameTooLargeReply(reader.lastFrameSize());
                break;
            case FrameStatus::Ok:
                try {
                    reply = HandleRequest(control, request);
                } catch (const std::exception& e) {
                    reply = ErrorReply(static_cast<int32_t>(0x80004005),
                                       std::string("internal error: ") + e.what());
                }
                SecureWipe(request);  // it may have carried a PIN
                break;
        }
        if (!WriteFrame(out, reply)) return 0;  // the browser went away
    }
}

}  // namespace qorv::host
