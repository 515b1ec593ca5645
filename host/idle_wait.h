// The serving loop's wait for the next request. Once the dialog module is
// loaded the process is on the desktop's accessibility bus, and a screen
// reader asks it questions even when no window is open; so the wait runs the
// windows' events (the user interface's Idle) instead of only blocking.
#pragma once

#include "dialogs/user_interface.h"
#include "host/input_pump.h"

namespace qorv::host {

// A pump whose arrivals wake `ui`'s Idle; the end of input also ends an open
// dialog through `ui`.
class IdlingInput {
  public:
    IdlingInput(int in, dialogs::UserInterface& ui);
    ~IdlingInput();
    IdlingInput(const IdlingInput&) = delete;
    IdlingInput& operator=(const IdlingInput&) = delete;

    // The next frame, the windows answering while it is awaited.
    IncomingFrame Next();

  private:
    dialogs::UserInterface& ui_;
    InputPump pump_;
};

}  // namespace qorv::host
