// What qorv-demo was asked to run: the bank page in a browser (headless or
// for a person to watch) or the console session, against which card.
#pragma once

#include <string>

#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::demo {

enum class DemoMode { Headless, Headed, Console };

// Which of the page's paths the automatic run takes.
enum class DemoPath {
    Transfer,           // AccountTransfer, the PIN from the page
    ConfirmedTransfer,  // AccountTransferEx: the confirmation dialog first
    GuidedTransfer,     // TransferProc: the transfer account dialog, then the confirmation
    CommonAccount,      // CommAccountProc: the multi-field form, then the confirmation
};

// The path's option of qorv-demo and of browser-demo.mjs without its "--",
// which is also the page's query word ("" for the plain transfer).
inline const char* PathWord(DemoPath path) {
    switch (path) {
        case DemoPath::Transfer:
            return "";
        case DemoPath::ConfirmedTransfer:
            return "confirmed";
        case DemoPath::GuidedTransfer:
            return "guided-transfer";
        case DemoPath::CommonAccount:
            return "common-account";
    }
    return "";
}

struct DemoOptions {
    DemoMode mode = DemoMode::Headless;
    testbed::CardProtocol protocol = testbed::CardProtocol::T1;
    std::string profile = testbed::DefaultProfilePath();
    std::string reader = "Virtual PCD";
    // Every path but the plain transfer shows the host's windows; headless, a
    // scripted person acts in them.
    DemoPath path = DemoPath::Transfer;
    // Headless: the scripted person's script file instead of the path's own.
    std::string person;
    // The confirmed transfer on a PIN-pad reader with secure PIN entry of its
    // own (PC/SC part 10): the customer types the PIN on the reader's keypad.
    bool pinPad = false;
};

// qorv-demo exits with this when it cannot run here (not root, no browser):
// CTest reads it as a skip.
constexpr int kCannotRunHere = 77;

}  // namespace qorv::demo
