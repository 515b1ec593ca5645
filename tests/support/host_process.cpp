#include "support/host_process.h"

#include <gtest/gtest.h>

namespace qorv::testing {

std::string HostPath() {
    return QORV_HOST_PATH;
}

nlohmann::json HostProcess::Request(const nlohmann::json& request) {
    const auto reply = client_.Request(request);
    if (!reply) {
        ADD_FAILURE() << "no reply to " << request.dump();
        return nullptr;
    }
    return *reply;
}

nlohmann::json HostProcess::Call(const std::string& method, const nlohmann::json& params) {
    const auto reply = client_.Call(method, params);
    if (!reply || !reply->is_object() || !reply->contains("result")) {
        ADD_FAILURE() << method << " answered " << (reply ? reply->dump() : "nothing");
        return nullptr;
    }
    return (*reply)["result"];
}

}  // namespace qorv::testing
