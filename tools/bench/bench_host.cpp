// The host's weight for pages that never open a dialog, and with one open:
// start to first answer and a request's round trip against a bare echo host
// in the same run, resident memory before any window and with a message box
// shown.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "bench_stats.h"
#include "tools/hostclient/host_client.h"
#include "tools/virtualdisplay/virtual_display.h"

namespace {

using namespace qorv;
using Clock = std::chrono::steady_clock;

// Enough that a busy spell of a shared machine moves the medians little.
constexpr int kStarts = 100;
constexpr int kRoundTrips = 2000;
constexpr double kStartTarget = 1.3;
constexpr double kRoundTripTarget = 1.2;
std::vector<std::string> NoService() {
    return {"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm"};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Resident set of a process, in MB.
double ResidentMb(pid_t pid) {
    std::istringstream status(ReadAll("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Start a host and have its first answer: microseconds from the start to
// the answer (the host's end is not counted).
double StartToFirstAnswer(const char* path) {
    const auto start = Clock::now();
    hostclient::HostClient host(path, NoService());
    host.Call("GetRespLength");
    const auto answered = Clock::now();
    host.CloseAndWait();
    return std::chrono::duration<double, std::micro>(answered - start).count();
}

}  // namespace

int main() {
    std::printf("host benchmarks, %d starts each, alternating\n", kStarts);
    // Interleaved so that both see the same machine load.
    std::vector<double> ours;
    std::vector<double> echo;
    for (int i = 0; i < kStarts; ++i) {
        ours.push_back(StartToFirstAnswer(HOST_PATH));
        echo.push_back(StartToFirstAnswer(ECHO_HOST_PATH));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(echo.begin(), echo.end());
    bench::PrintRatio("start to first answer", ours[kStarts / 2], echo[kStarts / 2],
                      "bare echo host");
    {
        // A getter through a running host, against the echo host answering the
        // same frame: what the host itself adds to every request.
        hostclient::HostClient host(HOST_PATH, NoService());
        hostclient::HostClient echoHost(ECHO_HOST_PATH, NoService());
        const bench::PairedMedians trip = bench::MedianMicrosPaired(
            kRoundTrips, [&host] { host.Call("GetRespLength"); },
            [&echoHost] { echoHost.Call("GetRespLength"); });
        bench::PrintRatio("request round trip (a getter)", trip, "bare echo host");
    }
    std::printf("%-44s start ratio at most %.2f, round trip ratio at most %.2f\n", "targets",
                kStartTarget, kRoundTripTarget);

    {
        hostclient::HostClient host(HOST_PATH, NoService());
        host.Call("GetReaderNumber");
        std::printf("%-44s %10.1f MB\n", "resident memory, no window yet", ResidentMb(host.pid()));
    }

#ifdef QORV_TEST_HOOKS
    testbed::VirtualDisplay display;
    if (!display.running()) {
        std::printf("%-44s %s\n", "resident memory, message box shown", "n/a (no Xvfb)");
    } else {
        char errPath[] = "/tmp/qorv-bench-host-XXXXXX";
        close(mkstemp(errPath));
        std::vector<std::string> environment = NoService();
        environment.push_back("DISPLAY=" + display.name());
        environment.push_back("QORV_REPORT_WINDOWS=1");
        hostclient::HostClient host(HOST_PATH, environment, {}, errPath);
        host.Call("GetReaderNumber");
        const auto shownAt = Clock::now();
        host.SendFrame(
            R"({"id":2,"testHook":"ShowMessage","params":["請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵"]})");
        while (ReadAll(errPath).find("shown") == std::string::npos &&
               Clock::now() - shownAt < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const double toShown =
            std::chrono::duration<double, std::milli>(Clock::now() - shownAt).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // painted and settled
        std::printf("%-44s %10.1f MB\n", "resident memory, message box shown",
                    ResidentMb(host.pid()));
        std::printf("%-44s %10.1f ms\n", "first message box shown (loads Qt)", toShown);
        host.CloseAndWait();
        unlink(errPath);
    }
#else
    std::printf("%-44s %s\n", "resident memory, message box shown",
                "n/a (build with -DQORV_TEST_HOOKS=ON)");
#endif
    return 0;
}
