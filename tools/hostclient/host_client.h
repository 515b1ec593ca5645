// A client of qorvclientatm-host over native messaging, as a browser runs it:
// the host is a child process, requests and replies are length-prefixed JSON
// on its stdin and stdout. Used by the demo, the benchmarks and the tests.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace qorv::hostclient {

class HostClient {
  public:
    // Starts the host at `path`; `environment` entries ("NAME=value") are
    // added to this process's environment for the child. With `stderrPath`
    // the host's standard error goes to that file.
    HostClient(const std::string& path, const std::vector<std::string>& environment = {},
               const std::vector<std::string>& arguments = {}, const std::string& stderrPath = {});
    ~HostClient();
    HostClient(const HostClient&) = delete;
    HostClient& operator=(const HostClient&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // One request, one reply; nullopt when the host did not answer in time.
    std::optional<nlohmann::json> Request(const nlohmann::json& request, int timeoutMs = 20000);
    // Calls a method by name with a fresh id; the whole reply comes back.
    std::optional<nlohmann::json> Call(const std::string& method,
                                       const nlohmann::json& params = nlohmann::json::array(),
                                       int timeoutMs = 20000);

    bool SendRaw(const std::string& bytes);
    bool SendFrame(const std::string& payload);
    bool ReadFrame(std::string& payload, int timeoutMs);
    // Closes the host's stdin and waits; the exit status, or -1 when it had to be killed.
    int CloseAndWait(int timeoutMs = 10000);
    // Closes both pipes at once, as a browser does when the page goes; the
    // exit status, or -1 when a signal ended the host or it had to be killed.
    int DropAndWait(int timeoutMs = 10000);

  private:
    pid_t pid_ = -1;
    int toHost_ = -1;
    int fromHost_ = -1;
    int nextId_ = 1;
};

}  // namespace qorv::hostclient
