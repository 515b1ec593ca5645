// The countdown of the entry dialogs: a 200 ms timer whose every fifth tick
// takes one second off. The label "%3d 秒後自動登出" is shown once 60 seconds
// or fewer remain; at 0 the countdown expires and the dialog shows
// "交易時間逾時，請重新執行交易 !" and ends as cancelled. There is no clock
// inside: the dialog feeds it the ticks of its timer.
#pragma once

#include <string>

namespace qorv::dialogs {

inline constexpr int kCountdownTimerId = 4097;
inline constexpr int kCountdownTickMs = 200;
inline constexpr int kTicksPerSecond = 5;
inline constexpr int kCountdownLabelFrom = 60;

// Dialog outcomes.
inline constexpr int kOutcomeOk = 1;
inline constexpr int kOutcomeCancelled = 2;

enum class TickEvent {
    kNone,          // nothing to update
    kLabelChanged,  // show or hide the label and set its text
    kExpired,       // timer stopped: show the time-out message, end as cancelled
};

class Countdown {
  public:
    explicit Countdown(int seconds);

    void Start() { running_ = true; }
    void Stop() { running_ = false; }
    bool running() const { return running_; }
    int remainingSeconds() const { return remaining_; }

    // One tick of the 200 ms timer; ticks after Stop or expiry do nothing.
    TickEvent Tick();

    bool labelVisible() const { return labelVisible_; }
    // "%3d 秒後自動登出" with the remaining seconds (valid once a second passed).
    std::u16string labelText() const;

  private:
    int remaining_;
    int ticks_ = 0;
    bool running_ = false;
    bool labelVisible_ = false;
};

// The label text for a number of seconds, padded to three characters.
std::u16string CountdownLabel(int seconds);
// The template form "%s 秒後自動登出" with a value as written in the document.
std::u16string CountdownLabel(const std::u16string& written);

}  // namespace qorv::dialogs
