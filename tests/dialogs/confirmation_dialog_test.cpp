// The confirmation dialog's logic driven tick by tick with a scripted card:
// the summary checks of each mode, the take-out / put-back countdown, OK
// following the card, and both time-outs after the full 60 seconds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/confirmation_dialog.h"
#include "reader/pcsc_api.h"
#include "support/recorded_messages.h"

namespace qorv::dialogs {
namespace {

constexpr char16_t kAccount[] = u"0058100012345678";
constexpr char16_t kTransferIn[] = u"0081234567890123";
constexpr char16_t kAmount[] = u"00000000123400";
// The ticks of the full countdown: 60 seconds of 250 ms polls.
constexpr int kAllTicks = kConfirmationSeconds * kPollsPerSecond;

class ScriptedCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override {
        ++polls;
        return present ? CardPresence::Present : CardPresence::Absent;
    }
    bool present = true;
    int polls = 0;
};

std::u16string TransferSummary() {
    return u"<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>" +
           std::u16string(kAccount) + u"</Tag7><Tag10>轉入帳號</Tag10><Tag11>" + kTransferIn +
           u"</Tag11><Tag12>金額</Tag12><Tag13>NT$ 1234</Tag13></MSG>";
}

ConfirmationMode Mode(int number) {
    return static_cast<ConfirmationMode>(number);
}

ConfirmationRequest Transfer(int mode = 3) {
    return {TransferSummary(), kAmount, kAccount, kTransferIn, Mode(mode)};
}

struct Fixture {
    explicit Fixture(ConfirmationRequest request) : dialog(std::move(request), card, messages) {
        messages.onShow = [this] { timerRunningDuringMessage = dialog.timerRunning(); };
    }
    void Ticks(int count) {
        for (int i = 0; i < count && dialog.timerRunning(); ++i) {
            dialog.Tick();
        }
    }
    // Out for a second, back in: the tick that sees it back starts the second phase.
    void TakeOutAndPutBack() {
        card.present = false;
        Ticks(4);
        card.present = true;
        Ticks(1);
    }
    ScriptedCard card;
    qorv::testing::RecordedMessages messages;
    ConfirmationDialog dialog;
    bool timerRunningDuringMessage = false;
};

TEST(ConfirmationChecks, AccountMissingFromItsTagEndsWith101BeforeTheDialogShows) {
    Fixture f(
        {u"<Tag7>0058100099999999</Tag7><Tag13>1234</Tag13>", kAmount, kAccount, {}, Mode(4)});
    EXPECT_EQ(f.dialog.Open(), kConfirmAccountNotInSummary);
    EXPECT_EQ(f.dialog.phase(), ConfirmationPhase::Ended);
    f.Ticks(10);
    EXPECT_EQ(f.card.polls, 0);
    EXPECT_TRUE(f.messages.messages.empty());
}

TEST(ConfirmationChecks, TransferInAccountIsCheckedBetweenAccountAndAmount) {
    auto badBoth = Transfer();
    badBoth.account = u"0058100099999999";
    badBoth.transferIn = u"0000000000000000";
    Fixture first(badBoth);
    EXPECT_EQ(first.dialog.Open(), kConfirmAccountNotInSummary);

    auto badTransferIn = Transfer();
    badTransferIn.transferIn = u"0000000000000000";
    Fixture second(badTransferIn);
    EXPECT_EQ(second.dialog.Open(), kConfirmAmountNotInSummary);

    auto badAmount = Transfer(8);
    badAmount.amount = u"00000000123500";
    Fixture third(badAmount);
    EXPECT_EQ(third.dialog.Open(), kConfirmAmountNotInSummary);

    // Only the 16 characters that go to the card need to be in the summary.
    auto longTransferIn = Transfer();
    longTransferIn.transferIn = std::u16string(kTransferIn) + u"9999";
    Fixture fourth(longTransferIn);
    EXPECT_EQ(fourth.dialog.Open(), std::nullopt);
}

TEST(ConfirmationChecks, EachModeComparesItsOwnTags) {
    struct ModeCase {
        int mode;
        int accountTag;
        int amountTag;
    };
    const ModeCase cases[] = {{1, 12, 13}, {2, 8, 9},  {3, 7, 13}, {4, 7, 13}, {6, 12, 13},
                              {7, 8, 9},   {8, 7, 13}, {9, 7, 13}, {23, 7, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        const auto tag = [](int n, const std::u16string& text) {
            const auto number = std::to_string(n);
            const std::u16string name(number.begin(), number.end());
            return u"<Tag" + name + u">" + text + u"</Tag" + name + u">";
        };
        const std::u16string amountTag = tag(c.amountTag, u"1234");
        const std::u16string transferInTag = tag(11, kTransferIn);
        Fixture good({tag(c.accountTag, kAccount) + amountTag + transferInTag, kAmount, kAccount,
                      kTransferIn, Mode(c.mode)});
        EXPECT_EQ(good.dialog.Open(), std::nullopt);
        EXPECT_EQ(good.dialog.tags()[static_cast<std::size_t>(c.amountTag - 1)], u"1,234");
        Fixture noAccount(
            {amountTag + transferInTag, kAmount, kAccount, kTransferIn, Mode(c.mode)});
        EXPECT_EQ(noAccount.dialog.Open(), kConfirmAccountNotInSummary);
        Fixture noAmount({tag(c.accountTag, kAccount) + transferInTag, kAmount, kAccount,
                          kTransferIn, Mode(c.mode)});
        EXPECT_EQ(noAmount.dialog.Open(), kConfirmAmountNotInSummary);
    }
    for (const int mode : {0, 5, 10, 11, 12, 13, 25, 26}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Fixture f({u"nothing tagged", kAmount, kAccount, kTransferIn, Mode(mode)});
        EXPECT_EQ(f.dialog.Open(), std::nullopt);
    }
}

TEST(ConfirmationChecks, AValueTheModeComparesButTheCallerLeftOutFails) {
    Fixture noAccount({TransferSummary(), kAmount, std::nullopt, kTransferIn, Mode(3)});
    EXPECT_EQ(noAccount.dialog.Open(), kConfirmAccountNotInSummary);
    Fixture noAmount({TransferSummary(), std::nullopt, kAccount, kTransferIn, Mode(3)});
    EXPECT_EQ(noAmount.dialog.Open(), kConfirmAmountNotInSummary);
}

TEST(ConfirmationChecks, AllZeroWithdrawalAgainstZeroWithADot) {
    Fixture f({u"<Tag7>" + std::u16string(kAccount) + u"</Tag7><Tag13>0.</Tag13>",
               u"00000000000000",
               kAccount,
               {},
               Mode(4)});
    EXPECT_EQ(f.dialog.Open(), std::nullopt);
}

TEST(ConfirmationView, ShowsTagsInTheirControlsAndHidesEmptyRows) {
    Fixture f(Transfer());
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    const auto& view = f.dialog.view();
    EXPECT_EQ(view.caption, u"Qorv銀行_網路Tellra");
    EXPECT_EQ(view.TextOf(1011), u"轉帳：確認交易資料");
    EXPECT_EQ(view.TextOf(1016), u"轉出帳號");
    EXPECT_EQ(view.TextOf(1017), kAccount);
    EXPECT_EQ(view.TextOf(1023), u"NT$ 1,234");
    // Tag11 goes to the secure field in display mode 6, never to a label.
    EXPECT_EQ(view.TextOf(1021), u"");
    EXPECT_EQ(view.transferInField.text, kTransferIn);
    EXPECT_EQ(view.transferInField.mode, 6);
    EXPECT_TRUE(view.IsVisible(confirm_control::kTransferInSecureField));
    EXPECT_TRUE(view.IsVisible(1020));
    // Empty rows and notes are hidden; the first row has neither label nor value.
    EXPECT_FALSE(view.IsVisible(1012));
    EXPECT_FALSE(view.IsVisible(1014));
    EXPECT_FALSE(view.IsVisible(1015));
    EXPECT_FALSE(view.IsVisible(1028));
    EXPECT_EQ(view.countdown, u"請於 60 秒內，將您的晶片卡抽出後，再重新置入讀卡機。");
    EXPECT_FALSE(view.okEnabled);
    EXPECT_EQ(view.TextOf(confirm_control::kOk), u"確定");
    EXPECT_EQ(view.TextOf(confirm_control::kCancel), u"取消");
    EXPECT_EQ(view.buttonColour, (std::array<uint8_t, 3>{0xFE, 0xEE, 0xE2}));
}

TEST(ConfirmationView, EmptyTitleKeepsTheTemplateTextAndTag17GoesToTheEditField) {
    Fixture f({u"<Tag16>備註</Tag16><Tag17>line one\r\nline two</Tag17><Tag19>x</Tag19>",
               {},
               {},
               {},
               Mode(0)});
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    const auto& view = f.dialog.view();
    EXPECT_EQ(view.TextOf(1011), u"繳費：確認交易資料");
    EXPECT_EQ(view.TextOf(1001), u"line one\r\nline two");
    EXPECT_TRUE(view.IsVisible(1026));
    EXPECT_TRUE(view.IsVisible(1028));  // the row's value has text
    EXPECT_EQ(view.TextOf(1029), u"x");
    EXPECT_FALSE(view.transferInFieldVisible);
}

TEST(ConfirmationCountdown, CardNeverTakenOutCancelsAfterSixtySecondsWithTheInsertionMessage) {
    Fixture f(Transfer());
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    f.Ticks(4);
    EXPECT_EQ(f.dialog.view().countdown, u"請於 59 秒內，將您的晶片卡抽出後，再重新置入讀卡機。");
    f.Ticks(kAllTicks - 5);
    EXPECT_TRUE(f.dialog.timerRunning()) << "ended before 60 seconds";
    EXPECT_EQ(f.dialog.view().countdown, u"請於 1 秒內，將您的晶片卡抽出後，再重新置入讀卡機。");
    EXPECT_TRUE(f.messages.messages.empty());
    f.dialog.Tick();
    EXPECT_EQ(f.dialog.outcome(), kConfirmCancelled);
    EXPECT_EQ(f.card.polls, kAllTicks);
    ASSERT_EQ(f.messages.messages.size(), 1U);
    EXPECT_EQ(f.messages.messages[0], u"超過允許插拔時間,取消交易");
    EXPECT_EQ(f.messages.captions[0], u"Qorv銀行");
    EXPECT_FALSE(f.timerRunningDuringMessage);
    f.Ticks(8);
    EXPECT_EQ(f.card.polls, kAllTicks);
}

TEST(ConfirmationCountdown, CardOutAsksForItBackAndOkFollowsTheCardInTheSecondPhase) {
    Fixture f(Transfer());
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), std::nullopt);

