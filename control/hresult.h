// Errors of the automation layer itself, as signed 32-bit HRESULTs. Results
// of the control's methods are never reported this way.
#pragma once

#include <cstdint>

namespace qorv::control {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kDispUnknownName = static_cast<int32_t>(0x80020006);
inline constexpr int32_t kDispMemberNotFound = static_cast<int32_t>(0x80020003);
inline constexpr int32_t kDispBadParamCount = static_cast<int32_t>(0x8002000E);
inline constexpr int32_t kDispTypeMismatch = static_cast<int32_t>(0x80020005);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);

const char* HresultName(int32_t hresult);

}  // namespace qorv::control
