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
//   qorv-demo --guided-transfer  the guided transfer: the customer chooses the
//                          transfer-in account in the host's transfer dialog,
//                          then confirms as above; the bank deciphers the choice
//   qorv-demo --common-account   adding a common account: the host's form
//                          (with the card PIN), confirmed as above, read by the bank
//   qorv-demo --pinpad     the confirmed transfer on a part 10 PIN-pad reader:
//                          the PIN typed on the reader's keypad, not on the page
//   --person SCRIPT        headless, the scripted person's script for the
//                          host's windows instead of the path's own
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tools/demo/browser_session.h"
#include "tools/demo/console_session.h"
#include "tools/demo/demo_options.h"

namespace {

using qorv::demo::DemoMode;
using qorv::demo::DemoOptions;
using qorv::demo::DemoPath;

constexpr char kUsage[] =
    "usage: qorv-demo [--headed|--console] "
    "[--confirmed|--pinpad|--guided-transfer|--common-account] "
    "[--t0|--t1] [--profile FILE.json] [--reader NAME] [--person SCRIPT]\n";

// The page's path named by `arg`, if it names one.
bool PathOption(const std::string& arg, DemoPath& path) {
    for (const DemoPath candidate :
         {DemoPath::ConfirmedTransfer, DemoPath::GuidedTransfer, DemoPath::CommonAccount}) {
        if (arg == std::string("--") + qorv::demo::PathWord(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

bool ParseOptions(int argc, char** argv, DemoOptions& options) {
    bool pathGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        DemoPath path = DemoPath::Transfer;
        if (arg == "--headed") {
            options.mode = DemoMode::Headed;
        } else if (PathOption(arg, path)) {
            if (pathGiven && path != options.path) {
                std::fprintf(stderr, "qorv-demo runs one path: %s and --%s\n", arg.c_str(),
                             qorv::demo::PathWord(options.path));
                return false;
            }
            options.path = path;
            pathGiven = true;
        } else if (arg == "--pinpad") {
            options.pinPad = true;
        } else if (arg == "--console") {
            options.mode = DemoMode::Console;
        } else if (arg == "--t0") {
            options.protocol = qorv::testbed::CardProtocol::T0;
        } else if (arg == "--t1") {
            options.protocol = qorv::testbed::CardProtocol::T1;
        } else if (arg == "--profile" && i + 1 < argc) {
            options.profile = argv[++i];
        } else if (arg == "--person" && i + 1 < argc) {
            options.person = argv[++i];
        } else if (arg == "--reader" && i + 1 < argc) {
            options.reader = argv[++i];
        } else {
            std::fputs(kUsage, stderr);
            return false;
        }
    }
    if (options.pinPad) {
        if (pathGiven && options.path != DemoPath::ConfirmedTransfer) {
            std::fprintf(stderr, "--pinpad runs the confirmed transfer, not --%s\n",
                         qorv::demo::PathWord(options.path));
            return false;
        }
        options.path = DemoPath::ConfirmedTransfer;
        pathGiven = true;
    }
    if (options.mode == DemoMode::Console && pathGiven) {
        std::fprintf(stderr,
                     "--console runs the plain transfer; --%s needs the page (headless or "
                     "--headed)\n",
                     qorv::demo::PathWord(options.path));
        return false;
    }
    if (!options.person.empty() &&
        (options.mode != DemoMode::Headless || options.path == DemoPath::Transfer)) {
        std::fprintf(stderr,
                     "--person acts in the host's windows of a headless run of --confirmed, "
                     "--guided-transfer or --common-account\n");
        return false;
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
