#include "support/host_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qorv::testing {
namespace {

bool ReadExactly(int fd, char* out, std::size_t size, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        const ssize_t n = read(fd, out + done, size - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string HostPath() {
    return QORV_HOST_PATH;
}

HostProcess::HostProcess(const std::vector<std::string>& environment,
                         const std::vector<std::string>& arguments) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    for (const auto& extra : environment) env.push_back(extra);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = HostPath();
    std::vector<std::string> argStore{path};
    argStore.insert(argStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toHost_ = in[1];
    fromHost_ = out[0];
    signal(SIGPIPE, SIG_IGN);
}

HostProcess::~HostProcess() {
    if (pid_ > 0) CloseAndWait(2000);
    if (fromHost_ >= 0) close(fromHost_);
}

void HostProcess::SendRaw(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(toHost_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void HostProcess::SendFrame(const std::string& payload) {
    const auto length = static_cast<uint32_t>(payload.size());
    std::string frame(reinterpret_cast<const char*>(&length), sizeof length);
    SendRaw(frame + payload);
}

bool HostProcess::ReadFrame(std::string& payload, int timeoutMs) {
    uint32_t length = 0;
    if (!ReadExactly(fromHost_, reinterpret_cast<char*>(&length), sizeof length, timeoutMs)) {
        return false;
    }
    payload.resize(length);
    return ReadExactly(fromHost_, payload.data(), length, timeoutMs);
}

nlohmann::json HostProcess::Request(const nlohmann::json& request) {
    SendFrame(request.dump());
    std::string reply;
    if (!ReadFrame(reply)) {
        ADD_FAILURE() << "no reply to " << request.dump();
        return nullptr;
    }
    return nlohmann::json::parse(reply, nullptr, false);
}

nlohmann::json HostProcess::Call(const std::string& method, const nlohmann::json& params) {
    const int id = nextId_++;
    const nlohmann::json reply = Request({{"id", id}, {"method", method}, {"params", params}});
    if (!reply.is_object() || !reply.contains("result")) {
        ADD_FAILURE() << method << " answered " << reply.dump();
        return nullptr;
    }
    EXPECT_EQ(reply["id"], id);
    return reply["result"];
}

int HostProcess::CloseAndWait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    if (toHost_ >= 0) {
        close(toHost_);
        toHost_ = -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qorv::testing
