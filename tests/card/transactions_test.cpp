// Transaction records, the card's answer, the kept results and the read-back.
#include <cstdlib>
#include <ctime>

#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

using reader::pcsc::kProtocolT1;

const std::string kDateTime = "20231115061320";  // 1700000000 in UTC+8
const std::string kAccount = "0058100012345678";
const std::string kRemarkHex = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
// 00, SNUM, key version, 00, TAC.
const std::string kWriteAnswer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";

class TransactionsTest : public CardTest {
  protected:
    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        ctrl.engine().SetTransactionClock([] { return std::time_t{1700000000}; });
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    // T=0: no Le with command data, the answer comes through GET RESPONSE.
    void ExpectWriteT0(const std::string& lc, const std::string& record) {
        pcsc.Expect("00E21080" + lc + AsciiHex(record), "6113");
        pcsc.Expect("00C0000013", kWriteAnswer + "9000");
    }
    void ExpectWriteT1(const std::string& lc, const std::string& record) {
        pcsc.Expect("00E21080" + lc + AsciiHex(record) + "00", kWriteAnswer + "9000");
    }
    // The extended read refused, then records 1, 2 and 3 one by one.
    void ExpectShortReadBack(const std::string& account = kAccount) {
        ExpectSelectEf1001();
        pcsc.Expect("00B20105000000", "6700");
        pcsc.Expect("00B2010408", RecordHex("81200580") + "9000");
        pcsc.Expect("00B2020420", "0000" + kRemarkHex + "9000");
        pcsc.Expect("00B2030412", RecordHex(account) + "9000");
    }
    void ExpectKeptResults(const std::u16string& dateTime) {
        EXPECT_EQ(ctrl.GetRespSNUM(), u"00000001");
        EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788");
        EXPECT_EQ(ctrl.GetRespDateTime(), dateTime);
        EXPECT_EQ(ctrl.GetTransactionIssuer(), u"812");
        EXPECT_EQ(ctrl.GetTransactionRemark(),
                  std::u16string(kRemarkHex.begin(), kRemarkHex.end()));
        EXPECT_EQ(ctrl.GetTransactionAccount(), u"0058100012345678");
    }
    int32_t Withdraw(const ScriptText& money = u"00000000001000") {
        return ctrl.AccountWithdraw(u"2541", u"12345678", u"ABCDEFGH", money, u"0058100012345678");
    }
    const std::string withdrawRecord =
        "2541"
        "00000000001000"
        "12345678"
        "ABCDEFGH" +
        kDateTime + kAccount;
};

