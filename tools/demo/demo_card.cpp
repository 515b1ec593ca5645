#include "tools/demo/demo_card.h"

#include <cstdio>

#include "tools/testbed/card_presence.h"

namespace qorv::demo {

std::optional<DemoCard> StartDemoCard(const DemoOptions& options) {
    std::string error;
    DemoCard started;
    testbed::ReaderSpec reader{options.reader};
    if (options.pinPad) {
        reader = {testbed::kPart10PinPadReader, true};
    }
    started.bed = testbed::PcscTestBed::Start({reader}, &error);
    if (!started.bed) {
        std::fprintf(stderr, "cannot start the private pcscd: %s\n", error.c_str());
        return std::nullopt;
    }
    started.reader = started.bed->readerName(0);
    started.card = testbed::SimulatedCard::Start(started.bed->vpcdPort(0), options.protocol,
                                                 options.profile, true, &error);
    if (!started.card || !testbed::WaitForCard(started.reader, testbed::CardPresence::Present)) {
        std::fprintf(stderr, "cannot insert the simulated card: %s\n", error.c_str());
        return std::nullopt;
    }
    // The customer at the reader's keypad types the demo card's PIN.
    if (options.pinPad && !started.card->PadTypes("123456")) {
        std::fprintf(stderr, "the simulated PIN pad: %s\n", started.card->lastError().c_str());
        return std::nullopt;
    }
    std::printf("private pcscd at %s, card (%s) in \"%s\"\n", started.bed->socketPath().c_str(),
                options.protocol == testbed::CardProtocol::T0 ? "T=0" : "T=1",
                started.reader.c_str());
    return started;
}

}  // namespace qorv::demo
