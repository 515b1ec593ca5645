// Drives a real qorvclientatm-host over its native-messaging stdio, the way
// a browser does, for tests above unit level.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace qorv::testing {

class HostProcess {
  public:
    // `environment` entries ("NAME=value") are added to the host's environment,
    // e.g. PCSCLITE_CSOCK_NAME for a private pcscd.
    explicit HostProcess(const std::vector<std::string>& environment = {},
                         const std::vector<std::string>& arguments = {});
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Sends one request and waits for its reply (the whole reply object).
    nlohmann::json Request(const nlohmann::json& request);
    // {"id": n, "method": name, "params": params} and returns reply["result"];
    // a test failure is recorded when an error comes back instead.
    nlohmann::json Call(const std::string& method,
                        const nlohmann::json& params = nlohmann::json::array());

    void SendRaw(const std::string& bytes);  // framing included by the caller
    void SendFrame(const std::string& payload);
    bool ReadFrame(std::string& payload, int timeoutMs = 20000);
    // Closes stdin and returns the exit status (-1 when it had to be killed).
    int CloseAndWait(int timeoutMs = 10000);
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int toHost_ = -1;
    int fromHost_ = -1;
    int nextId_ = 1;
};

// Absolute path of the built host (set by CMake).
std::string HostPath();

}  // namespace qorv::testing
