#include "host/method_list.h"

#include <nlohmann/json.hpp>

#include "control/dispatch_table.h"

namespace qorv::host {
namespace {

const char* TypeName(ScriptType type) {
    return type == ScriptType::Long ? "long" : "text";
}

}  // namespace

std::string MethodTableJson() {
    nlohmann::ordered_json methods = nlohmann::ordered_json::array();
    for (const auto& method : control::ControlDispatchTable().methods()) {
        nlohmann::ordered_json params = nlohmann::ordered_json::array();
        for (const auto& param : method.params) {
            params.push_back({{"name", param.name}, {"type", TypeName(param.type)}});
        }
        methods.push_back({{"dispid", method.dispid},
                           {"name", method.name},
                           {"params", std::move(params)},
                           {"result", TypeName(method.result)}});
    }
    return methods.dump(1, '\t');
}

}  // namespace qorv::host
