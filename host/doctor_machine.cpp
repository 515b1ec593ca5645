#include "host/doctor_machine.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "base/unix_socket.h"
#include "host/registration.h"

extern char** environ;

namespace qorv::host {

std::string Machine::Env(const std::string& name) const {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

std::string Machine::Path(const std::string& absolute) const {
    return root + absolute;
}

bool Machine::IsFolder(const std::string& absolute) const {
    struct stat info {};
    return stat(Path(absolute).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Machine::IsFile(const std::string& absolute) const {
    struct stat info {};
    return stat(Path(absolute).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Machine::SocketAccepts(const std::string& absolute) const {
    return UnixSocketAccepts(Path(absolute));
}

std::string Machine::Home() const {
    const std::string home = Env("HOME");
    return !home.empty() && home[0] == '/' ? home : std::string();
}

namespace {

// The command's standard output; its errors go nowhere, its input is empty.
std::string RunCommand(const std::vector<std::string>& argv) {
    if (argv.empty()) return {};
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string output;
    if (spawned == 0) {
        std::array<char, 4096> buffer{};
        ssize_t n = 0;
        // Enough for the answers asked for; a runaway command is cut off.
        while (output.size() < (1u << 20) &&
               (n = read(pipeFds[0], buffer.data(), buffer.size())) != 0) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            output.append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    close(pipeFds[0]);
    if (spawned == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return output;
}

std::string OwnExecutable() {
    std::array<char, PATH_MAX> path{};
    if (realpath("/proc/self/exe", path.data()) == nullptr) return {};
    return path.data();
}

}  // namespace

Machine RealMachine(reader::PcscProvider& pcsc) {
    Machine machine;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            machine.environment[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    machine.pcsc = &pcsc;
    machine.run = RunCommand;
    machine.hostPath = OwnExecutable();
    const RegistrationSettings settings = DefaultRegistrationSettings();
    machine.chromeExtensionIds = settings.chromeExtensionIds;
    machine.firefoxExtensionId = settings.firefoxExtensionId;
    return machine;
}

}  // namespace qorv::host
