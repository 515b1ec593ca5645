// A screen reader's view of the real host, from another process: a private X
// server, session bus and accessibility bus. The host joins the
// accessibility bus with its first window; once the window has closed and
// the host waits for the page's next request, it must still answer there.
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
#include <thread>

#include "support/host_process.h"
#include "tools/hostclient/host_client.h"
#include "tools/virtualdisplay/virtual_display.h"

namespace qorv::testing {
namespace {

#ifdef QORV_TEST_HOOKS

using Clock = std::chrono::steady_clock;
using nlohmann::json;

// What a shell command printed on standard output.
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

// A session bus of the test's own, whose accessibility bus the at-spi
// launcher starts on first demand, with its sockets in a private runtime
// folder. Both go with this object (the launcher follows the session bus).
class AccessibilityBus {
  public:
    AccessibilityBus() {
        char folder[] = "/tmp/qorv-a11y-XXXXXX";
        if (mkdtemp(folder) == nullptr) return;
        runtime_ = folder;
        std::smatch m;
        const std::string started =
            Output("XDG_RUNTIME_DIR=" + runtime_ +
                   " dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null");
        if (!std::regex_search(started, m, std::regex("(unix:[^\\n]+)\\n([0-9]+)"))) return;
        session_ = m[1];
        pid_ = std::stoi(m[2]);
        const std::string reply =
            Send(session_, "--dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress");
        if (std::regex_search(reply, m, std::regex("string \"([^\"]+)\""))) a11y_ = m[1];
    }
    ~AccessibilityBus() {
        if (pid_ > 0) kill(pid_, SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!runtime_.empty()) std::filesystem::remove_all(runtime_);
    }

    // One call with dbus-send, its reply printed; nothing after `timeoutMs`.
    static std::string Send(const std::string& bus, const std::string& call, int timeoutMs = 5000) {
        return Output("dbus-send --bus='" + bus + "' --print-reply --reply-timeout=" +
                      std::to_string(timeoutMs) + " " + call + " 2>&1");
    }

    bool running() const { return !a11y_.empty(); }
    const std::string& session() const { return session_; }
    const std::string& accessibility() const { return a11y_; }

    // The unique name a process holds on the accessibility bus, or empty.
    std::string NameOf(pid_t pid) const {
        const std::string names = Send(
            a11y_,
            "--dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListNames");
        const std::regex unique("string \"(:[0-9.]+)\"");
        for (std::sregex_iterator it(names.begin(), names.end(), unique), end; it != end; ++it) {
            const std::string name = (*it)[1];
            const std::string owner =
                Send(a11y_,
                     "--dest=org.freedesktop.DBus /org/freedesktop/DBus "
                     "org.freedesktop.DBus.GetConnectionUnixProcessID string:" +
                         name);
            if (owner.find("uint32 " + std::to_string(pid) + "\n") != std::string::npos)
                return name;
        }
        return {};
    }

  private:
    std::string runtime_;
    std::string session_;
    std::string a11y_;
    pid_t pid_ = -1;
};

TEST(HostAccessibility, AfterItsWindowClosedTheIdleHostStillAnswersTheAccessibilityBus) {
    testbed::VirtualDisplay display;
    ASSERT_TRUE(display.running()) << "Xvfb did not start";
    AccessibilityBus bus;
    ASSERT_TRUE(bus.running()) << "no accessibility bus (dbus-daemon, at-spi2-core)";
    char script[] = "/tmp/qorv-a11y-person-XXXXXX";
    const int fd = mkstemp(script);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "press 1\n", 8), 8);
    close(fd);

    hostclient::HostClient host(
        HostPath(),
        {"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm", "DISPLAY=" + display.name(),
         "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "DBUS_SESSION_BUS_ADDRESS=" + bus.session(),
         // As when a screen reader runs: the toolkit joins the bus.
         "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", std::string("QORV_SCRIPTED_PERSON=") + script});
    // A message box, shown and closed by the person; then nothing more.
    const auto shown =
        host.Request({{"id", 1}, {"testHook", "ShowMessage"}, {"params", {"請插入晶片卡"}}}, 20000);
    unlink(script);
    ASSERT_TRUE(shown);
    ASSERT_EQ((*shown)["result"], 0);

    std::string name;
    for (const auto deadline = Clock::now() + std::chrono::seconds(5);
         name.empty() && Clock::now() < deadline;)
        name = bus.NameOf(host.pid());
    ASSERT_FALSE(name.empty()) << "the host never joined the accessibility bus";

    // A screen reader's question with no window open: the application's name,
    // answered well within the reader's patience.
    const auto asked = Clock::now();
    const std::string reply = AccessibilityBus::Send(
        bus.accessibility(),
        "--dest=" + name +
            " /org/a11y/atspi/accessible/root org.freedesktop.DBus.Properties.Get"
            " string:org.a11y.atspi.Accessible string:Name",
        3000);
    EXPECT_NE(reply.find("qorvclientatm-host"), std::string::npos) << reply;
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2));

    // Still serving the page afterwards.
    const auto answered = host.Call("GetRespLength");
    ASSERT_TRUE(answered);
    EXPECT_EQ((*answered)["result"], 0);
    EXPECT_EQ(host.CloseAndWait(), 0);
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
