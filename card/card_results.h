// Result codes of the card operations, besides 0 (success), the argument
// checks of card_engine.h, card status words and PC/SC errors passed through.
#pragma once

#include <cstdint>

namespace qorv::card {

inline constexpr int32_t kFailure = -1;            // transaction write refused, reader failed
inline constexpr int32_t kVerifyRefused = 1;       // verify refused with another status
inline constexpr int32_t kNotDigits = 8193;        // a PIN holds a non-digit
inline constexpr int32_t kHexDecodeFailed = 8452;  // file text of a supplied record
inline constexpr int32_t kSelectFailed = 20481;    // select application or file
inline constexpr int32_t kAccountReadFailed = 20482;
inline constexpr int32_t kVerify6608 = 20484;
inline constexpr int32_t kVerify6620 = 20485;
inline constexpr int32_t kWrite6610 = 20486;
inline constexpr int32_t kWrite69F0 = 20756;
inline constexpr int32_t kAccountMismatch = 20757;

}  // namespace qorv::card
