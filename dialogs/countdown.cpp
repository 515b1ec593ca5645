#include "dialogs/countdown.h"

#include <cstdio>

namespace qorv::dialogs {

namespace {
constexpr char16_t kLabelSuffix[] = u" 秒後自動登出";
}

Countdown::Countdown(int seconds) : remaining_(seconds) {}

TickEvent Countdown::Tick() {
    if (!running_) return TickEvent::kNone;
    if (++ticks_ < kTicksPerSecond) return TickEvent::kNone;
    ticks_ = 0;
    --remaining_;
    labelVisible_ = remaining_ <= kCountdownLabelFrom;
    if (remaining_ <= 0) {
        running_ = false;
        return TickEvent::kExpired;
    }
    return TickEvent::kLabelChanged;
}

std::u16string Countdown::labelText() const {
    return CountdownLabel(remaining_);
}

std::u16string CountdownLabel(int seconds) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%3d", seconds);
    std::u16string text;
    for (const char* p = digits; *p != 0; ++p) text += static_cast<char16_t>(*p);
    return text + kLabelSuffix;
}

std::u16string CountdownLabel(const std::u16string& written) {
    return written + kLabelSuffix;
}

}  // namespace qorv::dialogs
