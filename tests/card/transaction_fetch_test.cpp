// A T=0 card answers the transaction write with 61xx and hands SNUM and TAC
// over through GET RESPONSE: a fetch it refuses, or one that brings fewer
// bytes than it announced, is a failed transaction, never zeros as success.
#include <cstdlib>
#include <ctime>

#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

const std::string kWriteAnswer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";
const std::string kInquiryRecord =
    AsciiHex("2500") + AsciiHex("ABCDEFGH") + AsciiHex("0058100012345678");

class TransactionFetchTest : public CardTest {
  protected:
    int32_t Inquiry() { return ctrl.AccountInquiry(u"2500", u"ABCDEFGH", u"0058100012345678"); }
};

TEST_F(TransactionFetchTest, RefusedOrShortFetchFailsAndKeepsThePreviousResults) {
    Connect();
    pcsc.Expect("00E210801C" + kInquiryRecord, "6113");
    pcsc.Expect("00C0000013", kWriteAnswer + "9000");
    pcsc.Expect("00A40200021001", "6A82");
    ASSERT_EQ(Inquiry(), 0);
    ASSERT_EQ(ctrl.GetRespTAC(), u"1122334455667788");

    for (const std::string fetched : {"6F00", "6A86",
                                      "0030303030303032"
                                      "9000",
                                      "0030303030303032"
                                      "6282"}) {
        pcsc.Expect("00E210801C" + kInquiryRecord, "6113");
        pcsc.Expect("00C0000013", fetched);
        EXPECT_EQ(Inquiry(), -1) << fetched;
        EXPECT_EQ(ctrl.GetRespSNUM(), u"00000001") << fetched;
        EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788") << fetched;
    }
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(TransactionFetchTest, SuppliedRecordReturnsTheFetchStatus) {
    Connect();
    card::TransactionResults results;
    pcsc.Expect("00E2108003414243", "6113");
    pcsc.Expect("00C0000013", "6F00");
    EXPECT_EQ(ctrl.engine().WriteSuppliedRecord(0, u"1080", u"ABC", results), 0x6F00);
    EXPECT_EQ(results.tac, u"");
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