    f.card.present = false;
    f.Ticks(4);
    EXPECT_EQ(f.dialog.view().countdown, u"請於 59 秒內，將您的晶片卡置入讀卡機。");
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.card.present = true;
    f.Ticks(1);
    EXPECT_EQ(f.dialog.phase(), ConfirmationPhase::PressOk);
    EXPECT_TRUE(f.dialog.view().okEnabled);
    EXPECT_EQ(f.dialog.view().countdown, u"請於 58 秒內，按下本頁『確定』鍵，即可完成交易。");

    // Out again: OK goes off at the next poll, the text changes with the next second.
    f.card.present = false;
    f.Ticks(1);
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    f.dialog.PressEnter();
    EXPECT_EQ(f.dialog.outcome(), std::nullopt);
    f.Ticks(3);
    EXPECT_EQ(f.dialog.view().countdown, u"請於 57 秒內，將您的晶片卡置入讀卡機。");

    f.card.present = true;
    f.Ticks(1);
    EXPECT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressEnter();  // Enter never confirms
    EXPECT_EQ(f.dialog.outcome(), std::nullopt);
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kConfirmOk);
    EXPECT_FALSE(f.dialog.timerRunning());
    EXPECT_TRUE(f.messages.messages.empty());
}

TEST(ConfirmationCountdown, TheTickThatSeesTheCardBackDoesNotCountDown) {
    Fixture f(Transfer());
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    f.card.present = false;
    f.Ticks(3);
    f.card.present = true;
    f.Ticks(1);  // the fourth poll, but it moves to the second phase instead
    EXPECT_EQ(f.dialog.phase(), ConfirmationPhase::PressOk);
    EXPECT_EQ(f.dialog.remainingSeconds(), kConfirmationSeconds - 1);
    f.Ticks(3);
    EXPECT_EQ(f.dialog.remainingSeconds(), kConfirmationSeconds - 1);
    f.Ticks(1);
    EXPECT_EQ(f.dialog.remainingSeconds(), kConfirmationSeconds - 2);
}

