#include "banksim_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "tools/hostclient/child_exit.h"

namespace qorv::banksim {

BanksimServerProcess::BanksimServerProcess(const std::vector<std::string>& arguments) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    std::vector<std::string> store{QORV_BANKSIM_PATH, "serve", "--port", "0"};
    store.insert(store.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : store) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output_ = pipeFds[0];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{output_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        if (read(output_, &c, 1) != 1 || c == '\n') break;
        firstLine_.push_back(c);
    }
}

BanksimServerProcess::~BanksimServerProcess() {
    Stop();
    if (output_ >= 0) close(output_);
}

int BanksimServerProcess::port() const {
    const auto colon = firstLine_.rfind(':');
    return colon == std::string::npos ? -1 : std::atoi(firstLine_.c_str() + colon + 1);
}

int BanksimServerProcess::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const int status = hostclient::ReapChild(pid_, std::chrono::seconds(5));
    pid_ = -1;
    return status;
}

}  // namespace qorv::banksim
