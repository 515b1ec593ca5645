// The texts a guided transfer and a common-account entry hand on: the account
// record and transfer values of each category, the processing code the
// confirmation writes into them, the record layout it selects, and the
// joined output of the multi-field entry.
#include "dialogs/transfer_values.h"

#include <gtest/gtest.h>

namespace qorv::dialogs {
namespace {

TEST(TransferAccountValues, ListedAccountsGiveCodeCategoryAndPlaceholder) {
    const TransferChoice agreed = BuildListedAccountChoice(
        TransferCategory::kAgreed, u"王小明-薪轉%%812||0058100098765432", u"");
    EXPECT_EQ(agreed.transferValues, u"812||0058100098765432||0||2523||");
    // Only the display text before "-" names the account in the record.
    EXPECT_EQ(agreed.accountRecord, u"00581000987654320王小明%%812");

    // A 9-digit account is padded with 7 zeros; the common item's own
    // address is not used, only the e-mail edit's text.
    const TransferChoice common = BuildListedAccountChoice(
        TransferCategory::kCommon, u"房東 陳先生%% 004||123456789$$landlord@example.com ",
        u"me@example.com;you@example.com");
    EXPECT_EQ(common.accountRecord,
              u"00000001234567891房東 陳先生%%004$$me@example.com;you@example.com");
    EXPECT_EQ(common.transferValues, u"004||123456789||1||2523||me@example.com;you@example.com||");
}

TEST(TransferAccountValues, NoItemOrAnItemWithoutCodeGivesOnlyZerosAndTheDigit) {
    for (const std::u16string_view item :
         {std::u16string_view(), std::u16string_view(u"只有名稱")}) {
        const TransferChoice choice =
            BuildListedAccountChoice(TransferCategory::kCommon, item, u"me@example.com");
        EXPECT_EQ(choice.accountRecord, u"00000000000000001");
        EXPECT_TRUE(choice.transferValues.empty());
        // Without a third "||" no processing code can go into empty values.
        EXPECT_TRUE(WriteProcessingCode(choice.transferValues, u"2521").empty());
    }
    // A listed code without "||" is taken as written: the record's account is all zeros.
    const TransferChoice bankOnly =
        BuildListedAccountChoice(TransferCategory::kAgreed, u"X%%812", u"");
    EXPECT_EQ(bankOnly.transferValues, u"812||0||2523||");
    EXPECT_EQ(bankOnly.accountRecord, u"00000000000000000X%%812");
}

TEST(TransferAccountValues, LongItemsAndAccountsAreCutNotOverrun) {
    // Of an account longer than 16 the first 16 characters stand in the record.
    EXPECT_EQ(RightAlignedAccount(u"12345678901234567890"), u"1234567890123456");
    EXPECT_EQ(RightAlignedAccount(u""), u"0000000000000000");
    // The item is read to 160 characters: a code beyond that is not there.
    const std::u16string longName(170, u'名');
    EXPECT_TRUE(BuildListedAccountChoice(TransferCategory::kAgreed, longName + u"%%812||1", u"")
                    .transferValues.empty());
    // The e-mail edit is read to 150 characters.
    const std::u16string longEmail(200, u'a');
    const TransferChoice withEmail =
        BuildListedAccountChoice(TransferCategory::kAgreed, u"A%%812||1", longEmail);
    EXPECT_EQ(withEmail.transferValues, u"812||1||0||2523||" + std::u16string(150, u'a') + u"||");
}

TEST(TransferAccountValues, OtherAccountTakesBankDigitsFromTheLastCodeMark) {
    EXPECT_EQ(BankListCode(u"822 中國信託%%822"), u"822");
    EXPECT_EQ(BankListCode(u"A%%B%% x0170077abc"), u"0170077");
    EXPECT_EQ(BankListCode(u"123456789012 no mark"), u"12345678");
    EXPECT_EQ(BankListCode(u"郵局"), u"");

    const TransferChoice plain =
        BuildOtherAccountChoice(u"822 中國信託%%822", u"123456789", false, u"");
    EXPECT_EQ(plain.transferValues, u"822||123456789||2||2523||");
    EXPECT_EQ(plain.accountRecord, u"00000001234567892822 中國信託%%822");

    const TransferChoice added =
        BuildOtherAccountChoice(u"822 中國信託%%822", u"123456789", true, u"me@example.com");
    EXPECT_EQ(added.transferValues, u"822||123456789||3||2523||me@example.com||");
    EXPECT_EQ(added.accountRecord, u"00000001234567893822 中國信託%%822$$me@example.com");
    // The box only counts for another account.
    EXPECT_EQ(TransferCategoryDigit(TransferCategory::kAgreed, true), u'0');
    EXPECT_EQ(TransferCategoryDigit(TransferCategory::kCommon, true), u'1');

    // Another account that is empty or not all digits names no transfer-in account.
    EXPECT_TRUE(BuildOtherAccountChoice(u"822%%822", u"", false, u"").transferValues.empty());
    EXPECT_TRUE(BuildOtherAccountChoice(u"822%%822", u"12-34", false, u"").transferValues.empty());
}

TEST(TransferConfirmation, RecordShowsBankTextEmailAndCode) {
    const TransferInDisplay shown =
        ReadTransferInRecord(u"00000001234567893822 中國信託%%822$$a@b.tw;c@d.tw");
    EXPECT_EQ(shown.bankText, u"822 中國信託");
    EXPECT_EQ(shown.email, u"a@b.tw;c@d.tw");
    EXPECT_EQ(shown.bankCode, u"822");

    const TransferInDisplay bare = ReadTransferInRecord(u"00000000000000001");
    EXPECT_EQ(bare.bankText, u"");
    EXPECT_EQ(bare.email, u" ");
    EXPECT_EQ(bare.bankCode, u"");
    EXPECT_EQ(ReadTransferInRecord(u"short").bankText, u"");
}

TEST(TransferConfirmation, ProcessingCodeFollowsTheFirstRuleThatHoldsPerServiceType) {
    const std::u16string_view home = u"812";
    const std::u16string_view toOtherBank = u"00000001234567892822 中國信託%%822";
    const std::u16string_view toHomeBank = u"00000001234567892812 Qorv銀行%%812";
    const struct {
        std::u16string_view record;
        std::u16string_view tag5;
        std::u16string_view expected[3];  // columns '0', '1', '2'
    } cases[] = {
        // The transfer-in bank appears in the summary's first value.
        {toOtherBank, u"822-0058-1000", {u"2523", u"2563", u"2523"}},
        // The home bank appears there.
        {toOtherBank, u"812 0058100012345678", {u"2521", u"2561", u"2561"}},
        // Neither: the record's bank text starts with the home bank's code.
        {toHomeBank, u"轉出帳號", {u"2522", u"2562", u"2562"}},
        {toOtherBank, u"轉出帳號", {u"2524", u"2564", u"2564"}},
        // No bank code in the record: the first rule cannot hold by an empty match.
        {u"00000000000000001", u"822", {u"2524", u"2564", u"2564"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseProcessingCode(c.record, c.tag5, home, u'0'), c.expected[0]);
        EXPECT_EQ(ChooseProcessingCode(c.record, c.tag5, home, u'1'), c.expected[1]);
        EXPECT_EQ(ChooseProcessingCode(c.record, c.tag5, home, u'2'), c.expected[2]);
        // Any other ServiceType character takes the first column.
        EXPECT_EQ(ChooseProcessingCode(c.record, c.tag5, home, u'9'), c.expected[0]);
    }
    EXPECT_EQ(HomeBankCode().size(), 3u);
}

TEST(TransferConfirmation, ProcessingCodeGoesOverTheFourthFieldAndTheValuesEndInSeparators) {
    EXPECT_EQ(WriteProcessingCode(u"822||123456789||2||2523||", u"2524"),
              u"822||123456789||2||2524||");
    EXPECT_EQ(WriteProcessingCode(u"822||123456789||2||2523||a@b.tw||", u"2561"),
              u"822||123456789||2||2561||a@b.tw||");
    // A short or missing fourth field still ends in the code and "||".
    EXPECT_EQ(WriteProcessingCode(u"822||1||2||25", u"2521"), u"822||1||2||2521||");
    EXPECT_EQ(WriteProcessingCode(u"822||1||2||", u"2521"), u"822||1||2||2521||");
    EXPECT_EQ(WriteProcessingCode(u"822||1||2", u"2521"), u"");
}

TEST(TransferConfirmation, ServiceTypeChoosesTheRecordLayout) {
    EXPECT_EQ(GuidedRecordLayoutFor(u'0', u"2524"), GuidedRecordLayout::kTransfer);
    // ServiceType 1 never sends the transfer-in account, whatever the code.
    EXPECT_EQ(GuidedRecordLayoutFor(u'1', u"2523"), GuidedRecordLayout::kWithoutTransferIn);
    // ServiceType 2: 2523 sends the transfer record, 2521 the 64-byte one.
    EXPECT_EQ(GuidedRecordLayoutFor(u'2', u"2523"), GuidedRecordLayout::kTransfer);
    EXPECT_EQ(GuidedRecordLayoutFor(u'2', u"2521"), GuidedRecordLayout::kWithoutTransferIn);
    EXPECT_EQ(GuidedRecordLayoutFor(u'2', u""), GuidedRecordLayout::kWithoutTransferIn);
    EXPECT_EQ(GuidedRecordLayoutFor(u'3', u"2523"), GuidedRecordLayout::kNone);
    EXPECT_EQ(GuidedRecordLayoutFor(u'\0', u"2523"), GuidedRecordLayout::kNone);
}

TEST(MultiFieldEntry, RowsAreJoinedByKindAndTheCardPinKeepsOnlyItsPlace) {
    const EnteredField keypadRows[] = {{EnteredFieldKind::kKeypad, false, u"1234"},
                                       {EnteredFieldKind::kKeypad, false, u"5678"}};
    EXPECT_EQ(JoinEnteredFields(keypadRows), u"1234||5678||");

    const std::u16string longEdit(140, u'x');
    const EnteredField mixed[] = {
        {EnteredFieldKind::kListChoice, false, u"8120058"},
        {EnteredFieldKind::kLettersKeypad, false, u"AB12"},
        {EnteredFieldKind::kLettersKeypad, true, u"123456"},
        {EnteredFieldKind::kKeypad, true, u"654321"},
        {EnteredFieldKind::kEdit, false, longEdit},
        {EnteredFieldKind::kEdit, false, u""},
    };
    // The digits-keypad PIN leaves its field empty; the letters-keypad one had none.
    EXPECT_EQ(JoinEnteredFields(mixed), u"812||AB12;;||" + std::u16string(127, u'x') + u"||||");
    EXPECT_EQ(JoinEnteredFields({}), u"");
}

}  // namespace
}  // namespace qorv::dialogs