TEST(ConfirmationCountdown, SixtySecondsCoverBothPhasesThenTheTransactionTimeOut) {
    Fixture f(Transfer());
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    f.Ticks(40);  // ten seconds with the card in
    f.TakeOutAndPutBack();
    ASSERT_EQ(f.dialog.phase(), ConfirmationPhase::PressOk);
    const int used = 45;
    f.Ticks(kAllTicks - used - 1);
    EXPECT_TRUE(f.dialog.timerRunning());
    EXPECT_EQ(f.dialog.view().countdown, u"請於 0 秒內，按下本頁『確定』鍵，即可完成交易。");
    f.Ticks(4);
    EXPECT_EQ(f.dialog.outcome(), kConfirmCancelled);
    ASSERT_EQ(f.messages.messages.size(), 1U);
    EXPECT_EQ(f.messages.messages[0], u"超過允許交易時間，取消交易。");
    EXPECT_EQ(f.messages.captions[0], u"Qorv銀行");
    EXPECT_FALSE(f.timerRunningDuringMessage);
    EXPECT_EQ(f.dialog.view().countdown.find(u"-1"), std::u16string::npos);
}

TEST(ConfirmationCountdown, ReaderGroupAsksToFollowTheReaderAfterOk) {
    for (const int mode : {5, 6, 7, 8, 9, 11, 13, 26}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        auto request = Transfer(mode);
        request.message = u"<Tag7>" + std::u16string(kAccount) + u"</Tag7><Tag8>" + kAccount +
                          u"</Tag8><Tag9>1234</Tag9><Tag11>" + kTransferIn + u"</Tag11><Tag12>" +
                          kAccount + u"</Tag12><Tag13>1234</Tag13>";
        Fixture f(request);
        ASSERT_EQ(f.dialog.Open(), std::nullopt);
        f.TakeOutAndPutBack();
        EXPECT_EQ(f.dialog.view().countdown,
                  u"請於 58 秒內，按本頁『確定』鍵後，依讀卡機上顯示指示繼續操作．．．");
    }
    for (const int mode : {0, 1, 2, 3, 4, 10, 12, 23, 25}) {
        EXPECT_EQ(RuleForConfirmationMode(Mode(mode)).group, PromptGroup::CardPin) << mode;
    }
}

