// Read back after a transaction on a card whose short reads answer less than
// a standard record, and the account check's comparison of whole characters.
#include <cstdlib>
#include <ctime>

#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

const std::string kRemarkHex = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
const std::string kWriteAnswer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";
const std::string kInquiryRecord =
    AsciiHex("2500") + AsciiHex("ABCDEFGH") + AsciiHex("0058100012345678");

class ReadBackTest : public CardTest {
  protected:
    void ExpectWriteAndRefusedReadAll() {
        pcsc.Expect("00E210801C" + kInquiryRecord, "6113");
        pcsc.Expect("00C0000013", kWriteAnswer + "9000");
        ExpectSelectEf1001();
        pcsc.Expect("00B20105000000", "6700");
    }
    int32_t Inquiry() { return ctrl.AccountInquiry(u"2500", u"ABCDEFGH", u"0058100012345678"); }
};

TEST_F(ReadBackTest, ShortIssuerRecordEndsReadBackWithNothingReadPastTheAnswer) {
    Connect();
    ExpectWriteAndRefusedReadAll();
    pcsc.Expect("00B2010408", "0000 3831 9000");  // two issuer characters only
    EXPECT_EQ(Inquiry(), 0) << "the card authorised it";
    EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788");
    EXPECT_EQ(ctrl.GetTransactionIssuer(), u"");
    EXPECT_EQ(ctrl.GetTransactionRemark(), u"");
    EXPECT_EQ(ctrl.GetTransactionAccount(), u"");
    EXPECT_TRUE(pcsc.ScriptDone()) << "records 2 and 3 are not read";
}

TEST_F(ReadBackTest, ShortAccountRecordLeavesOnlyTheAccountEmpty) {
    Connect();
    ExpectWriteAndRefusedReadAll();
    pcsc.Expect("00B2010408", RecordHex("812") + "9000");  // exactly the three characters
    pcsc.Expect("00B2020420", "0000" + kRemarkHex.substr(0, 20) + "9000");
    pcsc.Expect("00B2030412", RecordHex("005810001234567") + "9000");
    EXPECT_EQ(Inquiry(), 0);
    EXPECT_EQ(ctrl.GetTransactionIssuer(), u"812");
    // A short remark is what the card has: its hexadecimal, however long.
    EXPECT_EQ(ctrl.GetTransactionRemark(), u"514F5256B0D3B77EBBC8");
    EXPECT_EQ(ctrl.GetTransactionAccount(), u"");
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ReadBackTest, AccountCheckComparesWholeCharacters) {
    Connect();
    auto& engine = ctrl.engine();
    // U+0130 and U+0141 have the low bytes of '0' and 'A'; they are not those characters.
    for (const std::u16string account : {u"\u01305810001234567A", u"005810001234567\u0141"}) {
        ExpectSelectEf1001();
        pcsc.Expect("00B2030412", RecordHex("005810001234567A") + "9000");
        EXPECT_EQ(engine.CheckAccount(0, account), 20757);
    }
    ExpectSelectEf1001();
    pcsc.Expect("00B2030412", RecordHex("005810001234567A") + "9000");
    EXPECT_EQ(engine.CheckAccount(0, u"005810001234567a"), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
