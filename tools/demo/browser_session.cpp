#include "tools/demo/browser_session.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

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
constexpr char kHostLinePrefix[] = "qorvclientatm-host: ";
constexpr char kShownPrefix[] = "shown \"";
// The caption of the host's confirmation dialog, the window that waits for
// the card to come out and go back in.
constexpr char kConfirmationCaption[] = "Qorv銀行_網路Tellra";
// Without any window report this long after the cue (a build without the
// report), the customer acts after a fixed pause, as for a confirmation that
// comes up at once.
constexpr auto kNoReportFallback = 5s;

// The host's standard error, which browser-demo.mjs sends to a file: with
// QORV_REPORT_WINDOWS=1 it names every window the host shows.
class HostLog {
  public:
    explicit HostLog(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // The complete lines written since the last call.
    std::vector<std::string> NewLines() {
        std::vector<std::string> lines;
        std::ifstream file(path_, std::ios::binary);
        if (!file || !file.seekg(static_cast<std::streamoff>(offset_))) return lines;
        std::string chunk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::size_t start = 0;
        for (std::size_t end = chunk.find('\n'); end != std::string::npos;
             end = chunk.find('\n', start)) {
            lines.push_back(chunk.substr(start, end - start));
            start = end + 1;
        }
        offset_ += start;  // a line still being written is read next time
        return lines;
    }

  private:
    std::string path_;
    std::size_t offset_ = 0;
};

// What a customer does at the reader when the confirmation dialog asks: the
// card comes out and goes back in. The pause first lets the dialog poll the
// card in its place once and the person read what it asks.
void TakeOutAndPutBack(const DemoCard& card) {
    SleepUnlessStopped(1000ms);
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

// The customer at the reader: once the page has asked (the cue), the card
// comes out and goes back when the host shows its confirmation dialog, which
// may follow another window the person fills in first. The cue and the
// window report travel different ways, so either may be read first.
class Customer {
  public:
    Customer(const DemoCard& card, HostLog& log) : card_(card), log_(log) {}

    void Cue() {
        if (!asked_) cuedAt_ = std::chrono::steady_clock::now();
        asked_ = true;
    }

    // Reads the host's new window reports and acts when one asks for it.
    void Follow() {
        for (const std::string& line : log_.NewLines()) {
            if (line.rfind(kHostLinePrefix, 0) != 0) continue;
            const std::string said = line.substr(sizeof kHostLinePrefix - 1);
            // A window that took the focus as it should is no news to the viewer.
            if (said.rfind("active \"", 0) == 0) continue;
            if (said.rfind(kShownPrefix, 0) != 0) {
                std::printf("    host: %s\n", said.c_str());
                continue;
            }
            reportsSeen_ = true;
            std::printf("           (the host shows the window %s)\n",
                        said.substr(sizeof kShownPrefix - 2).c_str());
            if (said == std::string(kShownPrefix) + kConfirmationCaption + "\"") {
                confirmationShown_ = true;
            }
        }
        if (!asked_) return;
        if (confirmationShown_) {
            Act();
        } else if (!reportsSeen_ &&
                   std::chrono::steady_clock::now() - cuedAt_ > kNoReportFallback) {
            std::printf("           (the host reports no windows: the customer acts now)\n");
            Act();
        }
    }

  private:
    void Act() {
        asked_ = false;
        confirmationShown_ = false;
        TakeOutAndPutBack(card_);
    }

    const DemoCard& card_;
    HostLog& log_;
    bool asked_ = false;
    bool confirmationShown_ = false;
    bool reportsSeen_ = false;
    std::chrono::steady_clock::time_point cuedAt_{};
};

// Passes the browser driver's lines on and lets the customer act when the
// page and the host ask; a stop signal stops the driver (it closes Chromium).
int WaitForBrowser(ChildProcess& browser, Customer& customer) {
    while (!browser.Poll()) {
        if (StopSignal() != 0) {
            return browser.Stop(10s);
        }
        if (const auto line = browser.ReadLine(100ms)) {
            if (line->rfind(kCustomerCue, 0) == 0) {
                customer.Cue();
            } else {
                std::printf("%s\n", line->c_str());
            }
        }
        customer.Follow();
    }
    while (const auto line = browser.ReadLine(200ms)) {
        std::printf("%s\n", line->c_str());
    }
    customer.Follow();
    return *browser.Poll();
}

// What the scripted person does in the host's windows for each path.
const char* PersonScript(DemoPath path) {
    switch (path) {
        case DemoPath::Transfer:
            return "";
        case DemoPath::ConfirmedTransfer:
            // OK once the card was taken out and put back.
            return "wait-enabled 1\npress 1\n";
        case DemoPath::GuidedTransfer:
            return "# The transfer dialog: the common accounts, the post office account\n"
                   "# (which brings no e-mail address of its own), an address typed, OK.\n"
                   "press 1038\n"
                   "choose 1091 1\n"
                   "type 1002 mother@example.com\n"
                   "wait 300\n"
                   "press 1\n"
                   "# The confirmation: OK once the card was taken out and put back.\n"
                   "wait 1000\n"
                   "wait-enabled 1\n"
                   "press 1\n";
        case DemoPath::CommonAccount:
            return "# The bank's form: another bank from the list, the card PIN in its\n"
                   "# row (a click selects the row), OK; the account and nickname stay\n"
                   "# as the bank filled them in.\n"
                   "choose 1091 2\n"
                   "click 1019\n"
                   "key 1\nkey 2\nkey 3\nkey 4\nkey 5\nkey 6\n"
                   "wait 300\n"
                   "press 1\n"
                   "# The confirmation: OK once the card was taken out and put back.\n"
                   "wait 1500\n"
                   "wait-enabled 1\n"
                   "press 1\n";
    }
    return "";
}

// Headless, a scripted person acts in the host's windows, which it shows on
// Qt's offscreen platform. The host inherits this environment through node
// and Chromium.
bool PrepareScriptedPerson(const DemoWorkspace& workspace, const DemoOptions& options) {
    std::string script;
    if (!options.person.empty()) {
        std::error_code failed;
        script = std::filesystem::absolute(options.person, failed).string();
    } else {
        script = workspace.path() + "/person.txt";
        std::ofstream(script) << PersonScript(options.path);
    }
    if (!std::ifstream(script)) {
        std::fprintf(stderr, "cannot read %s\n", script.c_str());
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
    HostLog hostLog(workspace->path() + "/host-stderr.log");
    if (options.path != DemoPath::Transfer) {
        command.emplace_back(std::string("--") + PathWord(options.path));
        if (options.pinPad) command.emplace_back("--pinpad");
        command.insert(command.end(), {"--host-log", hostLog.path()});
        setenv("QORV_REPORT_WINDOWS", "1", 1);
        if (!headed && !PrepareScriptedPerson(*workspace, options)) {
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
    Customer customer(*card, hostLog);
    const int status = WaitForBrowser(*browser, customer);
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
