// Transaction authorisation through the host against the simulated card: the
// record bytes the card received, SNUM, TAC, date-time and the read-back.
#include <chrono>
#include <thread>

#include "card_fixture.h"
#include "tools/cardsim/hex.h"
#include "tools/cardsim/tac.h"

namespace qorv::testing {
namespace {

using nlohmann::json;

const cardsim::TacKey kDefaultTacKey{0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,
                                     0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F};
const std::string kRemark = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";

std::string LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[15] = {};
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class CardTransactionOnTestBed : public CardOnTestBed {
  protected:
    // Runs one transaction and checks what the card received and answered.
    // `before` + the date-time + `after` is the record; an inquiry has none.
    void Authorise(const std::string& method, const json& params, const std::string& before,
                   const std::string& after, bool withDateTime, int expectedSnum) {
        SCOPED_TRACE(method);
        const std::string from = LocalNow();
        ASSERT_EQ(Host().Call(method, params), 0);
        const std::string to = LocalNow();

        const std::string dateTime = Host().Call("GetRespDateTime").get<std::string>();
        if (withDateTime) {
            EXPECT_GE(dateTime, from);
            EXPECT_LE(dateTime, to);
        } else {
            EXPECT_EQ(dateTime, "");
        }
        const auto written = card->WrittenRecords();
        ASSERT_FALSE(written.empty());
        const auto& record = written.back();
        EXPECT_EQ(record.ins, 0xE2);
        EXPECT_EQ(record.p1, 0x10);
        EXPECT_EQ(record.p2, 0x80);
        EXPECT_EQ(record.status, 0x9000);
        EXPECT_EQ(record.data, Bytes(before + dateTime + after));

        char snum[9];
        std::snprintf(snum, sizeof snum, "%08d", expectedSnum);
        EXPECT_EQ(Host().Call("GetRespSNUM"), snum);
        cardsim::Tac tac{};
        ASSERT_TRUE(cardsim::ComputeTac(kDefaultTacKey, snum, record.data, &tac));
        EXPECT_EQ(Host().Call("GetRespTAC"), cardsim::ToHex(tac));
        EXPECT_EQ(Host().Call("GetTransactionIssuer"), "812");
        EXPECT_EQ(Host().Call("GetTransactionRemark"), kRemark);
        EXPECT_EQ(Host().Call("GetTransactionAccount"), "0058100012345678");
    }
    json WithdrawParams() const {
        return {"2541", "12345678", "ABCDEFGH", "00000000001000", "0058100012345678"};
    }
    const std::string withdrawHead =
        "2541"
        "00000000001000"
        "12345678"
        "ABCDEFGH";
};
ON_BOTH_PROTOCOLS(CardTransactionOnTestBed);

TEST_P(CardTransactionOnTestBed, AllFiveKindsAfterVerifyPin) {
    CONNECT_CARD("default");
    ASSERT_EQ(Host().Call("VerifyPIN", {"123456"}), 0);
    Authorise("AccountWithdraw", WithdrawParams(), withdrawHead, "0058100012345678", true, 1);
    Authorise("AccountPayTax",
              {"2571", "12345678", "ABCDEFGH", "00000000000500", "0058100012345678"},
              "2571"
              "00000000000500"
              "12345678"
              "ABCDEFGH",
              "0058100012345678", true, 2);
    Authorise("AccountTransfer",
              {"2521", "12345678", "ABCDEFGH", "00000000050000", "81200581000123456789",
               "0058100012345678"},
              "2521"
              "00000000050000"
              "12345678"
              "ABCDEFGH",
              "8120058100012345"
              "0058100012345678",
              true, 3);
    Authorise("AccountPayment",
              {"2561", "12345678", "ABCDEFGH", "00000000000500", "PTYPE", "CANCEL0000000001",
               "0058100012345678"},
              "2561"
              "00000000000500"
              "12345678"
              "ABCDEFGH",
              "PTYPE"
              "0058100012345678"
              "CANCEL0000000001",
              true, 4);
    Authorise("AccountInquiry", {"2500", "ABCDEFGH", "0058100012345678"},
              "2500"
              "ABCDEFGH"
              "0058100012345678",
              "", false, 5);
}

TEST_P(CardTransactionOnTestBed, WithoutVerifiedPinTheWriteFails) {
    CONNECT_CARD("default");
    EXPECT_EQ(Host().Call("AccountWithdraw", WithdrawParams()), -1);
    EXPECT_EQ(Host().Call("GetRespSNUM"), "");
    EXPECT_EQ(Host().Call("AccountWithdraw",
                          {"2541", "12345678", "ABCDEFGH", "0000000001000", "0058100012345678"}),
              8194);
}

TEST_P(CardTransactionOnTestBed, Status6610LeavesThePreviousTransactionReadable) {
    CONNECT_CARD("default");
    ASSERT_EQ(Host().Call("VerifyPIN", {"123456"}), 0);
    Authorise("AccountWithdraw", WithdrawParams(), withdrawHead, "0058100012345678", true, 1);
    const json tac = Host().Call("GetRespTAC");
    const json dateTime = Host().Call("GetRespDateTime");

    ASSERT_TRUE(card->Reload(testbed::ProfilePath("transaction-6610")));
    ASSERT_EQ(Host().Call("VerifyPIN", {"123456"}), 0);
    EXPECT_EQ(Host().Call("AccountWithdraw", WithdrawParams()), 20486);
    EXPECT_EQ(card->WrittenRecords().back().status, 0x6610);
    EXPECT_EQ(Host().Call("GetRespTAC"), tac);
    EXPECT_EQ(Host().Call("GetRespSNUM"), "00000001");
    EXPECT_EQ(Host().Call("GetRespDateTime"), dateTime);
    EXPECT_EQ(Host().Call("GetTransactionAccount"), "0058100012345678");
}

// On T=0 the card always refuses the extended read; this card refuses it on
// T=1 as well, and the three short reads give the same values.
TEST_P(CardTransactionOnTestBed, RefusedExtendedReadFallsBackToShortReads) {
    CONNECT_CARD("no-extended-read");
    ASSERT_EQ(Host().Call("VerifyPIN", {"123456"}), 0);
    Authorise("AccountWithdraw", WithdrawParams(), withdrawHead, "0058100012345678", true, 1);
}

}  // namespace
}  // namespace qorv::testing
