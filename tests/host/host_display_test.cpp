// The real host with and without a display: message boxes and dialogs in
// real windows on a private X server, on standard error without one, the
// end of input during a dialog, and a screen reader's view from outside.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "support/host_process.h"
#include "tools/hostclient/host_client.h"
#include "tools/virtualdisplay/virtual_display.h"

namespace qorv::testing {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

// The time the host may take to end once its page went away; leak checking
// at exit makes sanitizer builds slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kEndsWithin = std::chrono::seconds(3);
#else
constexpr auto kEndsWithin = std::chrono::seconds(1);
#endif

#ifdef QORV_TEST_HOOKS

constexpr char kMessage[] = "請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A temporary file that goes with the test.
class TempFile {
  public:
    explicit TempFile(const std::string& content = {}) {
        char name[] = "/tmp/qorv-host-display-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        if (fd >= 0) {
            if (!content.empty() && write(fd, content.data(), content.size()) < 0) path_.clear();
            close(fd);
        }
    }
    ~TempFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The environment of a host: no pcscd, the display given, nothing inherited
// that would choose one behind the test's back.
std::vector<std::string> Environment(const std::string& display,
                                     std::vector<std::string> more = {}) {
    // getenv takes the first entry of a name: the test's own come first.
    std::vector<std::string> environment = std::move(more);
    environment.insert(
        environment.end(),
        {"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm", "DISPLAY=" + display,
         "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "QORV_SCRIPTED_PERSON=", "QORV_REPORT_WINDOWS=1",
         std::string("LSAN_OPTIONS=suppressions=") + QORV_HOST_LSAN_SUPPRESSIONS});
    return environment;
}

json Hook(hostclient::HostClient& host, int id, const std::string& hook, const json& params,
          int timeoutMs = 20000) {
    const auto reply =
        host.Request({{"id", id}, {"testHook", hook}, {"params", params}}, timeoutMs);
    return reply ? *reply : json();
}

bool QtLoaded(pid_t pid) {
    return ReadAll("/proc/" + std::to_string(pid) + "/maps").find("libQt6Widgets") !=
           std::string::npos;
}

bool WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (ReadAll(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Without a display, and with one that cannot be opened, the host keeps
// serving: message boxes go to standard error, a dialog is cancelled at
// once with the reason, and the process is never aborted by Qt.
TEST(HostDisplay, WithoutAUsableDisplayMessagesGoToStandardErrorAndDialogsAreCancelled) {
    const struct {
        const char* display;
        const char* why;
    } cases[] = {
        {"", "no display (DISPLAY and WAYLAND_DISPLAY are not set)"},
        {":4711", "the X display :4711 cannot be opened"},  // nobody serves it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        TempFile err;
        hostclient::HostClient host(HostPath(), Environment(c.display), {}, err.path());
        EXPECT_EQ(Hook(host, 1, "ShowMessage", {kMessage})["result"], 0);
        const json form = Hook(host, 2, "RunTestForm", {"a"}, 5000);
        EXPECT_EQ(form["result"]["outcome"], 2);
        const auto answered = host.Call("GetRespLength");
        ASSERT_TRUE(answered);
        EXPECT_EQ((*answered)["result"], 0);
        EXPECT_EQ(host.CloseAndWait(), 0);
        const std::string stderrText = ReadAll(err.path());
        EXPECT_NE(stderrText.find(std::string("[Qorv銀行] ") + kMessage), std::string::npos)
            << stderrText;
        EXPECT_NE(stderrText.find(std::string("test form cancelled: ") + c.why), std::string::npos)
            << stderrText;
    }
}

TEST(HostDisplay, QtIsLoadedOnlyWhenAWindowIsFirstNeeded) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    TempFile script("press 1\n");
    hostclient::HostClient host(
        HostPath(), Environment(display.name(), {"QORV_SCRIPTED_PERSON=" + script.path()}));
    const auto answered = host.Call("GetReaderNumber");
    ASSERT_TRUE(answered);
    EXPECT_FALSE(QtLoaded(host.pid()));
    EXPECT_EQ(Hook(host, 9, "ShowMessage", {kMessage})["result"], 0);
    EXPECT_TRUE(QtLoaded(host.pid()));
    EXPECT_EQ(host.CloseAndWait(), 0);
}

// The scripted person acts in real windows on the private X server: closes
// a message box with its OK button or the title bar, fills a form.
TEST(HostDisplay, ScriptedPersonDrivesRealWindows) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    TempFile script(
        "# the first message box: OK\n"
        "press 1\n"
        "# the second: closed as a person closes a window\n"
        "wait-enabled 1\n"
        "close\n"
        "type 1001 00581000 1234\n"
        "choose-text 1002 第二\n"
        "wait 50\n"
        "press 1\n"
        "press 2\n");
    TempFile err;
    hostclient::HostClient host(
        HostPath(), Environment(display.name(), {"QORV_SCRIPTED_PERSON=" + script.path()}), {},
        err.path());
    EXPECT_EQ(Hook(host, 1, "ShowMessage", {kMessage})["result"], 0);
    EXPECT_EQ(Hook(host, 2, "ShowMessage", {"交易時間逾時，請重新執行交易 !"})["result"], 0);
    const json filled = Hook(host, 3, "RunTestForm", {"第一", "第二"})["result"];
    EXPECT_EQ(filled["outcome"], 1);
    EXPECT_EQ(filled["text"], "00581000 1234");
    EXPECT_EQ(filled["chosen"], 1);
    EXPECT_EQ(Hook(host, 4, "RunTestForm", {"x"})["result"]["outcome"], 2);
    EXPECT_EQ(host.CloseAndWait(), 0);
    const std::string stderrText = ReadAll(err.path());
    EXPECT_EQ(stderrText.find("gives up"), std::string::npos) << stderrText;
    EXPECT_NE(stderrText.find("shown \"Qorv銀行\""), std::string::npos) << stderrText;
}

// A request that arrives during a message box waits for it; when the input
// ends, the box ends as cancelled, the waiting request is still answered in
// order, and the host exits 0 within a second.
TEST(HostDisplay, EndOfInputDuringAMessageBoxEndsItAndTheHost) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    TempFile err;
    hostclient::HostClient host(HostPath(), Environment(display.name()), {}, err.path());
    ASSERT_TRUE(host.SendFrame(
        json({{"id", 1}, {"testHook", "ShowMessage"}, {"params", {kMessage}}}).dump()));
    ASSERT_TRUE(host.SendFrame(json({{"id", 2}, {"method", "GetRespLength"}}).dump()));
    ASSERT_TRUE(WaitForText(err.path(), "shown \"Qorv銀行\"", 10000)) << ReadAll(err.path());
    std::string reply;
    EXPECT_FALSE(host.ReadFrame(reply, 300)) << "answered during the message box: " << reply;

