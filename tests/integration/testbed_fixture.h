// A private pcscd with simulated cards and a real host, for tests that go
// through the whole stack. Skips when the machine cannot run a private pcscd.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "support/host_process.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::testing {

class TestBedTest : public ::testing::Test {
  protected:
    // Starts pcscd with the given readers; false (and the test skipped or
    // failed) when it cannot.
    bool StartReaders(const std::vector<testbed::ReaderSpec>& readers) {
        if (geteuid() != 0) {
            skipped_ = true;
            return false;
        }
        std::string error;
        bed = testbed::PcscTestBed::Start(readers, &error);
        if (!bed) ADD_FAILURE() << "test bed: " << error;
        return bed != nullptr;
    }

    // Puts a card with the profile into reader `index` and waits until pcscd sees it.
    testbed::SimulatedCard* InsertCard(std::size_t index, testbed::CardProtocol protocol,
                                       const std::string& profile = testbed::DefaultProfilePath()) {
        std::string error;
        auto card =
            testbed::SimulatedCard::Start(bed->vpcdPort(index), protocol, profile, true, &error);
        if (!card) {
            ADD_FAILURE() << "card: " << error;
            return nullptr;
        }
        EXPECT_TRUE(testbed::WaitForCard(bed->readerName(index), testbed::CardPresence::Present));
        cards.push_back(std::move(card));
        return cards.back().get();
    }

    HostProcess& Host() {
        if (!host) host = std::make_unique<HostProcess>();
        return *host;
    }

    bool skipped_ = false;
    std::unique_ptr<testbed::PcscTestBed> bed;
    std::vector<std::unique_ptr<testbed::SimulatedCard>> cards;
    std::unique_ptr<HostProcess> host;

    void TearDown() override {
        if (host) {
            EXPECT_EQ(host->CloseAndWait(), 0);
        }
        host.reset();
        cards.clear();
        bed.reset();
    }
};

// Gives up the test when the test bed could not start (skip without root).
#define START_READERS(...)                                              \
    do {                                                                \
        if (!StartReaders(__VA_ARGS__)) {                               \
            if (skipped_) GTEST_SKIP() << "a private pcscd needs root"; \
            return;                                                     \
        }                                                               \
    } while (0)

inline int32_t Signed(uint32_t code) {
    return static_cast<int32_t>(code);
}

}  // namespace qorv::testing
