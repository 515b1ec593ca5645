// How pending data fetched with GET RESPONSE becomes the exchange's result,
// and the less common command shapes of both exchanges.
#include <gtest/gtest.h>

#include "reader/apdu_exchange.h"
#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::Bytes;
using testing::FakeCard;
using testing::FakePcsc;
using testing::HexBytes;
using testing::RecordingPauser;
using testing::ToHex;

class GetResponseTest : public ::testing::Test {
  protected:
    void Connect(PcscDword protocol) {
        FakeCard card;
        card.protocol = protocol;
        pcsc.AddReader("Reader", card);
        Atr atr;
        int32_t slot = -1;
        ASSERT_EQ(session.ConnectByName(u"Reader", kShareTypeExclusive, slot, atr), 0);
        pcsc.ClearCalls();
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& apdu : pcsc.Transmitted()) out.push_back(ToHex(apdu));
        return out;
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    std::array<uint8_t, kResponseCapacity> response{};
};

constexpr CommandHeader kWrite{0x00, 0xE2, 0x10, 0x80};
constexpr CommandHeader kReadRecord{0x00, 0xB2, 0x01, 0x0C};
const Bytes kRecord = HexBytes("32 35 34 31");

TEST_F(GetResponseTest, RefusedFetchReturnsItsStatusNotSuccess) {
    Connect(pcsc::kProtocolT0);
    const struct {
        const char* answer;
        int32_t result;
    } cases[] = {
        {"6F 00", 0x6F00},                   // a bare status word
        {"6A 86", 0x6A86},                   // refused, with the slot's length kept
        {"61 05", 0x6105},                   // still more pending: not all of it arrived
        {"0011223344556677 62 82", 0x6282},  // fewer bytes, the card says so
    };
    for (const auto& c : cases) {
        pcsc.Expect("00E2108004 32353431", "61 13");
        pcsc.Expect("00 C0 00 00 13", c.answer);
        uint8_t length = 0;
        EXPECT_EQ(Exchange(session, 0, kWrite, 4, &length, kRecord.data(), response.data()),
                  c.result)
            << c.answer;
        EXPECT_EQ(length, 0x13) << "the slot holds the announced count, as on success";
    }
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(GetResponseTest, FewerDataBytesThanAnnouncedWithSuccessStatusIsAFailure) {
    // The first 8 bytes of a 19-byte answer: copying 19 would hand on the
    // status word and zeros as SNUM and TAC.
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00E2108004 32353431", "61 13");
    pcsc.Expect("00 C0 00 00 13", "0030303030303031 90 00");
    uint8_t length = 0;
    EXPECT_NE(Exchange(session, 0, kWrite, 4, &length, kRecord.data(), response.data()), 0);
    // Exactly the announced count is a success; more than announced copies the announced count.
    pcsc.Expect("00E2108004 32353431", "61 04");
    pcsc.Expect("00 C0 00 00 04", "01020304 90 00");
    length = 0;
    EXPECT_EQ(Exchange(session, 0, kWrite, 4, &length, kRecord.data(), response.data()), 0);
    EXPECT_EQ(length, 4);
    response.fill(0xEE);
    pcsc.Expect("00 B2 01 0C 06", "61 02");
    pcsc.Expect("00 C0 00 00 06", "0102030405 06 90 00");
    length = 6;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(response[1], 0x02);
    EXPECT_EQ(response[2], 0xEE);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(GetResponseTest, SixtyOneZeroStillFetchesEverythingAndCopiesNothing) {
    Connect(pcsc::kProtocolT1);
    pcsc.Expect("00 B2 01 0C 00", "61 00");
    pcsc.Expect("00 C0 00 00 00", std::string(2 * 256, 'A') + "90 00");
    response.fill(0xEE);
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(response[0], 0xEE);
    // The refusal of such a fetch is its status too.
    pcsc.Expect("00 B2 01 0C 00", "61 00");
    pcsc.Expect("00 C0 00 00 00", "6A 82");
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0x6A82);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(GetResponseTest, WithoutLengthSlotTheFetchAsksForTheAnnouncedCount) {
    Connect(pcsc::kProtocolT0);
    // Case 3 on T=0: no Le byte; the card still has data pending.
    pcsc.Expect("00E2108004 32353431", "61 08");
    pcsc.Expect("00 C0 00 00 08", "0102030405060708 90 00");
    EXPECT_EQ(Exchange(session, 0, kWrite, 4, nullptr, kRecord.data(), response.data()), 0);
    EXPECT_EQ(response[7], 0x08);
    // Nowhere to copy to: the fetch still happens and its status decides.
    pcsc.Expect("00E2108004 32353431", "61 08");
    pcsc.Expect("00 C0 00 00 08", "6F 00");
    EXPECT_EQ(Exchange(session, 0, kWrite, 4, nullptr, kRecord.data(), nullptr), 0x6F00);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(GetResponseTest, ExtendedOnT0WithCommandDataSendsNoLe) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 05 04 32353431", "0102 90 00");
    std::array<uint8_t, kExtendedResponseCapacity> big{};
    uint32_t length = 0x1FE;
    EXPECT_EQ(ExchangeExtended(session, 0, {0x00, 0xB2, 0x01, 0x05}, 4, &length, kRecord.data(),
                               big.data()),
              0);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(Sent(), std::vector<std::string>{"00B201050432353431"});
    // On T=1 the same command carries the three-byte Le.
    FakeCard t1;
    t1.protocol = pcsc::kProtocolT1;
    pcsc.AddReader("Reader T1", t1);
    Atr atr;
    int32_t slot = -1;
    ASSERT_EQ(session.ConnectByName(u"Reader T1", kShareTypeExclusive, slot, atr), 0);
    pcsc.ClearCalls();
    pcsc.Expect("00 B2 01 05 04 32353431 0001FE", "90 00");
    length = 0x1FE;
    EXPECT_EQ(ExchangeExtended(session, slot, {0x00, 0xB2, 0x01, 0x05}, 4, &length, kRecord.data(),
                               big.data()),
              0);
    EXPECT_EQ(length, 0x1FEu) << "a bare status word leaves the caller's length";
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::reader
