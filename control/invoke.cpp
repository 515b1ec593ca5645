#include "control/invoke.h"

#include <charconv>
#include <limits>

#include "base/secure_wipe.h"
#include "base/utf16.h"
#include "control/dispatch_table.h"
#include "control/hresult.h"

namespace qorv::control {
namespace {

bool ParseDecimalLong(const std::u16string& text, int32_t& out) {
    // Automation accepts surrounding blanks and a sign; nothing else.
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    std::string ascii;
    ascii.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c > 0x7F) {
            SecureWipe(ascii);
            return false;
        }
        ascii.push_back(static_cast<char>(c));
    }
    if (!ascii.empty() && ascii[0] == '+') ascii.erase(0, 1);
    if (ascii.empty()) return false;
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    const bool whole = ec == std::errc() && ptr == ascii.data() + ascii.size();
    SecureWipe(ascii);  // a copy of the page's text
    if (!whole) return false;
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

// An unknown name is echoed in the error message, cut to a few dozen bytes
// (at a character boundary): a page could send one of nearly 1 MiB, and a
// reply over 1 MiB makes the browser drop the host.
std::string EchoedName(std::string_view name) {
    if (name.size() <= kMaxEchoedNameBytes) return std::string(name);
    std::size_t cut = kMaxEchoedNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return std::string(name.substr(0, cut)) + "...";
}

InvokeResult Failure(int32_t hresult, std::string message) {
    InvokeResult result;
    result.hresult = hresult;
    result.message = std::move(message);
    return result;
}

InvokeResult Call(CQorvClientATMCtrl& control, const MethodEntry& method,
                  const std::vector<ScriptValue>& args) {
    if (args.size() != method.params.size()) {
        return Failure(kDispBadParamCount,
                       method.name + " takes " + std::to_string(method.params.size()) +
                           " parameter(s), " + std::to_string(args.size()) + " given");
    }
    std::vector<ScriptValue> coerced(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!CoerceArgument(args[i], method.params[i].type, coerced[i])) {
            WipeValues(coerced);
            return Failure(kDispTypeMismatch,
                           "parameter " + method.params[i].name + " of " + method.name +
                               (method.params[i].type == ScriptType::Long ? " must be a long"
                                                                          : " must be a text"));
        }
    }
    InvokeResult result;
    result.value = method.handler(control, coerced);
    WipeValues(coerced);
    return result;
}

}  // namespace

bool CoerceArgument(const ScriptValue& in, ScriptType type, ScriptValue& out) {
    // Texts may be PINs: they are built in `out` itself, never in a temporary
    // (a variant assignment would copy a short text through the stack).
    if (auto* previous = std::get_if<std::u16string>(&out)) SecureWipe(*previous);
    if (type == ScriptType::Text) {
        if (const auto* number = std::get_if<int32_t>(&in)) {
            char digits[16];
            char* const end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
            auto& text = out.emplace<std::u16string>();
            text.reserve(static_cast<std::size_t>(end - digits));
            text.assign(digits, end);
            SecureWipe(digits, sizeof digits);
        } else if (const auto* text = std::get_if<std::u16string>(&in)) {
            out.emplace<std::u16string>(*text);
        } else {
            out = nullptr;
        }
        return true;
    }
    if (const auto* number = std::get_if<int32_t>(&in)) {
        out = *number;
        return true;
    }
    if (const auto* text = std::get_if<std::u16string>(&in)) {
        int32_t value = 0;
        if (!ParseDecimalLong(*text, value)) return false;
        out = value;
        return true;
    }
    return false;  // the null string is no number
}

InvokeResult InvokeByName(CQorvClientATMCtrl& control, std::string_view name,
                          const std::vector<ScriptValue>& args) {
    const MethodEntry* method = ControlDispatchTable().FindByName(name);
    if (method == nullptr) return Failure(kDispUnknownName, "unknown method " + EchoedName(name));
    return Call(control, *method, args);
}

InvokeResult InvokeByDispid(CQorvClientATMCtrl& control, int32_t dispid,
                            const std::vector<ScriptValue>& args) {
    const MethodEntry* method = ControlDispatchTable().FindByDispid(dispid);
    if (method == nullptr) {
        return Failure(kDispMemberNotFound, "no method with DISPID " + std::to_string(dispid));
    }
    return Call(control, *method, args);
}

}  // namespace qorv::control
