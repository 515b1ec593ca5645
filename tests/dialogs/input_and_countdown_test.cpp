// The typed- and pasted-text filters and the countdown of the entry dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "dialogs/countdown.h"
#include "dialogs/input_filters.h"
#include "dialogs/message_sink.h"
#include "support/recording_user_interface.h"

namespace qorv::dialogs {
namespace {

TEST(TypedText, DigitsOnlyEditsTakeDigitsBackspaceAndCopyPaste) {
    for (EditKind kind : {EditKind::kEntryDigits, EditKind::kTransferAccount}) {
        EXPECT_TRUE(AcceptTypedCharacter(kind, u"12", u'3', 16));
        EXPECT_FALSE(AcceptTypedCharacter(kind, u"12", u'a', 16));
        EXPECT_FALSE(AcceptTypedCharacter(kind, u"12", u' ', 16));
        EXPECT_FALSE(AcceptTypedCharacter(kind, u"12", u'\x18', 16));  // cut
        EXPECT_TRUE(AcceptTypedCharacter(kind, u"12", kBackspace, 16));
        EXPECT_TRUE(AcceptTypedCharacter(kind, u"12", kCtrlC, 16));
        EXPECT_TRUE(AcceptTypedCharacter(kind, u"12", kCtrlV, 16));
    }
}

TEST(TypedText, AFullEditRefusesEverythingButBackspace) {
    EXPECT_FALSE(AcceptTypedCharacter(EditKind::kEntryText, u"abc", u'd', 3));
    EXPECT_FALSE(AcceptTypedCharacter(EditKind::kTransferAccount, u"1234", u'5', 4));
    EXPECT_TRUE(AcceptTypedCharacter(EditKind::kEntryText, u"abc", kBackspace, 3));
    EXPECT_TRUE(AcceptTypedCharacter(EditKind::kEntryText, u"ab", u'c', 3));
}

TEST(TypedText, SeparatorCharactersAreNeverDoubled) {
    for (EditKind kind : {EditKind::kEntryText, EditKind::kTransferEmail}) {
        for (char16_t c : std::u16string(u"|;@%")) {
            EXPECT_FALSE(AcceptTypedCharacter(kind, std::u16string(u"a") + c, c, 150));
            EXPECT_TRUE(AcceptTypedCharacter(kind, u"a", c, 150));
        }
        EXPECT_TRUE(AcceptTypedCharacter(kind, u"a|", u';', 150));
    }
}

TEST(TypedText, EmailTakesAddressCharactersAndWideCharacters) {
    for (char16_t c : std::u16string(u"aZ09!#%&*+-/=?^_{}|~<>:,.@)(;"))
        EXPECT_TRUE(AcceptTypedCharacter(EditKind::kTransferEmail, u"x", c, 150)) << int(c);
    for (char16_t c : std::u16string(u" \"'$[]\\`"))
        EXPECT_FALSE(AcceptTypedCharacter(EditKind::kTransferEmail, u"x", c, 150)) << int(c);
    EXPECT_TRUE(AcceptTypedCharacter(EditKind::kTransferEmail, u"x", u'信', 150));
    EXPECT_FALSE(AcceptTypedCharacter(EditKind::kTransferEmail, std::u16string(150, u'a'), u'b',
                                      kMaxTransferEmail));
}

TEST(PastedText, ALetterAmongDigitsIsRefusedWithItsMessage) {
    const PasteCheck check = CheckPaste(EditKind::kEntryDigits, u"", u"12a45");
    EXPECT_FALSE(check.accepted);
    EXPECT_EQ(check.message, kMsgMustBeDigits);
    EXPECT_TRUE(CheckPaste(EditKind::kEntryDigits, u"", u"0123456789").accepted);
    EXPECT_FALSE(CheckPaste(EditKind::kTransferAccount, u"", u"12 3").accepted);
}

TEST(PastedText, ALetterBehindALongRunOfDigitsIsStillFound) {
    EXPECT_FALSE(
        CheckPaste(EditKind::kEntryDigits, u"", std::u16string(300, u'1') + u"x").accepted);
}

TEST(PastedText, AccountEditOverSixteenCharactersRefusesSilently) {
    const PasteCheck check = CheckPaste(EditKind::kTransferAccount, std::u16string(17, u'1'), u"2");
    EXPECT_FALSE(check.accepted);
    EXPECT_TRUE(check.message.empty());
    EXPECT_TRUE(CheckPaste(EditKind::kTransferAccount, std::u16string(16, u'1'), u"2").accepted);
}

TEST(PastedText, EmailPasteRefusesSemicolonsAndForeignPunctuation) {
    EXPECT_TRUE(CheckPaste(EditKind::kTransferEmail, u"", u"a.b@c.tw").accepted);
    for (const char16_t* text : {u"a@b.tw;c@d.tw", u"a b@c", u"a\"b"}) {
        const PasteCheck check = CheckPaste(EditKind::kTransferEmail, u"", text);
        EXPECT_FALSE(check.accepted);
        EXPECT_EQ(check.message, kMsgMustBeEmailCharacters);
    }
    EXPECT_TRUE(CheckPaste(EditKind::kEntryText, u"", u"any;;thing").accepted);
}

// Runs whole seconds of ticks; returns the events seen.
std::vector<TickEvent> RunSeconds(Countdown& countdown, int seconds) {
    std::vector<TickEvent> events;
    for (int i = 0; i < seconds * kTicksPerSecond; ++i) {
        const TickEvent e = countdown.Tick();
        if (e != TickEvent::kNone) events.push_back(e);
    }
    return events;
}

TEST(Countdown, EveryFifthTickTakesOneSecond) {
    Countdown countdown(180);
    countdown.Start();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(countdown.Tick(), TickEvent::kNone);
    EXPECT_EQ(countdown.Tick(), TickEvent::kLabelChanged);
    EXPECT_EQ(countdown.remainingSeconds(), 179);
    EXPECT_FALSE(countdown.labelVisible());
}

TEST(Countdown, TheLabelAppearsAtSixtySecondsPaddedToThreeCharacters) {
    Countdown countdown(62);
    countdown.Start();
    RunSeconds(countdown, 1);
    EXPECT_EQ(countdown.remainingSeconds(), 61);
    EXPECT_FALSE(countdown.labelVisible());
    RunSeconds(countdown, 1);
    EXPECT_TRUE(countdown.labelVisible());
    EXPECT_EQ(countdown.labelText(), u" 60 秒後自動登出");
    RunSeconds(countdown, 51);
    EXPECT_EQ(countdown.labelText(), u"  9 秒後自動登出");
}

TEST(Countdown, ThreeMinutesExpireOnceAndThenStop) {
    Countdown countdown(180);
    countdown.Start();
    const std::vector<TickEvent> events = RunSeconds(countdown, 200);
    ASSERT_EQ(events.size(), 180u);
    EXPECT_EQ(events.back(), TickEvent::kExpired);
    EXPECT_EQ(std::count(events.begin(), events.end(), TickEvent::kExpired), 1);
    EXPECT_FALSE(countdown.running());
    EXPECT_EQ(countdown.remainingSeconds(), 0);
}

TEST(Countdown, ZeroOrNegativeSecondsExpireAfterTheFirstSecond) {
    for (int seconds : {0, -5}) {
        Countdown countdown(seconds);
        countdown.Start();
        const std::vector<TickEvent> events = RunSeconds(countdown, 1);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0], TickEvent::kExpired);
    }
}

TEST(Countdown, AStoppedCountdownKeepsItsLastValue) {
    Countdown countdown(65);
    countdown.Start();
    RunSeconds(countdown, 10);
    countdown.Stop();
    EXPECT_TRUE(RunSeconds(countdown, 100).empty());
    EXPECT_EQ(countdown.remainingSeconds(), 55);
    EXPECT_EQ(countdown.labelText(), u" 55 秒後自動登出");
    EXPECT_EQ(Countdown(10).Tick(), TickEvent::kNone);  // not started
}

TEST(Messages, TheDialogKitsMessagesCarryTheBanksCaption) {
    qorv::testing::RecordingUserInterface ui;
    UserInterfaceMessageSink sink(ui);
    sink.ShowMessage(kMsgTimedOut);
    EXPECT_EQ(ui.messages, std::vector<std::u16string>{u"Qorv銀行|交易時間逾時，請重新執行交易 !"});
}

TEST(Countdown, TheWrittenValueFormsTheTemplateLabel) {
    EXPECT_EQ(CountdownLabel(std::u16string(u" 90 ")), u" 90  秒後自動登出");
}

}  // namespace
}  // namespace qorv::dialogs
