#include "tools/hostclient/host_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "tools/hostclient/child_exit.h"

extern char** environ;

namespace qorv::hostclient {
namespace {

using Clock = std::chrono::steady_clock;

bool ReadExactly(int fd, char* out, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        const ssize_t n = read(fd, out + done, size - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

HostClient::HostClient(const std::string& path, const std::vector<std::string>& environment,
                       const std::vector<std::string>& arguments, const std::string& stderrPath) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    // An entry given replaces the inherited one of the same name.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string inherited(*e);
        const std::string name = inherited.substr(0, inherited.find('=') + 1);
        bool replaced = false;
        for (const auto& entry : environment) replaced = replaced || entry.rfind(name, 0) == 0;
        if (!replaced) env.push_back(inherited);
    }
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> envp = Pointers(env);
    std::vector<char*> args = Pointers(argv);

    // A host that dies must not take this process with it through SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    pid_ = fork();
    if (pid_ == 0) {
        // As a browser starts it: the ignored SIGPIPE of this process is not inherited.
        signal(SIGPIPE, SIG_DFL);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (!stderrPath.empty()) {
            const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) dup2(err, STDERR_FILENO);
        }
        execve(path.c_str(), args.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toHost_ = in[1];
    fromHost_ = out[0];
    if (pid_ < 0) {
        close(toHost_);
        close(fromHost_);
        toHost_ = fromHost_ = -1;
    }
}

HostClient::~HostClient() {
    CloseAndWait(2000);
    if (fromHost_ >= 0) close(fromHost_);
}

bool HostClient::SendRaw(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(toHost_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool HostClient::SendFrame(const std::string& payload) {
    const auto length = static_cast<uint32_t>(payload.size());
    std::string frame(reinterpret_cast<const char*>(&length), sizeof length);
    return SendRaw(frame + payload);
}

bool HostClient::ReadFrame(std::string& payload, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint32_t length = 0;
    if (!ReadExactly(fromHost_, reinterpret_cast<char*>(&length), sizeof length, deadline)) {
        return false;
    }
    payload.resize(length);
    return ReadExactly(fromHost_, payload.data(), length, deadline);
}

std::optional<nlohmann::json> HostClient::Request(const nlohmann::json& request, int timeoutMs) {
    if (!SendFrame(request.dump())) return std::nullopt;
    std::string reply;
    if (!ReadFrame(reply, timeoutMs)) return std::nullopt;
    nlohmann::json parsed = nlohmann::json::parse(reply, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

std::optional<nlohmann::json> HostClient::Call(const std::string& method,
                                               const nlohmann::json& params, int timeoutMs) {
    return Request({{"id", nextId_++}, {"method", method}, {"params", params}}, timeoutMs);
}

int HostClient::CloseAndWait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    if (toHost_ >= 0) {
        close(toHost_);
        toHost_ = -1;
    }
    const int status = ReapChild(pid_, std::chrono::milliseconds(timeoutMs));
    pid_ = -1;
    return status;
}

int HostClient::DropAndWait(int timeoutMs) {
    if (fromHost_ >= 0) {
        close(fromHost_);
        fromHost_ = -1;
    }
    return CloseAndWait(timeoutMs);
}

}  // namespace qorv::hostclient
