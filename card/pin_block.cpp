#include "card/pin_block.h"

#include "base/results.h"
#include "card/card_engine.h"

namespace qorv::card {
namespace {

// The whole code unit must be an ASCII digit: a character whose low byte
// merely looks like one would present a PIN other than the one typed.
bool AllDigits(std::u16string_view text) {
    for (const char16_t unit : text) {
        if (unit < u'0' || unit > u'9') return false;
    }
    return true;
}

}  // namespace

int32_t CheckPinTexts(std::initializer_list<const ScriptText*> pins) {
    for (const auto* pin : pins) {
        if (!*pin) return result::kArgumentMissing;
    }
    for (const auto* pin : pins) {
        const std::size_t size = (*pin)->size();
        if (size < kMinPinDigits || size > kMaxPinDigits) return result::kBadLength;
    }
    for (const auto* pin : pins) {
        if (!AllDigits(**pin)) return result::kOutOfRange;
    }
    return 0;
}

void PackPinBlock(std::u16string_view digits, PinBlock& block) {
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = 0xFF;
    for (std::size_t i = 0; i < digits.size() && i / 2 < block.size(); ++i) {
        const auto value = static_cast<uint8_t>(digits[i] - u'0');
        uint8_t& byte = block[i / 2];
        byte = i % 2 == 0 ? static_cast<uint8_t>(value << 4 | 0x0F)
                          : static_cast<uint8_t>((byte & 0xF0) | value);
    }
}

int32_t MapVerifyStatus(int32_t exchangeResult) {
    switch (exchangeResult) {
        case 0:
            return 0;
        case 0x6620:
            return result::kVerify6620;
        case 0x6608:
            return result::kVerify6608;
        default:
            return result::kVerifyRefused;
    }
}

}  // namespace qorv::card
