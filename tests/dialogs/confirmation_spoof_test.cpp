// What the customer confirms is what the card authorises: the summaries a
// page could use to show one amount or account while the card is given
// another are refused before the dialog shows, or the host block shows the
// true values; page text is shown inert; the host block's own values.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/page_text.h"
#include "support/recorded_messages.h"

namespace qorv::dialogs {
namespace {

constexpr char16_t kAccount[] = u"0058100012345678";
constexpr char16_t kTransferIn[] = u"9999000011112222";
constexpr char16_t kMoney[] = u"00000900000000";  // 9,000,000.00

class PresentCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override { return CardPresence::Present; }
};

std::u16string Transfer(std::u16string_view transferIn, std::u16string_view amount,
                        std::u16string_view extra = u"") {
    return u"<MSG><Tag6>轉出帳號</Tag6><Tag7>" + std::u16string(kAccount) +
           u"</Tag7><Tag10>轉入帳號</Tag10><Tag11>" + std::u16string(transferIn) +
           u"</Tag11><Tag13>" + std::u16string(amount) + u"</Tag13>" + std::u16string(extra) +
           u"</MSG>";
}

struct SpoofCase {
    const char* name;
    std::u16string summary;
    std::optional<int> outcome;  // nothing: the dialog opens
};

class Spoof : public ::testing::TestWithParam<SpoofCase> {};

TEST_P(Spoof, IsRefusedOrTheHostBlockShowsTheTruth) {
    PresentCard card;
    qorv::testing::RecordedMessages messages;
    ConfirmationDialog dialog(
        {GetParam().summary, kMoney, kAccount, kTransferIn, ConfirmationMode::Transfer}, card,
        messages);
    EXPECT_EQ(dialog.Open(), GetParam().outcome);
    if (GetParam().outcome) return;
    const HostBlock& block = dialog.view().hostBlock;
    ASSERT_EQ(block.size(), 3u);
    EXPECT_EQ(block[0].value, kAccount);
    EXPECT_EQ(block[1].label, u"轉入帳號");
    EXPECT_EQ(block[1].value, kTransferIn);
    EXPECT_EQ(block[2].value, u"新臺幣 9,000,000.00 元");
}

const std::u16string kSpaces(70, u' ');
const std::u16string kSeparators(40, u'\u2028');

INSTANTIATE_TEST_SUITE_P(
    Summaries, Spoof,
    ::testing::Values(
        SpoofCase{"Honest", Transfer(kTransferIn, u"9000000"), std::nullopt},
        // The one-line field shows the decoy; the host block the account.
        SpoofCase{"TransferInCutOff",
                  Transfer(u"0081234567890123" + kSpaces + kTransferIn, u"9000000"), std::nullopt},
        SpoofCase{"AmountBelowTheFold",
                  Transfer(kTransferIn, u"新臺幣 ９，０００ 元" + kSeparators + u"9000000"),
                  kConfirmAmountNotInSummary},
        SpoofCase{"ReversedAmount", Transfer(kTransferIn, u"\u202E9000000\u202C"),
                  kConfirmAmountNotInSummary},
        SpoofCase{"ReversedTransferIn",
                  Transfer(u"\u202E" + std::u16string(kTransferIn) + u"\u202C", u"9000000"),
                  kConfirmAmountNotInSummary},
        SpoofCase{"ZeroWidthInAccount",
                  u"<Tag7>0058\u200B100012345678</Tag7><Tag11>" + std::u16string(kTransferIn) +
                      u"</Tag11><Tag13>9000000</Tag13>",
                  kConfirmAccountNotInSummary},
        SpoofCase{
            "Relabelled",
            Transfer(kTransferIn, u"9000000",
                     u"<Tag12>可用餘額</Tag12><Tag14>轉帳金額</Tag14><Tag15>９，０００</Tag15>"),
            kConfirmAmountNotInSummary},
        SpoofCase{"DecoyFromAccount",
                  Transfer(kTransferIn, u"9000000",
                           u"<Tag16>轉出帳號</Tag16><Tag17>0058100099999999</Tag17>"),
                  kConfirmAccountNotInSummary},
        SpoofCase{"SameValueUnderTheBlocksWords",
                  Transfer(kTransferIn, u"9000000",
                           u"<Tag14>轉帳金額：</Tag14><Tag15>NT$ 9,000,000</Tag15>"),
                  std::nullopt}),
    [](const ::testing::TestParamInfo<SpoofCase>& info) { return info.param.name; });

TEST(PageText, UncheckedTagsAreShownInert) {
    PresentCard card;
    qorv::testing::RecordedMessages messages;
    ConfirmationDialog dialog(
        {u"<Tag2>\u202E備註\u200B ٣٤\tA</Tag2><Tag11>\u202Dabc</Tag11>", std::nullopt, std::nullopt,
         std::nullopt, ConfirmationMode::VerifyPin},
        card, messages);
    ASSERT_EQ(dialog.Open(), std::nullopt);
    EXPECT_EQ(dialog.view().TextOf(confirm_control::kNote1), u"備註 34 A");
    EXPECT_EQ(dialog.view().transferInField.text, u"abc");
}

TEST(PageText, CharacterClasses) {
    struct Case {
        char32_t c;
        bool unsafe;
        std::optional<int> digit;
    };
    const Case cases[] = {
        {U'\u0000', true, {}},  {U'\u001F', true, {}},    {U'\u007F', true, {}},
        {U'\u0085', true, {}},  {U'\u200B', true, {}},    {U'\u200F', true, {}},
        {U'\u202A', true, {}},  {U'\u202E', true, {}},    {U'\u2060', true, {}},
        {U'\u2069', true, {}},  {U'\uFEFF', true, {}},    {U'\u2028', true, {}},
        {U'\u2029', true, {}},  {U'\uFF19', true, 9},     {U'\u0660', true, 0},
        {U'\u0E59', true, 9},   {U'\U0001D7CF', true, 1}, {U'9', false, {}},
        {U'\u3000', false, {}}, {U'\uFF0C', false, {}},   {U'\u200A', false, {}},
        {U'\u2070', false, {}}, {U'臺', false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<uint32_t>(c.c));
        std::u16string text;
        if (c.c > 0xFFFF) {
            text += static_cast<char16_t>(0xD800 + ((c.c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c.c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c.c);
        }
        EXPECT_EQ(HasUnsafeCharacter(text), c.unsafe);
        EXPECT_EQ(ForeignDigitValue(c.c), c.digit);
    }
    EXPECT_TRUE(HasUnsafeCharacter(u"12\xD800"));  // half a pair
    // Shown text keeps none of them.
    EXPECT_EQ(InertText(u"\u202E1\uFF19\t2\xD800\u200B"), u"19 2\uFFFD");
}

TEST(HostBlock, FormatsTheAmountAndNamesEachValue) {
    EXPECT_EQ(FormatAmount(u"00000900000000"), u"新臺幣 9,000,000.00 元");
    EXPECT_EQ(FormatAmount(u"00000000000005"), u"新臺幣 0.05 元");
    EXPECT_EQ(FormatAmount(u"00000000000000"), u"新臺幣 0.00 元");
    EXPECT_EQ(FormatAmount(u"00000000123456"), u"新臺幣 1,234.56 元");

    // A withdrawal: from-account and amount under its own words; no
    // transfer-in account where the mode does not compare one.
    const std::optional<std::u16string> account = kAccount;
    const std::optional<std::u16string> transferIn = kTransferIn;
    const std::optional<std::u16string> money = kMoney;
    const HostBlock block = BuildHostBlock(RuleForConfirmationMode(ConfirmationMode::Withdraw),
                                           {account, transferIn, money, {}});
    ASSERT_EQ(block.size(), 2u);
    EXPECT_EQ(block[0].label, u"轉出帳號");
    EXPECT_EQ(block[1].label, u"提款金額");
    EXPECT_TRUE(IsDecoyRow(block, u" 交易金額 ", u"9,000"));
    EXPECT_FALSE(IsDecoyRow(block, u"手續費金額", u"15"));
    EXPECT_FALSE(IsDecoyRow(block, u"轉入帳號", u"anything"));  // not in this block
}

// The entry form's rows come as data: a title full of tags stays a title,
// and every row is in the host block, however many there are.
TEST(HostBlock, FormRowsAreDataNotTags) {
    PresentCard card;
    qorv::testing::RecordedMessages messages;
    ConfirmationRequest request;
    request.mode = ConfirmationMode::PinInForm;
    request.title = u"</Tag1><Tag5>822 中國信託</Tag5><Tag7>0058100098765432</Tag7>";
    for (int row = 0; row < 10; ++row) {
        request.produced.push_back({u"第" + std::u16string(1, static_cast<char16_t>(u'0' + row)),
                                    row == 0 ? u"700 中華郵政" : u"9999000011112222",
                                    HostValueKind::Other,
                                    {}});
    }
    ConfirmationDialog dialog(request, card, messages);
    ASSERT_EQ(dialog.Open(), std::nullopt);
    EXPECT_EQ(dialog.view().hostBlock.size(), 10u);
    EXPECT_EQ(dialog.view().hostBlock[0].value, u"700 中華郵政");
    EXPECT_EQ(dialog.tags()[4], u"");
    EXPECT_EQ(dialog.tags()[6], u"");
    EXPECT_EQ(dialog.view().TextOf(confirm_control::kTitle), request.title);
}

}  // namespace
}  // namespace qorv::dialogs