    const auto start = Clock::now();
    EXPECT_EQ(host.CloseAndWait(5000), 0);
    EXPECT_LT(Clock::now() - start, kEndsWithin);
    ASSERT_TRUE(host.ReadFrame(reply, 1000));
    EXPECT_EQ(json::parse(reply)["id"], 1);
    ASSERT_TRUE(host.ReadFrame(reply, 1000));
    EXPECT_EQ(json::parse(reply), json({{"id", 2}, {"result", 0}}));
}

// A browser closes both pipes: the reply to the cancelled box cannot be
// written, and that must end the host cleanly, not by SIGPIPE.
TEST(HostDisplay, PageGoneDuringAMessageBoxEndsTheHostCleanly) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    TempFile err;
    hostclient::HostClient host(HostPath(), Environment(display.name()), {}, err.path());
    ASSERT_TRUE(host.SendFrame(
        json({{"id", 1}, {"testHook", "ShowMessage"}, {"params", {kMessage}}}).dump()));
    ASSERT_TRUE(WaitForText(err.path(), "shown", 10000)) << ReadAll(err.path());
    const auto start = Clock::now();
    EXPECT_EQ(host.DropAndWait(5000), 0);
    EXPECT_LT(Clock::now() - start, kEndsWithin);
}

// A dialog asked for after the input ended is not shown at all.
TEST(HostDisplay, DialogsAfterTheEndOfInputAreCancelledWithoutShowing) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    TempFile err;
    hostclient::HostClient host(HostPath(), Environment(display.name()), {}, err.path());
    ASSERT_TRUE(
        host.SendFrame(json({{"id", 1}, {"testHook", "RunTestForm"}, {"params", {"a"}}}).dump()));
    ASSERT_TRUE(
        host.SendFrame(json({{"id", 2}, {"testHook", "RunTestForm"}, {"params", {"b"}}}).dump()));
    ASSERT_TRUE(WaitForText(err.path(), "shown", 10000));
    EXPECT_EQ(host.CloseAndWait(5000), 0);
    std::string reply;
    ASSERT_TRUE(host.ReadFrame(reply, 1000));
    EXPECT_EQ(json::parse(reply)["result"]["outcome"], 2);
    ASSERT_TRUE(host.ReadFrame(reply, 1000));
    EXPECT_EQ(json::parse(reply)["result"]["outcome"], 2);
    const std::string stderrText = ReadAll(err.path());
    EXPECT_EQ(stderrText.find("shown"), stderrText.rfind("shown")) << "the second form was shown";
}

