#include "tools/hostclient/child_exit.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qorv::hostclient {

int ReapChild(pid_t pid, std::chrono::milliseconds grace) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + grace;
    // Readable once the child has ended. Without one (an old kernel) the wait
    // below falls back to short naps.
    const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (ended >= 0) close(ended);
            return -1;
        }
        pollfd p{ended, POLLIN, 0};
        poll(&p, 1, static_cast<int>(ended >= 0 ? left : std::min<long>(left, 5)));
    }
    if (ended >= 0) close(ended);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qorv::hostclient
