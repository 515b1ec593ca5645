#include "tools/demo/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace qorv::demo {
namespace {

using Clock = std::chrono::steady_clock;

int ExitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : 1;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                  bool captureStdout, std::string* error) {
    std::vector<std::string> store = argv;
    std::vector<char*> pointers;
    pointers.reserve(store.size());
    for (auto& argument : store) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);

    int output[2] = {-1, -1};
    if (captureStdout && pipe2(output, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);  // the demo ended before the prctl
        }
        if (captureStdout) {
            dup2(output[1], STDOUT_FILENO);
        }
        execv(pointers[0], pointers.data());
        std::fprintf(stderr, "cannot run %s: %s\n", pointers[0], std::strerror(errno));
        _exit(127);
    }
    if (captureStdout) {
        close(output[1]);
    }
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        if (captureStdout) {
            close(output[0]);
        }
        return nullptr;
    }
    setpgid(pid, pid);  // also here, so the group exists before Stop can signal it
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, output[0]));
}

ChildProcess::~ChildProcess() {
    Stop();
    if (output_ >= 0) {
        close(output_);
    }
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (output_ >= 0) {
        const auto newline = buffered_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return std::nullopt;
        }
        pollfd ready{output_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[256];
        const ssize_t n = read(output_, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

std::optional<int> ChildProcess::Poll() {
    if (status_) {
        return status_;
    }
    int waitStatus = 0;
    const pid_t ended = waitpid(pid_, &waitStatus, WNOHANG);
    if (ended == pid_) {
        status_ = ExitStatus(waitStatus);
    }
    if (ended < 0 && errno == ECHILD) {
        status_ = 1;  // reaped elsewhere: nothing left to stop
    }
    return status_;
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (Poll()) {
        return *status_;
    }
    kill(-pid_, SIGTERM);
    const auto deadline = Clock::now() + grace;
    while (!Poll()) {
        if (Clock::now() >= deadline) {
            kill(-pid_, SIGKILL);
            int waitStatus = 0;
            while (waitpid(pid_, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            status_ = ExitStatus(waitStatus);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return *status_;
}

}  // namespace qorv::demo
