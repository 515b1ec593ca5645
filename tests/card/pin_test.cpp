// PIN blocks, the verify-status mapping and the PIN change sequence.
#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

using reader::pcsc::kProtocolT1;

class PinTest : public CardTest {};

TEST_F(PinTest, PinBlocksOfSixSevenAndTwelveDigits) {
    Connect(kProtocolT1);
    const struct {
        std::u16string pin;
        std::string block;
    } cases[] = {{u"123456", "123456FFFFFFFFFF"},
                 {u"1234567", "1234567FFFFFFFFF"},
                 {u"098765432101", "098765432101FFFF"}};
    for (const auto& c : cases) {
        pcsc.Expect("00A4040008A00000017295000100", "9000");
        pcsc.Expect("0020001008" + c.block, "9000");
        EXPECT_EQ(ctrl.VerifyPIN(c.pin), 0);
    }
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(pcsc.unexpectedTransmits(), 0);
}

TEST_F(PinTest, MalformedPinsAreRefusedBeforeAnyCardCommand) {
    Connect();
    EXPECT_EQ(ctrl.VerifyPIN(std::nullopt), 8195);
    EXPECT_EQ(ctrl.VerifyPIN(u"12345"), 8194);
    EXPECT_EQ(ctrl.VerifyPIN(u"1234567890123"), 8194);
    EXPECT_EQ(ctrl.VerifyPIN(u"12a456"), 8193);
    // U+0131 has the low byte of '1': it is still not a digit.
    EXPECT_EQ(ctrl.VerifyPIN(u"12\u0131456"), 8193);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PinTest, VerifyStatusMapping) {
    Connect();
    const struct {
        std::string answer;
        int32_t result;
    } cases[] = {{"6620", 20485}, {"6608", 20484}, {"63C2", 1}, {"9001", 1}};
    for (const auto& c : cases) {
        ExpectSelectApplication();
        pcsc.Expect("0020001008123456FFFFFFFFFF", c.answer);
        EXPECT_EQ(ctrl.VerifyPIN(u"123456"), c.result) << c.answer;
    }
    // An answer without a status word is a reader failure.
    ExpectSelectApplication();
    pcsc.Expect("0020001008123456FFFFFFFFFF", "90");
    EXPECT_EQ(ctrl.VerifyPIN(u"123456"), 1);
    pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(ctrl.VerifyPIN(u"123456"), 20481);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinTest, ChangeChecksBothPinsFirst) {
    Connect();
    EXPECT_EQ(ctrl.ChangePIN(u"123456", std::nullopt), 8195);
    EXPECT_EQ(ctrl.ChangePIN(u"12345", std::nullopt), 8195) << "missing before length";
    EXPECT_EQ(ctrl.ChangePIN(u"123456", u"12345"), 8194);
    EXPECT_EQ(ctrl.ChangePIN(u"12a456", u"12345"), 8194) << "length before digits";
    EXPECT_EQ(ctrl.ChangePIN(u"123456", u"65432x"), 8193);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PinTest, ChangeFailures) {
    Connect();
    // A refused old PIN ends the change before the PIN file is selected.
    ExpectSelectApplication();
    pcsc.Expect("0020001008123456FFFFFFFFFF", "6608");
    EXPECT_EQ(ctrl.ChangePIN(u"123456", u"654321"), 20484);
    EXPECT_EQ(Sent().size(), 2u);

    ExpectSelectApplication();
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00A402000200C2", "6A82");
    EXPECT_EQ(ctrl.ChangePIN(u"123456", u"654321"), 20481);

    // A refused write answers with the card's own status word.
    ExpectSelectApplication();
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00A402000200C2", "9000");
    pcsc.Expect("00D2010408654321FFFFFFFFFF", "6982");
    EXPECT_EQ(ctrl.ChangePIN(u"123456", u"654321"), 0x6982);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinTest, AccountCheckComparesWithTheFirstAccountIgnoringCase) {
    Connect();
    auto& engine = ctrl.engine();
    ExpectSelectEf1001();
    pcsc.Expect("00B2030412", RecordHex("0058ABCD12345678") + "9000");
    EXPECT_EQ(engine.CheckAccount(0, u"0058abcd12345678"), 0);
    ExpectSelectEf1001();
    pcsc.Expect("00B2030412", RecordHex("0058ABCD12345678") + "9000");
    EXPECT_EQ(engine.CheckAccount(0, u"0058ABCD12345679"), 20757);
    ExpectSelectEf1001();
    pcsc.Expect("00B2030412", RecordHex("0058ABCD12345678") + "9000");
    EXPECT_EQ(engine.CheckAccount(0, u"0058ABCD"), 20757) << "too short to match";
    ExpectSelectEf1001();
    pcsc.Expect("00B2030412", "6A83");
    EXPECT_EQ(engine.CheckAccount(0, u"0058ABCD12345678"), 0x6A83);
    pcsc.Expect("00A40200021001", "6A82");
    EXPECT_EQ(engine.CheckAccount(0, u"0058ABCD12345678"), 20481);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
