// PIN-pad reader classes and the card commands that leave the PIN to the reader.
#include "card/pin_pad.h"

#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

TEST(PinPadReaderClass, ModelsAreMatchedByTheBeginningOfTheName) {
    const struct {
        ScriptText name;
        int32_t readerClass = 0;
    } cases[] = {
        // The longer Todos model is tried before the shorter one it begins with.
        {u"Todos eCode Connectable II 00", 1},
        {u"Todos eCode Connectable 00", 3},
        {u"Todos eCode Connectable II", 1},
        {u"Todos eCode Connectable", 3},
        {u"ACS ACR83U PICC Interface 00 00", 2},
        {u"ACS APG8201 USB Reader 0", 1},
        {u"CASTLES EZpad 0", 2},
        // Letters without regard to case.
        {u"acs apg8201 usb reader 0", 1},
        {u"TODOS ECODE CONNECTABLE ii 1", 1},
        // Shorter than every model it resembles, or none of them.
        {u"ACS ACR83", 0},
        {u"Todos eCode", 0},
        {u"Virtual PCD 00 00", 0},
        {u" ACS ACR83U", 0},
        // A unit beyond ASCII whose low byte is an 'S' is not an 'S'.
        {u"AC\u0153 ACR83U 00", 0},
        {std::nullopt, 8195},
        {u"", 8195},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(card::ClassifyPinPadReader(c.name), c.readerClass)
            << (c.name ? std::string(c.name->begin(), c.name->end()) : "null");
    }
}

TEST(PinPadReaderClass, OnlyTheFirst255UnitsAreLookedAt) {
    EXPECT_EQ(card::ClassifyPinPadReader(u"CASTLES EZpad" + std::u16string(300, u'x')), 2);
}

class PinPadCommandsTest : public CardTest {
  protected:
    void SetUp() override { Connect(); }
};

TEST_F(PinPadCommandsTest, VerifyOnPadSelectsTheApplicationThenSendsThePlaceholder) {
    ExpectSelectApplication();
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "9000");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 0);
    ExpectSelectApplication();
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "6620");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 20485);
    ExpectSelectApplication();
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "6608");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 20484);
    ExpectSelectApplication();
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "6983");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 1);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinPadCommandsTest, ClassTwoReadersGetTheShortFormWithoutData) {
    ExpectSelectApplication();
    pcsc.Expect("80200010", "9000");
    EXPECT_EQ(card::VerifyPinOnPadForClass(ctrl.engine(), 0, card::kReaderClass2), 0);
    ExpectSelectApplication();
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "9000");
    EXPECT_EQ(card::VerifyPinOnPadForClass(ctrl.engine(), 0, card::kReaderClass3), 0);
    ExpectSelectApplication();
    pcsc.Expect("80200010", "6620");
    EXPECT_EQ(card::VerifyPinOnPadClass2(ctrl.engine(), 0), 20485);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinPadCommandsTest, AFailedSelectSendsNoVerify) {
    pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 20481);
    pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(card::VerifyPinOnPadClass2(ctrl.engine(), 0), 20481);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(PinPadCommandsTest, ChangeOnPadSelectsThePinFileFirst) {
    pcsc.Expect("00A4020002 00C2", "9000");
    pcsc.Expect("0020001008F0F0F0F0F0F0F0F0", "9000");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 0), 0);
    pcsc.Expect("00A4020002 00C2", "6A82");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 0), 20481);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(PinPadCommandsTest, ReplacePinPresentsTheOldPinBeforeWritingTheNewOne) {
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00A4020002 00C2", "9000");
    pcsc.Expect("00D20104081234567FFFFFFFFF", "9000");
    EXPECT_EQ(card::ReplacePin(ctrl.engine(), 0, u"123456", u"1234567"), 0);
    // A refused old PIN leaves the PIN file alone.
    pcsc.Expect("0020001008123456FFFFFFFFFF", "6620");
    EXPECT_EQ(card::ReplacePin(ctrl.engine(), 0, u"123456", u"1234567"), 20485);
    // The write's own status word is the result.
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00A4020002 00C2", "9000");
    pcsc.Expect("00D20104081234567FFFFFFFFF", "6982");
    EXPECT_EQ(card::ReplacePin(ctrl.engine(), 0, u"123456", u"1234567"), 0x6982);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
