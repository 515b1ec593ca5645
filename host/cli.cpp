#include "host/cli.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "base/utf16.h"
#include "control/hresult.h"
#include "control/invoke.h"
#include "control/qorv_client_atm_ctrl.h"

namespace qorv::host {
namespace {

constexpr const char* kNullToken = "@null";

std::string Show(const ScriptValue& value) {
    if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        return nlohmann::json(Utf16ToUtf8(*text))
            .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    return "null";
}

}  // namespace

bool ParseCliCalls(const std::vector<std::string>& argv, std::vector<CliCall>& calls,
                   std::string& error) {
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& word = argv[i];
        if (word == "--call" || word == "--dispid") {
            if (i + 1 >= argv.size()) {
                error = word + " needs a method";
                return false;
            }
            CliCall call;
            if (word == "--call") {
                call.method = argv[++i];
            } else {
                char* end = nullptr;
                const long dispid = std::strtol(argv[++i].c_str(), &end, 10);
                if (end == argv[i].c_str() || *end != '\0') {
                    error = "--dispid needs a number, not " + argv[i];
                    return false;
                }
                call.dispid = static_cast<int>(dispid);
            }
            calls.push_back(std::move(call));
        } else if (calls.empty()) {
            error = "unexpected argument " + word + " (start with --call NAME)";
            return false;
        } else {
            calls.back().args.push_back(word);
        }
    }
    return true;
}

int RunCliCalls(control::CQorvClientATMCtrl& control, const std::vector<CliCall>& calls,
                std::FILE* out) {
    int exitCode = 0;
    for (const auto& call : calls) {
        std::vector<ScriptValue> args;
        std::string shown;
        for (const auto& arg : call.args) {
            if (arg == kNullToken) {
                args.emplace_back(nullptr);
            } else {
                args.emplace_back(Utf8ToUtf16(arg));
            }
            if (!shown.empty()) shown += ", ";
            shown += arg == kNullToken ? std::string("null") : Show(args.back());
        }
        const control::InvokeResult result =
            call.method.empty() ? control::InvokeByDispid(control, call.dispid, args)
                                : control::InvokeByName(control, call.method, args);
        // GCC 12 misreads "#" + std::to_string(...) at -O3 (a -Wrestrict false positive).
        std::string name = call.method;
        if (name.empty()) name.append(1, '#').append(std::to_string(call.dispid));
        if (result.hresult != control::kOk) {
            std::fprintf(out, "%s(%s) failed: %s (0x%08X) %s\n", name.c_str(), shown.c_str(),
                         control::HresultName(result.hresult),
                         static_cast<unsigned>(result.hresult), result.message.c_str());
            exitCode = 1;
        } else {
            std::fprintf(out, "%s(%s) = %s\n", name.c_str(), shown.c_str(),
                         Show(result.value).c_str());
        }
        std::fflush(out);
    }
    return exitCode;
}

}  // namespace qorv::host
