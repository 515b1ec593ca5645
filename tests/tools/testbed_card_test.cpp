// The simulated card through pcscd with plain pcsc-lite calls, on T=0 and
// T=1: the answers the product's APDU exchange has to cope with.
#include <nlohmann/json.hpp>

#include "tests/tools/pcsc_session.h"
#include "tests/tools/tac_reference.h"
#include "tools/cardsim/card_profile.h"

namespace qorv::testing {
namespace {

using testbed::CardPresence;
using testbed::CardProtocol;

constexpr char kSelectAid[] = "00A4040008A000000172950001";
constexpr char kSelectEf1001[] = "00A40200021001";
constexpr char kGoodPin[] = "0020001008123456FFFFFFFFFF";
constexpr char kWrongPin[] = "0020001008111111FFFFFFFFFF";
// A 64-byte withdrawal record: processing code, amount, identifier, check code,
// date-time, account.
std::string AsciiHex(std::string_view text) {
    return cardsim::ToHex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}
const std::string kWithdrawal = AsciiHex(
    "2510"
    "00000000100000"
    "12345678"
    "ABCDEFGH"
    "20250102030405"
    "0058100012345678");

class CardOverPcsc : public PcscdTestBedTest, public ::testing::WithParamInterface<CardProtocol> {
  protected:
    // A reader with the card in it, a connected session, the application selected.
    void Open(const std::string& profile = "default") {
        bed_ = StartBed({{"Todos eCode Connectable II"}});
        ASSERT_TRUE(bed_);
        card_ = StartCard(bed_->vpcdPort(0), GetParam(), profile);
        ASSERT_TRUE(card_);
        ASSERT_TRUE(testbed::WaitForCard(bed_->readerName(0), CardPresence::Present));
        session_ = std::make_unique<PcscSession>();
        ASSERT_EQ(session_->Connect(bed_->readerName(0)), SCARD_S_SUCCESS);
        ASSERT_TRUE(SelectsApplication());
    }

    bool t0() const { return GetParam() == CardProtocol::T0; }

    // On T=0 a case-4 command goes without Le and its data follows GET RESPONSE.
    std::string Case4(const std::string& command, size_t expected) {
        if (!t0()) {
            return session_->Transmit(command + "00");
        }
        const auto first = session_->Transmit(command);
        char getResponse[16];
        std::snprintf(getResponse, sizeof getResponse, "00C00000%02zX", expected);
        EXPECT_EQ(first, "61" + std::string(getResponse + 8)) << command;
        return session_->Transmit(getResponse);
    }

    bool SelectsApplication() { return Case4(kSelectAid, 12) == "6F0A8408A0000001729500019000"; }

    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<PcscSession> session_;
};

TEST_P(CardOverPcsc, ReadsFollowTheLeRulesOfTheProtocol) {
    Open();
    EXPECT_EQ(session_->Transmit("00B0000010"),
              "00010008"
              "1208156300472915"
              "00000000"
              "9000");
    EXPECT_TRUE(Case4(kSelectEf1001, 16).ends_with("9000"));
    // The remark record is asked for with Le 28 (40) and holds 32 bytes.
    const auto remark = session_->Transmit("00B2020428");
    if (t0()) {
        EXPECT_EQ(remark, "6C20");
        EXPECT_EQ(session_->Transmit("00B2020420").size(), (32 + 2) * 2U);
    } else {
        EXPECT_EQ(remark.size(), (32 + 2) * 2U);
    }
    const auto readAll = session_->Transmit("00B20105000000");
    EXPECT_EQ(readAll.size(), t0() ? 4U : (60 + 2) * 2U) << readAll;
    EXPECT_EQ(session_->Transmit("00B20E0412"), "6A83");
}

TEST_P(CardOverPcsc, TransactionWriteNeedsAVerifiedPinAndCarriesSnumAndTac) {
    Open();
    const std::string& record = kWithdrawal;
    const std::string write = "00E2108040" + record;
    EXPECT_EQ(session_->Transmit(t0() ? write : write + "00"), "6982");
    EXPECT_EQ(session_->Transmit(kWrongPin), "63C2");
    EXPECT_EQ(session_->Transmit(kGoodPin), "9000");

    cardsim::CardProfile profile;
    std::string error;
    ASSERT_TRUE(cardsim::LoadCardProfile(testbed::DefaultProfilePath(), &profile, &error));
    for (const char* snum : {"00000001", "00000002"}) {
        const auto answer = cardsim::FromHex(Case4(write, 19)).value();
        ASSERT_EQ(answer.size(), 21U);
        EXPECT_EQ(std::string(answer.begin() + 1, answer.begin() + 9), snum);
        const auto tac = ReferenceTac(profile.tacKey, snum, cardsim::FromHex(record).value());
        EXPECT_TRUE(std::equal(tac.begin(), tac.end(), answer.begin() + 11));
    }
    const auto written = card_->WrittenRecords();
    ASSERT_EQ(written.size(), 3U);
    EXPECT_EQ(written[0].status, 0x6982);
    EXPECT_EQ(written[2].ins, 0xE2);
    EXPECT_EQ(cardsim::ToHex(written[2].data), record);

    // A card reset ends the verified session.
    ASSERT_EQ(session_->Connect(bed_->readerName(0)), SCARD_S_SUCCESS);
    session_->Disconnect(SCARD_RESET_CARD);
    ASSERT_EQ(session_->Connect(bed_->readerName(0)), SCARD_S_SUCCESS);
    ASSERT_TRUE(SelectsApplication());
    EXPECT_EQ(session_->Transmit(t0() ? write : write + "00"), "6982");
}

TEST_P(CardOverPcsc, FaultsComeFromTheProfileAndReloadSwapsThem) {
    Open("pin-6608");
    EXPECT_EQ(session_->Transmit(kWrongPin), "6608");
    ASSERT_TRUE(card_->Reload(testbed::ProfilePath("transaction-6610")));
    ASSERT_TRUE(SelectsApplication());
    EXPECT_EQ(session_->Transmit(kGoodPin), "9000");
    const std::string write = "00E2108040" + kWithdrawal;
    EXPECT_EQ(session_->Transmit(t0() ? write : write + "00"), "6610");
    EXPECT_NE(card_->Status().find("\"nextSnum\":1"), std::string::npos);
    EXPECT_FALSE(card_->Reload("/nonexistent.json"));
}

INSTANTIATE_TEST_SUITE_P(Protocols, CardOverPcsc,
                         ::testing::Values(CardProtocol::T0, CardProtocol::T1),
                         [](const auto& info) {
                             return info.param == CardProtocol::T0 ? "T0" : "T1";
                         });

}  // namespace
}  // namespace qorv::testing
