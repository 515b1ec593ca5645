// A private pcscd with one simulated FISC card of a chosen protocol and
// profile, connected through a real host that runs in UTC+8.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

// testbed_fixture.h has an unbraced EXPECT inside an if, which this GCC flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-else"
#include "testbed_fixture.h"
#pragma GCC diagnostic pop

namespace qorv::testing {

inline const char* ProtocolName(const ::testing::TestParamInfo<testbed::CardProtocol>& info) {
    return info.param == testbed::CardProtocol::T0 ? "T0" : "T1";
}

class CardOnTestBed : public TestBedTest,
                      public ::testing::WithParamInterface<testbed::CardProtocol> {
  protected:
    static constexpr const char* kReader = "Virtual PCD 00 00";
    static constexpr const char* kTimeZone = "CST-8";  // no tzdata needed

    void SetUp() override {
        setenv("TZ", kTimeZone, 1);
        tzset();
    }

    // Inserts the card and connects it; false when the test cannot go on.
    bool ConnectCardWithProfile(const std::string& profile) {
        card = InsertCard(0, GetParam(), testbed::ProfilePath(profile));
        if (card == nullptr) return false;
        host =
            std::make_unique<HostProcess>(std::vector<std::string>{std::string("TZ=") + kTimeZone});
        return Host().Call("ConnectCard", {kReader}) == 0;
    }

    testbed::SimulatedCard* card = nullptr;
};

// Starts the test bed and the card, or skips (not root) or gives up the test.
#define CONNECT_CARD(profile)                                                 \
    do {                                                                      \
        if (!StartReaders({{"Virtual PCD"}})) {                               \
            if (skipped_) {                                                   \
                GTEST_SKIP() << "a private pcscd needs root";                 \
            }                                                                 \
            return;                                                           \
        }                                                                     \
        ASSERT_TRUE(ConnectCardWithProfile(profile)) << "card not connected"; \
    } while (0)

#define ON_BOTH_PROTOCOLS(fixture) \
    INSTANTIATE_TEST_SUITE_P(      \
        Protocols, fixture,        \
        ::testing::Values(testbed::CardProtocol::T0, testbed::CardProtocol::T1), ProtocolName)

}  // namespace qorv::testing
