// qorv-cardsim: a simulated FISC card in a vpcd virtual reader, driven by
// line commands on stdin (see README.md).
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/cardsim/card_simulator.h"

namespace {

using qorv::cardsim::CardProfile;
using qorv::cardsim::CardSimulator;
using qorv::cardsim::Protocol;
using qorv::cardsim::SimulatorOptions;

constexpr char kUsage[] =
    "usage: qorv-cardsim [--port N] [--host ADDRESS] [--protocol t0|t1] [--profile FILE]\n"
    "                    [--removed] [--verbose]\n"
    "control lines on stdin: insert | remove | reload PATH | pad PIN [NEWPIN] | pad cancel\n"
    "                        | pad timeout | pad off | records | status | quit\n";

bool ParseOptions(int argc, char** argv, SimulatorOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--port" && hasValue) {
            char* end = nullptr;
            const unsigned long port = std::strtoul(argv[++i], &end, 0);
            if (*end != '\0' || port == 0 || port > 65535) {
                return false;
            }
            options->port = static_cast<uint16_t>(port);
        } else if (option == "--host" && hasValue) {
            options->host = argv[++i];
        } else if (option == "--protocol" && hasValue) {
            const std::string value = argv[++i];
            if (value != "t0" && value != "t1") {
                return false;
            }
            options->protocol = value == "t0" ? Protocol::T0 : Protocol::T1;
        } else if (option == "--profile" && hasValue) {
            options->profilePath = argv[++i];
        } else if (option == "--removed") {
            options->inserted = false;
        } else if (option == "--verbose") {
            options->verbose = true;
        } else {
            return false;
        }
    }
    return true;
}

void Answer(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// Serves control lines and vpcd frames until quit or end of input.
int Run(CardSimulator& simulator) {
    std::string pending;
    for (;;) {
        const int timeout = simulator.Reconnect();
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {simulator.linkFd(), POLLIN, 0}};
        const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        if (poll(fds, count, timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("qorv-cardsim: poll");
            return 1;
        }
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            simulator.ServeLink();
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return 0;  // end of input: the test that owned us is gone
        }
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.find_first_not_of(" \t\r") == std::string::npos) {
                continue;
            }
            bool quit = false;
            Answer(simulator.HandleControl(line, &quit));
            if (quit) {
                return 0;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    SimulatorOptions options;
    options.profilePath = QORV_CARDSIM_DEFAULT_PROFILE;
    if (!ParseOptions(argc, argv, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    CardProfile profile;
    std::string error;
    if (!qorv::cardsim::LoadCardProfile(options.profilePath, &profile, &error)) {
        std::fprintf(stderr, "qorv-cardsim: %s\n", error.c_str());
        return 1;
    }
    CardSimulator simulator(options, std::move(profile));
    return Run(simulator);
}
