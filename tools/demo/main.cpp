// qorv-demo: the demo bank's page runs a whole transfer with the component
// through the real stack: a private pcscd with a vpcd reader, the simulated
// FISC card, qorvclientatm-host, the extension in Chromium, and the bank
// simulator that serves the page and checks the card's TAC.
//
//   qorv-demo              headless Chromium; prints the page's steps and outcome
//   qorv-demo --headed     a visible Chromium window, open until it is closed
//   qorv-demo --console    the host driven directly, every call printed
//   qorv-demo --confirmed  the confirmed transfer: the host's confirmation
//                          dialog, the card taken out and put back, OK
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tools/demo/browser_session.h"
#include "tools/demo/console_session.h"
#include "tools/demo/demo_options.h"

namespace {

using qorv::demo::DemoMode;
using qorv::demo::DemoOptions;

bool ParseOptions(int argc, char** argv, DemoOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--headed") {
            options.mode = DemoMode::Headed;
        } else if (arg == "--confirmed") {
            options.confirmed = true;
        } else if (arg == "--console") {
            options.mode = DemoMode::Console;
        } else if (arg == "--t0") {
            options.protocol = qorv::testbed::CardProtocol::T0;
        } else if (arg == "--t1") {
            options.protocol = qorv::testbed::CardProtocol::T1;
        } else if (arg == "--profile" && i + 1 < argc) {
            options.profile = argv[++i];
        } else if (arg == "--reader" && i + 1 < argc) {
            options.reader = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: qorv-demo [--headed|--console] [--confirmed] [--t0|--t1] "
                         "[--profile FILE.json] [--reader NAME]\n");
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (geteuid() != 0) {
        std::fprintf(
            stderr,
            "qorv-demo starts a private pcscd in its own mount namespace and needs root.\n");
        return qorv::demo::kCannotRunHere;
    }
    return options.mode == DemoMode::Console ? qorv::demo::RunConsoleSession(options)
                                             : qorv::demo::RunBrowserSession(options);
}
