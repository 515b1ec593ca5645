#include "host/idle_wait.h"

namespace qorv::host {

IdlingInput::IdlingInput(int in, dialogs::UserInterface& ui)
    : ui_(ui),
      pump_(
          in, [&ui] { ui.InputEnded(); }, [&ui] { ui.WakeIdle(); }) {
    // A page that never opens a window is served like a bare host: no
    // reading thread, no hand-over per request.
    if (!ui_.WatchInputBeforeFirstWindow([this] { pump_.Watch(); })) pump_.Watch();
}

IdlingInput::~IdlingInput() {
    ui_.WatchInputBeforeFirstWindow({});
}

IncomingFrame IdlingInput::Next() {
    ui_.Idle([this] { return pump_.Ready(); });
    return pump_.Next();
}

}  // namespace qorv::host
