// PIN verification and change through the host against the simulated card.
#include "card_fixture.h"

namespace qorv::testing {
namespace {

class CardPinOnTestBed : public CardOnTestBed {};
ON_BOTH_PROTOCOLS(CardPinOnTestBed);

TEST_P(CardPinOnTestBed, ChangedPinIsTheOneTheCardVerifiesAfterwards) {
    CONNECT_CARD("default");
    HostProcess& host = Host();
    EXPECT_EQ(host.Call("VerifyPIN", {"12345"}), 8194);
    EXPECT_EQ(host.Call("VerifyPIN", {"654321"}), 1);  // the card answers 63Cx
    EXPECT_EQ(host.Call("ChangePIN", {"123456", "1357924"}), 0);
    const auto written = card->WrittenRecords();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].ins, 0xD2);
    EXPECT_EQ(written[0].p1, 0x01);
    EXPECT_EQ(written[0].p2, 0x04);
    EXPECT_EQ(written[0].data,
              (std::vector<uint8_t>{0x13, 0x57, 0x92, 0x4F, 0xFF, 0xFF, 0xFF, 0xFF}));
    // A new card session: only the new PIN is accepted.
    EXPECT_EQ(host.Call("ConnectCard", {kReader}), 0);
    EXPECT_EQ(host.Call("VerifyPIN", {"123456"}), 1);
    EXPECT_EQ(host.Call("VerifyPIN", {"1357924"}), 0);
}

TEST_P(CardPinOnTestBed, WrongOldPinLeavesThePinAsItWas) {
    CONNECT_CARD("pin-6620");
    EXPECT_EQ(Host().Call("ChangePIN", {"111111", "222222"}), 20485);
    EXPECT_TRUE(card->WrittenRecords().empty());
    EXPECT_EQ(Host().Call("VerifyPIN", {"123456"}), 0);
}

}  // namespace
}  // namespace qorv::testing
