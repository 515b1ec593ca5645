#include "tools/demo/browser_session.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "tools/demo/child_process.h"
#include "tools/demo/demo_card.h"
#include "tools/demo/demo_workspace.h"
#include "tools/demo/process_sweep.h"
#include "tools/demo/stop_signals.h"
#include "tools/testbed/card_presence.h"

namespace qorv::demo {
namespace {

using namespace std::chrono_literals;

bool Executable(const char* path) {
    return path != nullptr && path[0] != '\0' && access(path, X_OK) == 0;
}

// What the browser needs and is not installed, or nullptr.
const char* MissingBrowserPiece() {
    if (!Executable(QORV_NODE_PATH)) {
        return "node is not installed";
    }
    if (!Executable(std::getenv("QORV_CHROMIUM")) && !Executable("/usr/lib/chromium/chromium") &&
        !Executable("/usr/bin/chromium")) {
        return "chromium is not installed";
    }
    if (access(QORV_PLAYWRIGHT_PATH, R_OK) != 0) {
        return "playwright-core is missing in extension/test/node_modules";
    }
    return nullptr;
}

// Starts the bank simulator serving the site; its URL once it listens.
std::string StartBank(const DemoWorkspace& workspace, const std::string& cardProfile,
                      std::unique_ptr<ChildProcess>& bank) {
    std::string error;
    bank = ChildProcess::Start({QORV_BANKSIM_PATH, "serve", "--port", "0", "--www", workspace.www(),
                                "--card", cardProfile},
                               true, &error);
    if (!bank) {
        std::fprintf(stderr, "cannot start the bank simulator: %s\n", error.c_str());
        return {};
    }
    const std::string prefix = "listening ";
    const auto line = bank->ReadLine(10s);
    if (!line || line->rfind(prefix, 0) != 0) {
        std::fprintf(stderr, "the bank simulator did not start listening\n");
        return {};
    }
    std::string url = "http://" + line->substr(prefix.size()) + "/";
    std::printf("bank simulator serving the demo bank at %s\n", url.c_str());
    return url;
}

constexpr char kCustomerCue[] = "qorv-demo-customer take-out-and-put-back";

// What a customer does at the reader when the confirmation dialog asks: the
// card comes out and goes back in. The pause first lets the host connect the
// card and open its dialog.
void TakeOutAndPutBack(const DemoCard& card) {
    SleepUnlessStopped(1500ms);
    std::printf("           (the customer takes the card out of \"%s\" and puts it back)\n",
                card.reader.c_str());
    if (!card.card->Remove() || !testbed::WaitForCard(card.reader, testbed::CardPresence::Absent)) {
        std::printf("           the simulated card could not be taken out\n");
    }
    SleepUnlessStopped(1000ms);
    if (!card.card->Insert() ||
        !testbed::WaitForCard(card.reader, testbed::CardPresence::Present)) {
        std::printf("           the simulated card could not be put back\n");
    }
}

// Passes the browser driver's lines on, acting for the customer when the
// page asks; a stop signal stops the driver (it closes Chromium).
int WaitForBrowser(ChildProcess& browser, const DemoCard& card) {
    while (!browser.Poll()) {
        if (StopSignal() != 0) {
            return browser.Stop(10s);
        }
        if (const auto line = browser.ReadLine(100ms)) {
            if (line->rfind(kCustomerCue, 0) == 0) {
                TakeOutAndPutBack(card);
            } else {
                std::printf("%s\n", line->c_str());
            }
        }
    }
    while (const auto line = browser.ReadLine(200ms)) {
        std::printf("%s\n", line->c_str());
    }
    return *browser.Poll();
}

// Headless, a scripted person presses OK once the dialog enables it, and the
// host shows its windows on Qt's offscreen platform. The host inherits this
// environment through node and Chromium.
bool PrepareScriptedPerson(const DemoWorkspace& workspace) {
    const std::string script = workspace.path() + "/person.txt";
    std::ofstream(script) << "wait-enabled 1\npress 1\n";
    if (!std::ifstream(script)) {
        std::fprintf(stderr, "cannot write %s\n", script.c_str());
        return false;
    }
    setenv("QORV_SCRIPTED_PERSON", script.c_str(), 1);
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    return true;
}

}  // namespace

int RunBrowserSession(const DemoOptions& options) {
    if (const char* missing = MissingBrowserPiece()) {
        std::fprintf(stderr,
                     "%s: run scripts/install-deps.sh, or `qorv-demo --console` for the session "
                     "without a browser\n",
                     missing);
        return kCannotRunHere;
    }
    const bool headed = options.mode == DemoMode::Headed;
    if (headed && std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fprintf(stderr, "--headed needs a display: DISPLAY is not set\n");
        return 2;
    }
    InstallStopSignals();
    std::printf(
        "QorvClientATM demo: the demo bank's transfer page in %sChromium, through the extension "
        "and qorvclientatm-host, with a simulated FISC card\n",
        headed ? "" : "headless ");

    std::string error;
    const auto workspace = DemoWorkspace::Create(QORV_DEMO_SITE, QORV_PAGE_LIBRARY, &error);
    if (!workspace) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // A Ctrl-C while these start reaches pcscd and the card too, so a
    // failure then is the stop itself.
    std::unique_ptr<ChildProcess> bank;
    const auto card = StartDemoCard(options);
    const std::string url = card ? StartBank(*workspace, options.profile, bank) : "";
    if (StopSignal() != 0) {
        return 128 + StopSignal();
    }
    if (url.empty()) {
        return 1;
    }

    std::vector<std::string> command{
        QORV_NODE_PATH, QORV_BROWSER_SCRIPT,  "--url",  url,
        "--work",       workspace->browser(), "--host", QORV_HOST_PATH};
    if (headed) {
        command.emplace_back("--headed");
    }
    if (options.confirmed) {
        command.emplace_back("--confirmed");
        if (!headed && !PrepareScriptedPerson(*workspace)) {
            return 1;
        }
    }
    std::printf("starting %sChromium with the extension\n", headed ? "" : "headless ");
    std::fflush(stdout);
    auto browser = ChildProcess::Start(command, true, &error);
    if (!browser) {
        std::fprintf(stderr, "cannot start node: %s\n", error.c_str());
        return 1;
    }
    const int status = WaitForBrowser(*browser, *card);
    browser.reset();
    if (const int left = EndProcessesMentioning(workspace->browser()); left > 0) {
        std::fprintf(stderr, "ended %d browser process(es) the driver left behind\n", left);
    }
    // The bank simulator, the card and pcscd stop as their owners go out of scope.
    if (StopSignal() != 0) {
        std::printf("\nstopped by %s\n", strsignal(StopSignal()));
        return 128 + StopSignal();
    }
    if (status == kCannotRunHere) {
        return kCannotRunHere;
    }
    return status == 0 ? 0 : 1;
}

}  // namespace qorv::demo
