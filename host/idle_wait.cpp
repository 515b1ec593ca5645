#include "host/idle_wait.h"

namespace qorv::host {

IdlingInput::IdlingInput(int in, dialogs::UserInterface& ui)
    : ui_(ui),
      pump_(
          in, [&ui] { ui.InputEnded(); }, [&ui] { ui.WakeIdle(); }) {}

IncomingFrame IdlingInput::Next() {
    ui_.Idle([this] { return pump_.Ready(); });
    return pump_.Next();
}

}  // namespace qorv::host
