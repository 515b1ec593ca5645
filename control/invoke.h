// Calling a method of the control the way a script host does: by name or by
// DISPID, with arguments coerced as automation coerces them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/script_value.h"

namespace qorv::control {

class CQorvClientATMCtrl;

// An unknown method name is echoed in the error message up to this many bytes.
inline constexpr std::size_t kMaxEchoedNameBytes = 40;

struct InvokeResult {
    int32_t hresult = 0;  // 0, or an automation error (DISP_E_...)
    ScriptValue value = nullptr;
    std::string message;  // for an automation error
};

InvokeResult InvokeByName(CQorvClientATMCtrl& control, std::string_view name,
                          const std::vector<ScriptValue>& args);
InvokeResult InvokeByDispid(CQorvClientATMCtrl& control, int32_t dispid,
                            const std::vector<ScriptValue>& args);

// A number for a text parameter becomes its decimal text; a decimal integer
// text for a long parameter becomes that long; anything else does not fit.
bool CoerceArgument(const ScriptValue& in, ScriptType type, ScriptValue& out);

}  // namespace qorv::control
