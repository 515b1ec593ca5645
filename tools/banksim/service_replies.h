// The shapes of the bank service's replies and the reading of request
// members, shared by its endpoints.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "tools/banksim/bank_service.h"

namespace qorv::banksim {

inline ServiceReply BadRequest(const std::string& message) {
    return {400, {{"error", message}}};
}

inline ServiceReply Refused(const std::string& message) {
    return {200, {{"ok", false}, {"error", message}}};
}

inline ServiceReply UnknownSession() {
    return {404, {{"error", "unknown sessionId (expired, or never started)"}}};
}

// Reads the named string members; the first missing one is reported.
inline bool Strings(const nlohmann::json& request,
                    std::initializer_list<std::pair<const char*, std::string*>> fields,
                    std::string* missing) {
    for (const auto& [name, target] : fields) {
        const auto found = request.find(name);
        if (found == request.end() || !found->is_string()) {
            *missing = std::string(name) + " must be a string";
            return false;
        }
        *target = found->get<std::string>();
    }
    return true;
}

}  // namespace qorv::banksim
