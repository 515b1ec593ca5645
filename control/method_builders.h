// Shorthands for declaring dispatch entries next to their handlers.
#pragma once

#include "control/dispatch_table.h"
#include "control/qorv_client_atm_ctrl.h"

namespace qorv::control {

inline ParamSpec TextParam(const char* name) {
    return {name, ScriptType::Text};
}
inline ParamSpec LongParam(const char* name) {
    return {name, ScriptType::Long};
}

// Text results: the null string stays null, everything else is a string.
inline ScriptValue Result(const ScriptText& text) {
    return FromText(text);
}
inline ScriptValue Result(int32_t value) {
    return value;
}

}  // namespace qorv::control
