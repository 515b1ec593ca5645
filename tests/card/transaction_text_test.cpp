// Which characters a transaction field may hold: the card receives one byte
// per character, so a character that does not fit a byte would reach the
// record the card signs as some other character.
#include <cstdlib>
#include <ctime>

#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

using reader::pcsc::kProtocolT1;

constexpr char16_t kDotlessI = u'\u0131';  // its low byte is the digit 1
const std::string kWriteAnswer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";

class TransactionTextTest : public CardTest {
  protected:
    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        ctrl.engine().SetTransactionClock([] { return std::time_t{1700000000}; });
        Connect(kProtocolT1);
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
    static std::u16string With(std::u16string text, std::size_t at, char16_t unit) {
        text[at] = unit;
        return text;
    }
};

TEST_F(TransactionTextTest, EveryFieldOfEveryKindRefusesACharacterBeyondOneByte) {
    const std::u16string pCode = u"2541", fdid = u"12345678", chk = u"ABCDEFGH",
                         money = u"00000000001000", account = u"0058100012345678",
                         imprt = u"8120058100012345", type = u"PTYPE", cancel = u"CANCEL0000000001";
    // Each argument in turn carries the unit, at its last position (the
    // lengths stay right, so only the character set can refuse it).
    for (int field = 0; field < 5; ++field) {
        std::u16string a[] = {pCode, fdid, chk, money, account};
        a[field] = With(a[field], a[field].size() - 1, kDotlessI);
        EXPECT_EQ(ctrl.AccountWithdraw(a[0], a[1], a[2], a[3], a[4]), 8194) << field;
        EXPECT_EQ(ctrl.AccountPayTax(a[0], a[1], a[2], a[3], a[4]), 8194) << field;
    }
    for (int field = 0; field < 6; ++field) {
        std::u16string a[] = {pCode, fdid, chk, money, imprt, account};
        a[field] = With(a[field], 0, kDotlessI);
        EXPECT_EQ(ctrl.AccountTransfer(a[0], a[1], a[2], a[3], a[4], a[5]), 8194) << field;
    }
    for (int field = 0; field < 7; ++field) {
        std::u16string a[] = {pCode, fdid, chk, money, type, cancel, account};
        a[field] = With(a[field], 1, u'\uFF11');  // fullwidth digit one
        EXPECT_EQ(ctrl.AccountPayment(a[0], a[1], a[2], a[3], a[4], a[5], a[6]), 8194) << field;
    }
    for (int field = 0; field < 3; ++field) {
        std::u16string a[] = {pCode, chk, account};
        a[field] = With(a[field], 2, u'\u0100');  // the smallest unit beyond a byte
        EXPECT_EQ(ctrl.AccountInquiry(a[0], a[1], a[2]), 8194) << field;
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TransactionTextTest, MissingAndWrongLengthComeBeforeTheCharacterCheck) {
    const std::u16string badMoney = With(u"00000000001000", 3, kDotlessI);
    EXPECT_EQ(ctrl.AccountWithdraw(u"2541", u"12345678", u"ABCDEFGH", badMoney, std::nullopt),
              8195);
    EXPECT_EQ(ctrl.AccountWithdraw(u"2541", u"1234567", u"ABCDEFGH", badMoney, u"0058100012345678"),
              8194);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TransactionTextTest, OneByteCharactersAboveAsciiGoToTheCardAsTheirByte) {
    // U+00E9 fits a byte: it is sent as E9, not refused.
    pcsc.Expect(
        "00E210801C" + AsciiHex("2500") + "41424344454647E9" + AsciiHex("0058100012345678") + "00",
        kWriteAnswer + "9000");
    pcsc.Expect("00A40200021001", "6A82");  // read-back not needed here
    EXPECT_EQ(ctrl.AccountInquiry(u"2500", u"ABCDEFG\u00E9", u"0058100012345678"), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(TransactionTextTest, TransferInAccountIsCheckedOnlyWhereItGoesIntoTheRecord) {
    // Characters after the first 16 are never sent, so they cannot change the record.
    const std::u16string longImprt = u"8120058100012345\u0131\u0131\u0131\u0131";
    pcsc.Expect("00E2108050" + AsciiHex("2521") + AsciiHex("00000000050000") +
                    AsciiHex("12345678") + AsciiHex("ABCDEFGH") + AsciiHex("20231115061320") +
                    AsciiHex("8120058100012345") + AsciiHex("0058100012345678") + "00",
                kWriteAnswer + "9000");
    pcsc.Expect("00A40200021001", "6A82");
    EXPECT_EQ(ctrl.AccountTransfer(u"2521", u"12345678", u"ABCDEFGH", u"00000000050000", longImprt,
                                   u"0058100012345678"),
              0);
    EXPECT_EQ(ctrl.AccountTransfer(u"2521", u"12345678", u"ABCDEFGH", u"00000000050000",
                                   With(longImprt, 15, kDotlessI), u"0058100012345678"),
              8194);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(TransactionTextTest, SuppliedRecordRefusesACommandCharacterBeyondOneByte) {
    card::TransactionResults results;
    auto& engine = ctrl.engine();
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", u"AB\u0131", results), 8194);
    // The file text's own checks come first, in their order.
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"10G0", u"AB\u0131", results), 8452);
    EXPECT_TRUE(Sent().empty());
    pcsc.Expect(
        "00E2108003"
        "4142FF"
        "00",
        kWriteAnswer + "9000");
    EXPECT_EQ(engine.WriteSuppliedRecord(0, u"1080", u"AB\u00FF", results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(TransactionTextTest, SuppliedRecordChecksTheFileTextBeforeTheCommandLength) {
    card::TransactionResults results;
    EXPECT_EQ(ctrl.engine().WriteSuppliedRecord(0, u"10G0", std::u16string(256, u'A'), results),
              8452);
    EXPECT_EQ(ctrl.engine().WriteSuppliedRecord(0, u"1080", std::u16string(256, u'A'), results),
              8194);
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace qorv::testing
