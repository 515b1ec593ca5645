// The private pcscd with one virtual reader and the simulated card in it, as
// both demo sessions start them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tools/demo/demo_options.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"

namespace qorv::demo {

struct DemoCard {
    std::unique_ptr<testbed::PcscTestBed> bed;
    std::unique_ptr<testbed::SimulatedCard> card;
    std::string reader;  // the name pcsc-lite lists for the card's slot
};

// Starts both and waits until pcscd sees the card; prints where they are.
// Sets PCSCLITE_CSOCK_NAME in this process, so every child uses this pcscd.
std::optional<DemoCard> StartDemoCard(const DemoOptions& options);

}  // namespace qorv::demo