// A screen reader's view from another process: a private session bus and
// the accessibility bus its at-spi launcher starts. Once its window has
// closed, the host waiting for the page's next request must still answer.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

// The first match of `pattern` in the printed reply to one D-Bus call, or the whole reply.
std::string Ask(const std::string& bus, const std::string& call, const char* pattern,
                int timeoutMs = 5000) {
    const std::string reply = Output(
        "dbus-send --bus='" + bus + "' --print-reply --reply-timeout=" + std::to_string(timeoutMs) +
        " " + call + " 2>&1");
    std::smatch m;
    return std::regex_search(reply, m, std::regex(pattern)) ? m[1].str() : reply;
}

TEST(HostAccessibility, AfterItsWindowClosedTheIdleHostStillAnswersTheAccessibilityBus) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    // A session bus of the test's own; the at-spi launcher it starts on demand
    // keeps its sockets in a private runtime folder and follows it away.
    char runtime[] = "/tmp/qorv-a11y-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    std::smatch m;
    const std::string started =
        Output(std::string("XDG_RUNTIME_DIR=") + runtime +
               " dbus-daemon --session --fork --print-address=1 --print-pid=1");
    ASSERT_TRUE(std::regex_search(started, m, std::regex("(unix:[^\\n]+)\\n([0-9]+)"))) << started;
    const std::string session = m[1];
    const struct Bus {
        pid_t pid;
        std::string runtime;
        ~Bus() {
            kill(pid, SIGTERM);
            std::filesystem::remove_all(runtime);
        }
    } bus{std::stoi(m[2]), runtime};
    TempFile person("press 1\n");
    const std::string a11y =
        Ask(session, "--dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress",
            "string \"([^\"]+)\"");

    hostclient::HostClient host(
        HostPath(), Environment(display.name(), {"DBUS_SESSION_BUS_ADDRESS=" + session,
                                                 // as when a screen reader runs
                                                 "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                                                 "QORV_SCRIPTED_PERSON=" + person.path()}));
    // The person presses OK in a message box; then the host waits.
    EXPECT_EQ(Hook(host, 1, "ShowMessage", {kMessage})["result"], 0);
    // The application the registry knows on the bus (the host's is the only one).
    const std::string name = Ask(a11y,
                                 "--dest=org.a11y.atspi.Registry /org/a11y/atspi/accessible/root "
                                 "org.a11y.atspi.Accessible.GetChildren",
                                 "string \"(:[0-9.]+)\"");
    ASSERT_EQ(name.rfind(':', 0), 0u) << "no application on the accessibility bus: " << name;

    // A screen reader's question with no window open, answered well within its patience.
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask(a11y,
                  "--dest=" + name +
                      " /org/a11y/atspi/accessible/root org.freedesktop.DBus.Properties.Get "
                      "string:org.a11y.atspi.Accessible string:Name",
                  "string \"([^\"]+)\"", 3000),
              "qorvclientatm-host");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
    const auto answered = host.Call("GetRespLength");  // and still serving the page
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["result"], 0);
    EXPECT_EQ(host.CloseAndWait(), 0);
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
