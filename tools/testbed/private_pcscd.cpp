#include "tools/testbed/private_pcscd.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/hostclient/child_exit.h"

namespace qorv::testbed {

namespace {

constexpr char kSocketFolder[] = "/run/pcscd";

// What the child reports through the pipe when a step before exec fails.
struct ChildFailure {
    int step;
    int error;
};

constexpr const char* kSteps[] = {"unshare(CLONE_NEWNS)",
                                  "make mounts private",
                                  "mkdir /run/pcscd",
                                  "bind-mount the socket folder",
                                  "hide the USB drivers",
                                  "open the log",
                                  "exec pcscd"};

[[noreturn]] void FailInChild(int pipeFd, int step) {
    const ChildFailure failure{step, errno};
    [[maybe_unused]] const ssize_t written = write(pipeFd, &failure, sizeof failure);
    _exit(127);
}

// Runs between fork and exec: system calls only.
[[noreturn]] void BecomePcscd(const PcscdLaunch& launch, char* const argv[], int pipeFd) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // no orphan pcscd when a test crashes
    if (unshare(CLONE_NEWNS) != 0) {
        FailInChild(pipeFd, 0);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        FailInChild(pipeFd, 1);
    }
    if (mkdir(kSocketFolder, 0755) != 0 && errno != EEXIST) {
        FailInChild(pipeFd, 2);
    }
    if (mount(launch.runFolder.c_str(), kSocketFolder, nullptr, MS_BIND, nullptr) != 0) {
        FailInChild(pipeFd, 3);
    }
    struct stat info {};
    if (!launch.usbDriverFolder.empty() && stat(launch.usbDriverFolder.c_str(), &info) == 0 &&
        mount(launch.emptyFolder.c_str(), launch.usbDriverFolder.c_str(), nullptr, MS_BIND,
              nullptr) != 0) {
        FailInChild(pipeFd, 4);
    }
    const int log = open(launch.logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || null < 0) {
        FailInChild(pipeFd, 5);
    }
    dup2(null, STDIN_FILENO);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    execv(launch.pcscdPath.c_str(), argv);
    FailInChild(pipeFd, 6);
}

}  // namespace

pid_t LaunchPrivatePcscd(const PcscdLaunch& launch, std::string* error) {
    std::string program = launch.pcscdPath;
    std::string foreground = "-f";
    std::string configOption = "-c";
    std::string config = launch.configFile;
    char* const argv[] = {program.data(), foreground.data(), configOption.data(), config.data(),
                          nullptr};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return -1;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        close(fds[0]);
        BecomePcscd(launch, argv, fds[1]);
    }
    close(fds[1]);
    // The pipe closes unread at exec (close-on-exec): then pcscd is running.
    ChildFailure failure{};
    ssize_t got;
    do {
        got = read(fds[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(fds[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        waitpid(pid, nullptr, 0);
        *error = std::string("starting pcscd: ") + kSteps[failure.step] + ": " +
                 std::strerror(failure.error);
        return -1;
    }
    return pid;
}

void StopProcess(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    hostclient::ReapChild(pid, grace);
}

bool PrivateNamespacesAvailable(std::string* why) {
    if (geteuid() != 0) {
        *why = "needs root (mount namespace and bind mounts)";
        return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(unshare(CLONE_NEWNS) == 0 &&
                      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                  ? 0
                  : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        *why = "mount namespaces are not available here (unshare or mount refused)";
        return false;
    }
    return true;
}

}  // namespace qorv::testbed
