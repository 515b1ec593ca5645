// Drives a real qorvclientatm-host over its native-messaging stdio, the way
// a browser does, recording a test failure when the host does not answer.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/hostclient/host_client.h"

namespace qorv::testing {

// Absolute path of the built host (set by CMake).
std::string HostPath();

class HostProcess {
  public:
    // `environment` entries ("NAME=value") are added to the host's environment.
    explicit HostProcess(const std::vector<std::string>& environment = {},
                         const std::vector<std::string>& arguments = {})
        : client_(HostPath(), environment, arguments) {}

    // Sends one request and returns the whole reply (null when none came).
    nlohmann::json Request(const nlohmann::json& request);
    // Calls a method by name and returns reply["result"]; an error reply is a
    // test failure.
    nlohmann::json Call(const std::string& method,
                        const nlohmann::json& params = nlohmann::json::array());

    void SendRaw(const std::string& bytes) { client_.SendRaw(bytes); }
    void SendFrame(const std::string& payload) { client_.SendFrame(payload); }
    bool ReadFrame(std::string& payload, int timeoutMs = 20000) {
        return client_.ReadFrame(payload, timeoutMs);
    }
    int CloseAndWait(int timeoutMs = 10000) { return client_.CloseAndWait(timeoutMs); }
    hostclient::HostClient& client() { return client_; }

  private:
    hostclient::HostClient client_;
};

}  // namespace qorv::testing
