#include "tools/demo/process_sweep.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qorv::demo {

int EndProcessesMentioning(const std::string& marker) {
    int ended = 0;
    std::error_code failed;
    for (std::filesystem::directory_iterator entry("/proc", failed), end; !failed && entry != end;
         entry.increment(failed)) {
        const std::string name = entry->path().filename().string();
        if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        const pid_t pid = std::stoi(name);
        if (pid == getpid()) {
            continue;
        }
        std::ifstream file(entry->path() / "cmdline", std::ios::binary);
        const std::string commandLine{std::istreambuf_iterator<char>(file), {}};
        if (commandLine.find(marker) != std::string::npos && kill(pid, SIGKILL) == 0) {
            ++ended;
        }
    }
    return ended;
}

}  // namespace qorv::demo
