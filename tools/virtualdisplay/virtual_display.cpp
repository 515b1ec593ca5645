#include "tools/virtualdisplay/virtual_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "tools/hostclient/child_exit.h"

namespace qorv::testbed {

VirtualDisplay::VirtualDisplay() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        // Xvfb writes the display number it took to fd 3 once it accepts connections.
        dup2(ready[1], 3);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x800x24",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 100) <= 0) continue;
        char c = 0;
        if (read(ready[0], &c, 1) != 1) break;
        if (c == '\n') {
            name_ = ":" + number;
            break;
        }
        number += c;
    }
    close(ready[0]);
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    hostclient::ReapChild(pid_, std::chrono::milliseconds(3000));
}

}  // namespace qorv::testbed
