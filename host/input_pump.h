// The native-messaging input. Until a window may be shown, the serving
// thread reads each frame itself, as a bare host would. From then on (Watch)
// a thread of its own reads them, so that the end of input is seen while a
// method waits in a dialog: frames queue up in arrival order and the serving
// loop takes them one at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "host/native_messaging.h"

namespace qorv::host {

struct IncomingFrame {
    FrameStatus status = FrameStatus::EndOfInput;
    std::string body;      // the request (Ok only); the taker wipes it
    std::size_t size = 0;  // announced size (TooLarge only)
};

class InputPump {
  public:
    // Reads the descriptor `in`. `onEnd` runs once when the input ends (on
    // the reading thread once watching); `onArrival` after each frame read
    // by the thread and at the end (to wake a waiter that is not blocked in
    // Next). Neither runs after the pump is destroyed.
    InputPump(int in, std::function<void()> onEnd, std::function<void()> onArrival = {});
    // Frames not taken are wiped. A thread still blocked in its read is left
    // to the end of the process; it touches nothing of the caller's again.
    ~InputPump();
    InputPump(const InputPump&) = delete;
    InputPump& operator=(const InputPump&) = delete;

    // From now on the input is read on a thread of its own. Called between
    // frames, on the thread that takes them; at most once has an effect. An
    // input that has already ended is told (onEnd) before Watch returns.
    void Watch();
    // The next frame in arrival order, waiting for it; EndOfInput after the
    // last one, as often as asked.
    IncomingFrame Next();
    // Whether Next would return at once.
    bool Ready() const;

    struct Shared;  // with the reading thread, which may outlive the pump

  private:
    IncomingFrame ReadHere();

    int in_;
    bool watching_ = false;
    std::shared_ptr<Shared> shared_;
};

}  // namespace qorv::host
