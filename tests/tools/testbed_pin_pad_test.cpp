// Readers named after the PIN-pad models, with the card program playing the
// keypad: what a host sees through pcscd when the customer types, changes
// or cancels on the pad.
#include "tests/tools/pcsc_session.h"

namespace qorv::testing {
namespace {

using testbed::CardPresence;
using testbed::CardProtocol;

constexpr char kSelectAid[] = "00A4040008A000000172950001";
constexpr char kSelectPinFile[] =
    "00A4020002"
    "00C2";
constexpr char kVerifyOnPad[] = "0020001008FFFFFFFFFFFFFFFF";
constexpr char kChangeOnPad[] = "0020001008F0F0F0F0F0F0F0F0";
constexpr char kNewPin[] = "0020001008654321FFFFFFFFFF";
// A 64-byte withdrawal record with Le 00 (T=1).
constexpr char kWrite[] =
    "00E2108040"
    "32353130"
    "3030303030303030313030303030"
    "3132333435363738"
    "4142434445464748"
    "3230323530313032303330343035"
    "30303538313030303132333435363738"
    "00";

std::vector<testbed::ReaderSpec> AllPinPadModels() {
    std::vector<testbed::ReaderSpec> readers;
    for (const char* model : testbed::kPinPadReaderModels) {
        readers.push_back({model});
    }
    return readers;
}

TEST_F(PcscdTestBedTest, PinPadModelsAreListedUnderTheirOwnNames) {
    auto bed = StartBed(AllPinPadModels());
    ASSERT_TRUE(bed);
    PcscSession session;
    LONG result = 0;
    const auto listed = session.ListReaders(&result);
    ASSERT_EQ(listed.size(), 10U);
    EXPECT_EQ(listed[0], "Todos eCode Connectable II 00 00");
    EXPECT_EQ(listed[4], "Todos eCode Connectable 00 00");
    EXPECT_EQ(listed[6], "ACS APG8201 00 00");
    EXPECT_EQ(bed->readerName(1), "ACS ACR83U 00 00");
}

TEST_F(PcscdTestBedTest, TheCardPlaysTheKeypadOfItsPinPadReader) {
    auto bed = StartBed({{"ACS APG8201"}});
    ASSERT_TRUE(bed);
    auto card = StartCard(bed->vpcdPort(0), CardProtocol::T1, "pin-pad");
    ASSERT_TRUE(card);
    ASSERT_TRUE(testbed::WaitForCard(bed->readerName(0), CardPresence::Present));
    PcscSession session;
    ASSERT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    ASSERT_EQ(session.Transmit(kSelectAid), "9000");

    ASSERT_TRUE(card->PadCancels());
    EXPECT_EQ(session.Transmit(kVerifyOnPad), "6401");
    EXPECT_NE(card->Status().find("\"pinPad\":\"cancel\""), std::string::npos);
    ASSERT_TRUE(card->PadTimesOut());
    EXPECT_EQ(session.Transmit(kVerifyOnPad), "6400");

    ASSERT_TRUE(card->PadTypes("123456", "654321"));
    EXPECT_EQ(session.Transmit(kVerifyOnPad), "9000");
    ASSERT_EQ(session.Transmit(kSelectPinFile), "9000");
    EXPECT_EQ(session.Transmit(kChangeOnPad), "9000");
    const auto written = card->WrittenRecords();
    ASSERT_EQ(written.size(), 1U);
    EXPECT_EQ(written[0].ins, 0xD2);
    EXPECT_EQ(cardsim::ToHex(written[0].data), "654321FFFFFFFFFF");
    EXPECT_EQ(session.Transmit(kNewPin), "9000");

    EXPECT_FALSE(card->PadTypes("12345"));
    EXPECT_NE(card->lastError().find("6-12 digits"), std::string::npos) << card->lastError();
}

TEST_F(PcscdTestBedTest, APinPadReaderVerifiesBeforePassingAnUnverifiedWriteOn) {
    auto bed = StartBed({{"ACS ACR83U"}});
    ASSERT_TRUE(bed);
    auto card = StartCard(bed->vpcdPort(0), CardProtocol::T1);
    ASSERT_TRUE(card);
    ASSERT_TRUE(testbed::WaitForCard(bed->readerName(0), CardPresence::Present));
    PcscSession session;
    ASSERT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    ASSERT_EQ(session.Transmit(kSelectAid), "9000");

    // The default profile sits in a reader without a pad until told otherwise.
    EXPECT_EQ(session.Transmit(kWrite), "6982");
    ASSERT_TRUE(card->PadTypes("654321"));
    EXPECT_EQ(session.Transmit(kWrite), "63C2");
    ASSERT_TRUE(card->PadTypes("123456"));
    const auto answer = session.Transmit(kWrite);
    EXPECT_EQ(answer.substr(2, 16), "3030303030303031");  // SNUM 00000001
    EXPECT_EQ(answer.substr(answer.size() - 4), "9000");
    ASSERT_TRUE(card->PadOff());
    ASSERT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    session.Disconnect(SCARD_RESET_CARD);
    ASSERT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    ASSERT_EQ(session.Transmit(kSelectAid), "9000");
    EXPECT_EQ(session.Transmit(kVerifyOnPad), "63C2");  // the card sees FF x8
}

}  // namespace
}  // namespace qorv::testing
