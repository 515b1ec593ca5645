// The customer's PIN as the card takes it: 6 to 12 decimal digits packed two
// per byte into an 8-byte block, an odd last digit with F, the rest FF.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/script_value.h"
#include "base/secure_wipe.h"
#include "card/card_commands.h"

namespace qorv::card {

inline constexpr std::size_t kMinPinDigits = 6;
inline constexpr std::size_t kMaxPinDigits = 12;

using PinBlock = SecretBytes<kPinBlockLength>;

// Checks PIN texts in the order the methods name them: every one present
// (8195), then every length (8194), then every one made of digits (8193).
// 0 when all pass.
int32_t CheckPinTexts(std::initializer_list<const ScriptText*> pins);

// `digits` has passed CheckPinTexts.
void PackPinBlock(std::u16string_view digits, PinBlock& block);

// Verify and PIN-pad answers: 0, 20485 (6620), 20484 (6608), else 1.
int32_t MapVerifyStatus(int32_t exchangeResult);

}  // namespace qorv::card