TEST(ConfirmationCountdown, CancelEndsEitherPhaseWithoutAMessage) {
    Fixture first(Transfer());
    ASSERT_EQ(first.dialog.Open(), std::nullopt);
    first.Ticks(2);
    first.dialog.PressCancel();
    EXPECT_EQ(first.dialog.outcome(), kConfirmCancelled);
    EXPECT_FALSE(first.dialog.timerRunning());

    Fixture second(Transfer());
    ASSERT_EQ(second.dialog.Open(), std::nullopt);
    second.TakeOutAndPutBack();
    second.dialog.PressCancel();
    second.dialog.PressOk();  // too late: the dialog has ended
    EXPECT_EQ(second.dialog.outcome(), kConfirmCancelled);
    EXPECT_TRUE(first.messages.messages.empty());
    EXPECT_TRUE(second.messages.messages.empty());
}

TEST(ConfirmationProbe, OnlyNoCardAndRemovedCardMeanAbsent) {
    EXPECT_EQ(PresenceFromConnectResult(0), CardPresence::Present);
    EXPECT_EQ(PresenceFromConnectResult(reader::pcsc::kNoSmartcard), CardPresence::Absent);
    EXPECT_EQ(PresenceFromConnectResult(reader::pcsc::kRemovedCard), CardPresence::Absent);
    EXPECT_EQ(PresenceFromConnectResult(reader::pcsc::kSharingViolation), CardPresence::Present);
    EXPECT_EQ(PresenceFromConnectResult(reader::pcsc::kUnresponsiveCard), CardPresence::Present);

    int32_t next = reader::pcsc::kRemovedCard;
    ConnectResultProbe probe([&next] { return next; });
    EXPECT_EQ(probe.Poll(), CardPresence::Absent);
    next = reader::pcsc::kSharingViolation;
    EXPECT_EQ(probe.Poll(), CardPresence::Present);
}

class RecordedTransferIn final : public TransferInProcessing {
  public:
    void PrepareDisplay(SummaryTags& tags, SecureFieldContent& field, MessageSink&) override {
        ++calls;
        amountSeen = tags[12];
        tags[8] = u"台灣銀行";
        tags[14] = u" ";
        field.text = u"scrambled";
    }
    int calls = 0;
    std::u16string amountSeen;
};

TEST(ConfirmationTransferIn, Mode23FillsItsPlacesAfterTheChecks) {
    RecordedTransferIn transferIn;
    ScriptedCard card;
    qorv::testing::RecordedMessages messages;
    ConfirmationDialog dialog(Transfer(23), card, messages, &transferIn);
    ASSERT_EQ(dialog.Open(), std::nullopt);
    EXPECT_EQ(transferIn.calls, 1);
    EXPECT_EQ(transferIn.amountSeen, u"NT$ 1,234");
    EXPECT_EQ(dialog.view().TextOf(1019), u"台灣銀行");
    EXPECT_EQ(dialog.view().TextOf(1025), u" ");
    EXPECT_EQ(dialog.view().transferInField.text, u"scrambled");
    EXPECT_EQ(dialog.view().transferInField.mode, 0);

    auto wrongAccount = Transfer(23);
    wrongAccount.account = u"0058100099999999";
    RecordedTransferIn unused;
    ConfirmationDialog refused(wrongAccount, card, messages, &unused);
    EXPECT_EQ(refused.Open(), kConfirmAccountNotInSummary);
    EXPECT_EQ(unused.calls, 0);
}

}  // namespace
}  // namespace qorv::dialogs
