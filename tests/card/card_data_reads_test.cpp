// Serial number, issuer, remark and the two account lists.
#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

using reader::pcsc::kProtocolT1;

class CardDataReadsTest : public CardTest {
  protected:
    void ExpectAccountRecord(int record, const std::string& account) {
        char command[16];
        std::snprintf(command, sizeof command, "00B2%02X0412", record);
        pcsc.Expect(command, RecordHex(account) + "9000");
    }
    void ExpectEf1001Listing(const std::vector<std::string>& accounts) {
        ExpectSelectApplication();
        ExpectSelectEf1001();
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            ExpectAccountRecord(static_cast<int>(i) + 3, accounts[i]);
        }
    }
};

const std::string kZeros(16, '0');

TEST_F(CardDataReadsTest, SerialNumberFetchedWithGetResponseOnT0) {
    Connect();
    pcsc.Expect("00A4040008A000000172950001", "610A");
    pcsc.Expect("00C000000A", "6F0884 08A000000172950001 9000");
    pcsc.Expect("00B0000010", "00010008 1208156300472915 00000000 9000");
    EXPECT_EQ(ctrl.ReadCardSN(), u"1208156300472915");
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(CardDataReadsTest, SerialNumberFailuresGiveTheNullString) {
    Connect();
    ExpectSelectApplication();
    pcsc.Expect("00B0000010", "6A82");
    EXPECT_EQ(ctrl.ReadCardSN(), std::nullopt);
    // Too short an answer to hold bytes 4-11 is a failure too.
    ExpectSelectApplication();
    pcsc.Expect("00B0000010", "0001000812 9000");
    EXPECT_EQ(ctrl.ReadCardSN(), std::nullopt);
    pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(ctrl.ReadCardSN(), std::nullopt);
    EXPECT_EQ(Sent().size(), 5u);
}

TEST_F(CardDataReadsTest, IssuerIsEightCharactersAndEmptyOnFailure) {
    Connect(kProtocolT1);
    pcsc.Expect("00A4040008A00000017295000100", "9000");
    ExpectSelectEf1001();
    pcsc.Expect("00B201040A", RecordHex("81200580") + "9000");
    EXPECT_EQ(ctrl.GetIssuerBank(), u"81200580");

    pcsc.Expect("00A4040008A00000017295000100", "9000");
    ExpectSelectEf1001();
    pcsc.Expect("00B201040A", "6A83");
    EXPECT_EQ(ctrl.GetIssuerBank(), u"");  // empty, not null
    pcsc.Expect("00A4040008A00000017295000100", "6999");
    EXPECT_EQ(ctrl.GetIssuerBank(), u"");
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(CardDataReadsTest, RemarkLengthCorrectedByTheCardIsHexFromByteTwo) {
    Connect();
    ExpectSelectApplication();
    ExpectSelectEf1001();
    pcsc.Expect("00B2020428", "6C20");
    const std::string remark = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
    pcsc.Expect("00B2020420", "0000" + remark + "9000");
    EXPECT_EQ(ctrl.GetICCRemark(), std::u16string(remark.begin(), remark.end()));

    ExpectSelectApplication();
    ExpectSelectEf1001();
    pcsc.Expect("00B2020428", "6A83");
    EXPECT_EQ(ctrl.GetICCRemark(), u"");
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(CardDataReadsTest, ReadErrorAtRecordSixKeepsWhatWasFoundAndOlderSlots) {
    Connect();
    const std::vector<std::string> five{"0058100000000001",
                                        "0058100000000002",
                                        "0058100000000003",
                                        "0058100000000004",
                                        "0058100000000005",
                                        kZeros,
                                        kZeros,
                                        kZeros};
    ExpectEf1001Listing(five);
    ASSERT_EQ(ctrl.ListEF1001Accounts(), 0);
    ASSERT_EQ(ctrl.GetEF1001TotalAccounts(), 5);

    ExpectEf1001Listing({"0058100000000011", "0058100000000012", "0058100000000013"});
    pcsc.Expect("00B2060412", "6A83");
    EXPECT_EQ(ctrl.ListEF1001Accounts(), 20482);
    EXPECT_EQ(ctrl.GetEF1001TotalAccounts(), 3);
    EXPECT_EQ(ctrl.GetEF1001Account(2), u"0058100000000013");
    // The count says which slots are current; the rest keep the older listing.
    EXPECT_EQ(ctrl.GetEF1001Account(3), u"0058100000000004");
    EXPECT_EQ(ctrl.GetEF1001Account(5), std::nullopt);
    EXPECT_EQ(ctrl.GetEF1001Account(-1), std::nullopt);
    EXPECT_EQ(ctrl.GetEF1001Account(10), std::nullopt);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(CardDataReadsTest, FailedSelectLeavesThePreviousList) {
    Connect();
    ExpectEf1001Listing(
        {"0058100000000001", kZeros, kZeros, kZeros, kZeros, kZeros, kZeros, kZeros});
    ASSERT_EQ(ctrl.ListEF1001Accounts(), 0);
    ExpectSelectApplication();
    pcsc.Expect("00A40200021001", "6A82");
    EXPECT_EQ(ctrl.ListEF1001Accounts(), 20481);
    EXPECT_EQ(ctrl.GetEF1001TotalAccounts(), 1);
    pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(ctrl.ListEF1002Accounts(), 20481);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(CardDataReadsTest, SecondListHasRecordsOneToEightOfTwentyFourCharacters) {
    Connect(kProtocolT1);
    pcsc.Expect("00A4040008A00000017295000100", "9000");
    pcsc.Expect("00A40200021002", "9000");
    pcsc.Expect("00B201041A", RecordHex("812005810001234567890123") + "9000");
    // A record too short to hold the whole account is not an account.
    pcsc.Expect("00B202041A", RecordHex("8120058200") + "9000");
    pcsc.Expect("00B203041A", RecordHex("812005820009876543210987") + "9000");
    for (int record = 4; record <= 8; ++record) {
        char command[16];
        std::snprintf(command, sizeof command, "00B2%02X041A", record);
        pcsc.Expect(command, RecordHex(std::string(24, '0')) + "9000");
    }
    EXPECT_EQ(ctrl.ListEF1002Accounts(), 0);
    EXPECT_EQ(ctrl.GetEF1002TotalAccounts(), 2);
    EXPECT_EQ(ctrl.GetEF1002Account(1), u"812005820009876543210987");
    EXPECT_EQ(ctrl.GetEF1001TotalAccounts(), -1);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
