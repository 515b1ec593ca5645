// What qorv-demo was asked to run: the bank page in a browser (headless or
// for a person to watch) or the console session, against which card.
#pragma once

#include <string>

#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::demo {

enum class DemoMode { Headless, Headed, Console };

struct DemoOptions {
    DemoMode mode = DemoMode::Headless;
    testbed::CardProtocol protocol = testbed::CardProtocol::T1;
    std::string profile = testbed::DefaultProfilePath();
    std::string reader = "Virtual PCD";
    // The page runs the confirmed transfer (AccountTransferEx); headless, a
    // scripted person presses OK in the host's confirmation dialog.
    bool confirmed = false;
};

// qorv-demo exits with this when it cannot run here (not root, no browser):
// CTest reads it as a skip.
constexpr int kCannotRunHere = 77;

}  // namespace qorv::demo
