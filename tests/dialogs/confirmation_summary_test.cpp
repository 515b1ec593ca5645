// The summary text of the confirmation dialog: tag extraction and the
// account and amount checks that guard what the card is asked to authorise.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dialogs/confirmation_summary.h"

namespace qorv::dialogs {
namespace {

TEST(SummaryTags, TakesEachTagInAnyCaseWithOrWithoutTheWrapper) {
    const auto tags = ExtractSummaryTags(
        u"<msg><TAG1>轉帳</tag1><Tag10>label ten</TAG10><tag7>0058100012345678</Tag7></msg>");
    EXPECT_EQ(tags[0], u"轉帳");
    EXPECT_EQ(tags[9], u"label ten");  // <Tag1> never matches <Tag10>
    EXPECT_EQ(tags[6], u"0058100012345678");
    EXPECT_EQ(tags[1], u"");

    const auto bare = ExtractSummaryTags(u"<Tag19>last</Tag19>");
    EXPECT_EQ(bare[18], u"last");
}

TEST(SummaryTags, FirstOpeningTagUpToTheNextClosingTagAndNothingWithoutAClosingTag) {
    const auto tags =
        ExtractSummaryTags(u"</Tag2>x<Tag2>a<Tag2>b</Tag2>c</Tag2><Tag3>never closed<Tag4></Tag4>");
    EXPECT_EQ(tags[1], u"a<Tag2>b");
    EXPECT_EQ(tags[2], u"");
    EXPECT_EQ(tags[3], u"");
}

TEST(SummaryTags, CutsEachTagTextAt279Characters) {
    const std::u16string exact(279, u'x');
    const std::u16string longer = exact + u"yz";
    const auto tags =
        ExtractSummaryTags(u"<Tag5>" + longer + u"</Tag5><Tag6>" + exact + u"</Tag6>");
    EXPECT_EQ(tags[4], exact);
    EXPECT_EQ(tags[5], exact);

    // A character outside the basic plane is never cut in half.
    const std::u16string pair = std::u16string(278, u'x') + u"\U0001F4B0";
    EXPECT_EQ(ExtractSummaryTags(u"<Tag2>" + pair + u"</Tag2>")[1], std::u16string(278, u'x'));
}

TEST(SummaryAccount, OccursAnywhereAfterLeadingBlanks) {
    EXPECT_TRUE(AccountInSummaryTag(u"   0058100012345678", u"0058100012345678"));
    EXPECT_TRUE(AccountInSummaryTag(u"帳號 0058100012345678 (活存)", u"0058100012345678"));
    EXPECT_FALSE(AccountInSummaryTag(u"0058100012345679", u"0058100012345678"));
    EXPECT_FALSE(AccountInSummaryTag(u"   ", u"0058100012345678"));
    EXPECT_FALSE(AccountInSummaryTag(u"", u"0058100012345678"));
}

struct AmountCase {
    const char16_t* amount;
    const char16_t* tag;
    std::optional<std::u16string> shown;  // nothing: the check fails
};

TEST(SummaryAmount, AcceptsEveryWrittenFormAndNothingElse) {
    const AmountCase cases[] = {
        // Zero: "0.00", "0." and "0.0".
        {u"00000000000000", u"0.00", u"0.00"},
        {u"00000000000000", u"金額 0.", u"金額 0."},
        {u"00000000000000", u"0.0 元", u"0.0 元"},
        {u"00000000000000", u"0", std::nullopt},     // no number starts there
        {u"00000000000000", u"0.50", std::nullopt},  // shows fifty cents
        {u"00000000000000", u"NT$", std::nullopt},   // no number at all
        // Hundredths only.
        {u"00000000000005", u"0.05", u"0.05"},
        {u"00000000000050", u"NT$0.50", u"NT$0.50"},
        {u"00000000000050", u"0.5", std::nullopt},
        {u"00000000000050", u".50", std::nullopt},
        // Whole amounts: the integer part alone, with "." or ".0" or ".00".
        {u"00000000123400", u"NT$ 1234", u"NT$ 1,234"},
        {u"00000000123400", u"NT$ 1234.", u"NT$ 1,234."},
        {u"00000000123400", u"1234.0", u"1,234.0"},
        {u"00000000123400", u"1234.00元整", u"1,234.00元整"},
        {u"00000000123400", u"NT$ 1235", std::nullopt},
        {u"00000000123400", u"NT$ 12340", std::nullopt},  // a longer number
        {u"00000000123400", u"NT$ 1234.5", std::nullopt},
        {u"00000000123400", u"NT$ 1234.001", std::nullopt},
        {u"00000000123400", u"NT$ 1,234.00", std::nullopt},     // the page writes it plain
        {u"00000000123400", u"2026/12/08 1234", std::nullopt},  // the first number counts
        // Cents that are not zero need all of them.
        {u"00000123456705", u"1234567.05", u"1,234,567.05"},
        {u"00000123456705", u"1234567.0", std::nullopt},
        {u"00000123456705", u"1234567", std::nullopt},
        {u"00000000012345", u"0123.45", u"0123.45"},  // the number starts after the 0
        {u"00000000012345", u"123.45", u"123.45"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(CheckAmountInSummaryTag(cases[i].tag, cases[i].amount), cases[i].shown);
    }
}

TEST(SummaryAmount, RegroupsTheIntegerDigitsByThousands) {
    EXPECT_EQ(GroupThousands(u""), u"");
    EXPECT_EQ(GroupThousands(u"123"), u"123");
    EXPECT_EQ(GroupThousands(u"1234"), u"1,234");
    EXPECT_EQ(GroupThousands(u"123456"), u"123,456");
    EXPECT_EQ(GroupThousands(u"1234567"), u"1,234,567");
    EXPECT_EQ(CheckAmountInSummaryTag(u"轉帳 999999999999.99 元", u"99999999999999"),
              u"轉帳 999,999,999,999.99 元");
}

TEST(SummaryAmount, AllZeroMeansNothingButZeros) {
    EXPECT_TRUE(IsAllZeroAmount(u"00000000000000"));
    EXPECT_TRUE(IsAllZeroAmount(u""));
    EXPECT_FALSE(IsAllZeroAmount(u"00000000000001"));
    EXPECT_FALSE(IsAllZeroAmount(u"10000000000000"));
}

}  // namespace
}  // namespace qorv::dialogs