TEST_F(TransactionsTest, WithdrawOnT0WithShortReadBack) {
    Connect();
    ExpectWriteT0("40", withdrawRecord);
    ExpectShortReadBack();
    EXPECT_EQ(Withdraw(), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    ExpectKeptResults(u"20231115061320");
}

TEST_F(TransactionsTest, ArgumentsAreCheckedBeforeAnythingIsSent) {
    Connect();
    EXPECT_EQ(Withdraw(u"0000000001000"), 8194);
    EXPECT_EQ(Withdraw(std::nullopt), 8195);
    // Every argument is checked for presence before any length.
    EXPECT_EQ(
        ctrl.AccountWithdraw(u"254", u"12345678", u"ABCDEFGH", u"00000000001000", std::nullopt),
        8195);
    EXPECT_EQ(ctrl.AccountTransfer(u"2521", u"12345678", u"ABCDEFGH", u"00000000050000",
                                   u"812005810001234", u"0058100012345678"),
              8194);
    EXPECT_EQ(ctrl.AccountPayment(u"2561", u"12345678", u"ABCDEFGH", u"00000000000500", u"PTYP",
                                  u"CANCEL0000000001", u"0058100012345678"),
              8194);
    EXPECT_EQ(ctrl.AccountInquiry(u"2500", u"ABCDEFGH", u"005810001234567"), 8194);
    EXPECT_EQ(ctrl.AccountInquiry(u"2500", std::nullopt, u"0058100012345678"), 8195);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TransactionsTest, RefusedWritesKeepThePreviousResults) {
    Connect();
    ExpectWriteT0("40", withdrawRecord);
    ExpectShortReadBack();
    ASSERT_EQ(Withdraw(), 0);
    const struct {
        std::string answer;
        int32_t result;
    } cases[] = {{"6610", 20486}, {"69F0", 20756}, {"6A82", -1}, {"90", -1}};
    for (const auto& c : cases) {
        pcsc.Expect("00E2108040" + AsciiHex(withdrawRecord), c.answer);
        EXPECT_EQ(Withdraw(), c.result) << c.answer;
    }
    // The card wrote, but its answer cannot hold SNUM and TAC.
    pcsc.Expect("00E2108040" + AsciiHex(withdrawRecord), "6108");
    pcsc.Expect("00C0000008", "0030303030303032 9000");
    EXPECT_EQ(Withdraw(), -1);
    EXPECT_TRUE(pcsc.ScriptDone());
    ExpectKeptResults(u"20231115061320");
}

TEST_F(TransactionsTest, FailedReadBackLeavesNoValuesOfAnEarlierTransaction) {
    Connect();
    ExpectWriteT0("40", withdrawRecord);
    ExpectShortReadBack();
    ASSERT_EQ(Withdraw(), 0);
    ExpectWriteT0("40", withdrawRecord);
    pcsc.Expect("00A40200021001", "6A82");
    EXPECT_EQ(Withdraw(), 0) << "the card authorised it; the read-back result is not reported";
    EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788");
    EXPECT_EQ(ctrl.GetTransactionIssuer(), u"");
    EXPECT_EQ(ctrl.GetTransactionRemark(), u"");
    EXPECT_EQ(ctrl.GetTransactionAccount(), u"");

    // A failing short read keeps what the reads before it found.
    ExpectWriteT0("40", withdrawRecord);
    ExpectSelectEf1001();
    pcsc.Expect("00B20105000000", "6700");
    pcsc.Expect("00B2010408", RecordHex("81200580") + "9000");
    pcsc.Expect("00B2020420", "6A83");
    EXPECT_EQ(Withdraw(), 0);
    EXPECT_EQ(ctrl.GetTransactionIssuer(), u"812");
    EXPECT_EQ(ctrl.GetTransactionRemark(), u"");
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(TransactionsTest, ReadAllAnswerTooShortForThreeRecordsFallsBackToShortReads) {
    Connect(kProtocolT1);
    ExpectWriteT1("40", withdrawRecord);
    ExpectSelectEf1001();
    pcsc.Expect("00B20105000000", RecordHex("81200580") + "9000");
    pcsc.Expect("00B2010408", RecordHex("812005") + "9000");
    pcsc.Expect("00B2020420", "0000" + kRemarkHex + "9000");
    pcsc.Expect("00B2030412", RecordHex(kAccount) + "9000");
    EXPECT_EQ(Withdraw(), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    ExpectKeptResults(u"20231115061320");
}

TEST_F(TransactionsTest, SuppliedRecordTakesP1P2FromTheFileTextAndKeepsTheDateTime) {
    Connect(kProtocolT1);
    card::TransactionResults results;
    results.dateTime = u"19990101000000";
    auto& engine = ctrl.engine();
    EXPECT_EQ(engine.WriteSuppliedRecord(0, std::nullopt, u"X", results), 8195);
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", std::nullopt, results), 8195);
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"108", u"X", results), 8194);
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"10G0", u"X", results), 8452);
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", std::u16string(256, u'A'), results), 8194);
    EXPECT_TRUE(Sent().empty());

    pcsc.Expect(
        "00E2108003414243"
        "00",
        kWriteAnswer + "9000");
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", u"ABC", results), 0);
    EXPECT_EQ(results.snum, u"00000001");
    EXPECT_EQ(results.tac, u"1122334455667788");
    EXPECT_EQ(results.dateTime, u"19990101000000");
    pcsc.Expect(
        "00E2108003414243"
        "00",
        "6982");
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", u"ABC", results), 0x6982);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
