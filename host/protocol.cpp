#include "host/protocol.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "base/utf16.h"
#include "control/hresult.h"
#include "control/invoke.h"

namespace qorv::host {
namespace {

using nlohmann::json;

std::string Dump(const json& reply) {
    // Text results never hold invalid UTF-8 (they are re-encoded from UTF-16),
    // but a replacement is still safer than an exception here.
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

json ValueToJson(const ScriptValue& value) {
    if (const auto* number = std::get_if<int32_t>(&value)) return *number;
    if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
    return nullptr;
}

bool JsonToValue(const json& param, ScriptValue& out, std::string& why) {
    if (param.is_null()) {
        out = nullptr;
        return true;
    }
    if (param.is_string()) {
        out = Utf8ToUtf16(param.get_ref<const std::string&>());
        return true;
    }
    if (param.is_number_unsigned()) {
        const auto value = param.get<uint64_t>();
        if (value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
            why = "integer parameter outside the 32-bit signed range";
            return false;
        }
        out = static_cast<int32_t>(value);
        return true;
    }
    if (param.is_number_integer()) {
        const auto value = param.get<int64_t>();
        if (value < std::numeric_limits<int32_t>::min()) {
            why = "integer parameter outside the 32-bit signed range";
            return false;
        }
        out = static_cast<int32_t>(value);
        return true;
    }
    why = "a parameter must be a string, null or an integer";
    return false;
}

json ErrorObject(int32_t code, const std::string& message) {
    return {{"code", code}, {"name", control::HresultName(code)}, {"message", message}};
}

std::string ErrorReply(const json& id, int32_t code, const std::string& message) {
    return Dump({{"id", id}, {"error", ErrorObject(code, message)}});
}

}  // namespace

std::string ErrorReply(int32_t code, const std::string& message) {
    return ErrorReply(json(nullptr), code, message);
}

std::string FrameTooLargeReply(std::size_t size) {
    return ErrorReply(control::kInvalidArg,
                      "message of " + std::to_string(size) + " bytes exceeds the 1 MiB limit");
}

namespace {

// The request's texts may be PINs: they are wiped when the request is done,
// in the parsed document and in the arguments made from it.
class RequestSecrets {
  public:
    RequestSecrets(json& parsed, std::vector<ScriptValue>& args) : parsed_(parsed), args_(args) {}
    RequestSecrets(const RequestSecrets&) = delete;
    RequestSecrets& operator=(const RequestSecrets&) = delete;
    ~RequestSecrets() {
        WipeValues(args_);
        try {
            if (!parsed_.is_object()) return;
            const auto params = parsed_.find("params");
            if (params == parsed_.end() || !params->is_array()) return;
            for (auto& param : *params) {
                if (param.is_string()) SecureWipe(param.get_ref<std::string&>());
            }
        } catch (...) {
            // The types were checked above; nothing can throw here in practice.
        }
    }

  private:
    json& parsed_;
    std::vector<ScriptValue>& args_;
};

}  // namespace

std::string HandleRequest(control::CQorvClientATMCtrl& control, std::string_view request) {
    json parsed = json::parse(request.begin(), request.end(), nullptr, false);
    std::vector<ScriptValue> args;
    const RequestSecrets secrets(parsed, args);
    if (parsed.is_discarded()) return ErrorReply(control::kInvalidArg, "malformed JSON");
    if (!parsed.is_object()) {
        return ErrorReply(control::kInvalidArg, "a request must be a JSON object");
    }
    const auto id = parsed.find("id");
    if (id == parsed.end() || !id->is_number_integer()) {
        return ErrorReply(control::kInvalidArg, "a request needs an integer \"id\"");
    }
    auto fail = [&](const std::string& message) {
        return ErrorReply(*id, control::kInvalidArg, message);
    };

    const auto method = parsed.find("method");
    const auto dispid = parsed.find("dispid");
    if ((method == parsed.end()) == (dispid == parsed.end())) {
        return fail("a request names either \"method\" or \"dispid\"");
    }
    if (method != parsed.end() && !method->is_string()) return fail("\"method\" must be a string");
    if (dispid != parsed.end() && !dispid->is_number_integer()) {
        return fail("\"dispid\" must be an integer");
    }

    if (const auto params = parsed.find("params"); params != parsed.end()) {
        if (!params->is_array()) return fail("\"params\" must be an array");
        for (const auto& param : *params) {
            ScriptValue value;
            std::string why;
            if (!JsonToValue(param, value, why)) return fail(why);
            args.push_back(std::move(value));
        }
    }

    control::InvokeResult result;
    if (method != parsed.end()) {
        result = control::InvokeByName(control, method->get_ref<const std::string&>(), args);
    } else {
        const auto number = dispid->get<int64_t>();
        result = control::InvokeByDispid(control,
                                         number < std::numeric_limits<int32_t>::min() ||
                                                 number > std::numeric_limits<int32_t>::max()
                                             ? -1
                                             : static_cast<int32_t>(number),
                                         args);
    }
    if (result.hresult != control::kOk) return ErrorReply(*id, result.hresult, result.message);
    json reply;
    reply["id"] = *id;
    reply["result"] = ValueToJson(result.value);
    return Dump(reply);
}

}  // namespace qorv::host
