// Starts a private pcscd with one virtual reader and the simulated card, then
// runs the browser tests (extension/test/e2e.mjs) with node. The browser and
// the hosts it starts inherit PCSCLITE_CSOCK_NAME, so they see this pcscd only.
//
//   qorv_e2e_runner                     headless Chromium (playwright-core)
//   qorv_e2e_runner --browser firefox   headless Firefox ESR (puppeteer-core)
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace {

constexpr int kSkip = 77;

int Skip(const char* why) {
    std::printf("SKIP: %s\n", why);
    return kSkip;
}

bool Executable(const char* path) {
    return path[0] != '\0' && access(path, X_OK) == 0;
}

int RunNode() {
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        execl(QORV_NODE_PATH, QORV_NODE_PATH, "--test-reporter=spec", QORV_E2E_SCRIPT,
              static_cast<char*>(nullptr));
        std::perror("exec node");
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// What one browser needs before the test bed is worth starting.
int CheckChromium() {
    if (!Executable("/usr/lib/chromium/chromium") && !Executable("/usr/bin/chromium")) {
        return Skip("chromium is not installed");
    }
    if (access(QORV_E2E_MODULES "/playwright-core", R_OK) != 0) {
        return Skip("playwright-core is missing in extension/test/node_modules (run npm ci there)");
    }
    return 0;
}

int CheckFirefox() {
    if (!Executable("/usr/bin/firefox-esr")) return Skip("firefox-esr is not installed");
    if (access(QORV_E2E_MODULES "/puppeteer-core", R_OK) != 0) {
        return Skip("puppeteer-core is missing in extension/test/node_modules (run npm ci there)");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qorv::testbed;
    const bool firefox =
        argc == 3 && std::strcmp(argv[1], "--browser") == 0 && std::strcmp(argv[2], "firefox") == 0;
    if (argc != 1 && !firefox) {
        std::fprintf(stderr, "usage: %s [--browser firefox]\n", argv[0]);
        return 2;
    }
    if (!Executable(QORV_NODE_PATH)) return Skip("node is not installed");
    if (const int rc = firefox ? CheckFirefox() : CheckChromium(); rc != 0) return rc;
    if (geteuid() != 0) return Skip("the private pcscd needs root");

    std::string error;
    auto bed = PcscTestBed::Start({{"Virtual PCD"}}, &error);
    if (!bed) {
        std::fprintf(stderr, "test bed: %s\n", error.c_str());
        return 1;
    }
    auto card = SimulatedCard::Start(bed->vpcdPort(0), CardProtocol::T1, DefaultProfilePath(), true,
                                     &error);
    if (!card || !WaitForCard(bed->readerName(0), CardPresence::Present)) {
        std::fprintf(stderr, "simulated card: %s\n%s\n", error.c_str(), bed->PcscdLog().c_str());
        return 1;
    }
    setenv("QORV_BROWSER", firefox ? "firefox" : "chromium", 1);
    setenv("QORV_HOST", QORV_HOST_PATH, 1);
    setenv("QORV_READER", bed->readerName(0).c_str(), 1);
    setenv("QORV_PCSCD_PID", std::to_string(bed->pcscdPid()).c_str(), 1);
    const int rc = RunNode();
    if (rc != 0 && rc != kSkip) std::fprintf(stderr, "pcscd:\n%s\n", bed->PcscdLog().c_str());
    return rc;
}
