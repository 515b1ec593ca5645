// A child program of the demo (the bank simulator, node with the browser):
// started in a process group of its own, so a Ctrl-C in the terminal reaches
// only qorv-demo, which then stops each child in order; it also gets SIGTERM
// should qorv-demo die first. The destructor stops it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qorv::demo {

class ChildProcess {
  public:
    // Runs argv[0] (a path) with the rest as arguments. With `captureStdout`
    // the child's stdout is a pipe read by ReadLine; otherwise it is ours.
    static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv,
                                               bool captureStdout, std::string* error);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of the captured stdout without its newline; nothing when the
    // child said nothing more within `timeout` or closed its stdout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // The exit status once the child has ended (128 + signal when a signal
    // ended it); nothing while it runs.
    std::optional<int> Poll();
    // SIGTERM to the child's group, SIGKILL after `grace`; the exit status.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  private:
    ChildProcess(pid_t pid, int output) : pid_(pid), output_(output) {}

    pid_t pid_;
    int output_;
    std::optional<int> status_;
    std::string buffered_;
};

}  // namespace qorv::demo
