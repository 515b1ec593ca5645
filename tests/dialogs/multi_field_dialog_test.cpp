// The multi-field entry dialog's logic driven event by event: rows and
// layout, keyboard flags, pre-filled values, OK state, the joined and
// enciphered outputs, the card-PIN row, the confirmation text, review mode,
// the countdown, cancel, and documents written to hurt.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "crypto/value_protection.h"
#include "dialogs/multi_field_dialog.h"
#include "fake_decipher.h"
#include "support/recorded_messages.h"

namespace qorv::dialogs {
namespace {

using testing::Encipher;
using testing::HexDecipher;
namespace ec = entry_control;

// The enciphered output is the fake cipher's hex of the joined text.
class FakeEncipher final : public FieldEncipher {
  public:
    bool Encipher(std::u16string_view plain, std::u16string& hex) override {
        ++calls;
        if (fail) {
            hex.clear();
            return false;
        }
        hex = testing::Encipher(plain);
        return true;
    }
    bool fail = false;
    int calls = 0;
};

class FakePinCheck final : public CardPinCheck {
  public:
    int32_t VerifyPin(std::u16string_view pin) override {
        pins.emplace_back(pin);
        return answer;
    }
    int32_t answer = 0;
    std::vector<std::u16string> pins;
};

struct Fixture {
    explicit Fixture(std::optional<std::u16string> document)
        : dialog(std::move(document), {decipher, encipher, pin, messages}) {
        opened = dialog.Open();
    }
    HexDecipher decipher;
    FakeEncipher encipher;
    FakePinCheck pin;
    qorv::testing::RecordedMessages messages;
    MultiFieldDialog dialog;
    std::optional<int> opened;

    // Presses the keys that carry text (fixed key order, KeyOrder 1).
    void Type(std::u16string_view text) {
        for (char16_t c : text) {
            int id = -1;
            if (c >= u'1' && c <= u'9') id = kFirstKeyId + (c - u'1');
            if (c == u'0') id = kFirstKeyId + 9;
            if (c >= u'A' && c <= u'Z') id = kFirstKeyId + 10 + (c - u'A');
            ASSERT_NE(dialog.PressKey(id), KeyOutcome::kIgnored) << "key for " << char(c);
        }
    }
    // Clicks into the middle of the row's field.
    void Click(std::size_t row) {
        const Rect& field = dialog.view().layout.fields[row];
        dialog.ReleaseMouse(field.x + field.width / 2, field.y + field.height / 2);
    }
    struct Results {
        std::u16string confirmation, joined, hex;
        std::size_t length = 0;
    };
    Results Read() const {
        Results r;
        r.length = dialog.ReadResults(r.confirmation, r.joined, r.hex);
        return r;
    }
};

std::u16string Node(std::u16string_view attributes, std::u16string_view content = {}) {
    return u"<AtmNode " + std::u16string(attributes) + u">" + std::u16string(content) +
           u"</AtmNode>";
}

std::u16string Doc(std::u16string_view nodes,
                   std::u16string_view head = u"<KeyOrder>1</KeyOrder>") {
    return std::u16string(head) + std::u16string(nodes);
}

constexpr std::u16string_view kBanks =
    u"004 臺灣銀行%%0040000;;812 Qorv銀行%%8120001;;822 中國信託%%822;;";

TEST(MultiFieldRowLayout, ThreeElementsGiveThreeRowsAndADialogSevenRowHeightsShorter) {
    Fixture f(Doc(Node(u"Name=\"A\" Type=\"0\"", kBanks) +
                  Node(u"Name=\"B\" Type=\"3\" KeyType=\"0\" Default=\"16\"") +
                  Node(u"Name=\"C\" Type=\"5\" KeyType=\"2\" Default=\"20\"")));
    ASSERT_FALSE(f.opened);
    const MultiFieldViewModel& view = f.dialog.view();
    const EntryLayout full = MultiFieldLayout(kMaxEntryRows);
    EXPECT_EQ(view.layout.height, full.height - 7 * kEntryRowHeight);
    EXPECT_EQ(view.layout.ok.y, full.ok.y - 7 * kEntryRowHeight);
    EXPECT_EQ(view.layout.hint.y, full.hint.y - 7 * kEntryRowHeight);
    EXPECT_EQ(view.layout.keypad.y, full.keypad.y - 7 * kEntryRowHeight);
    for (std::size_t i = 3; i < kMaxEntryRows; ++i) {
        for (int control :
             {ec::RowLabel(i), ec::RowSecureField(i), ec::RowDropDown(i), ec::RowEdit(i)}) {
            EXPECT_FALSE(view.IsVisible(control)) << control;
        }
    }
    // Row 0 a drop-down, row 1 the keypad field, row 2 the edit.
    EXPECT_TRUE(view.IsVisible(ec::RowDropDown(0)));
    EXPECT_FALSE(view.IsVisible(ec::RowSecureField(0)));
    EXPECT_TRUE(view.IsVisible(ec::RowSecureField(1)));
    EXPECT_TRUE(view.IsVisible(ec::RowEdit(2)));
    EXPECT_FALSE(view.IsVisible(ec::RowSecureField(2)));
    EXPECT_EQ(view.TextOf(ec::RowLabel(1)), u"B");
}

TEST(MultiFieldRowLayout, LabelsBreakLinesAndEveryRowOfElevenIsCappedAtTen) {
    std::u16string nodes;
    for (int i = 0; i < 11; ++i) nodes += Node(u"Name=\"first%%second\" Type=\"5\" KeyType=\"2\"");
    Fixture f(Doc(nodes));
    EXPECT_EQ(f.dialog.rowCount(), kMaxEntryRows);
    EXPECT_EQ(f.dialog.view().layout.height, MultiFieldLayout(kMaxEntryRows).height);
    EXPECT_EQ(f.dialog.view().TextOf(ec::RowLabel(9)), u"first\r\nsecond");
}

TEST(MultiFieldRows,
     DefaultOnePreselectsTheSecondItemAndOkAppendsTheFirstThreeCharactersOfItsCode) {
    Fixture f(Doc(Node(u"Name=\"轉入銀行\" Type=\"0\" Default=\"1\"", kBanks)));
    const EntryRowView& row = f.dialog.view().rows[0];
    ASSERT_EQ(row.items.size(), 3u);
    EXPECT_EQ(row.items[1], u"812 Qorv銀行");
    EXPECT_EQ(row.selectedIndex, 1);
    EXPECT_EQ(f.dialog.view().hint, kHintDropDown);
    EXPECT_FALSE(f.dialog.view().digitKeysVisible);
    ASSERT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"812||");
    EXPECT_EQ(r.hex, Encipher(u"812||"));
    EXPECT_NE(r.confirmation.find(u"<Tag4>轉入銀行</Tag4> <Tag5>812 Qorv銀行</Tag5> "),
              std::u16string::npos);
}

TEST(MultiFieldRows, AnEncipheredListIsReadAgainOnOkAndAChoiceChangesTheCode) {
    Fixture f(Doc(Node(u"Type=\"0\" Ciph=\"1\" Default=\"0\"", Encipher(kBanks))));
    f.dialog.ChooseListItem(0, 2);
    const int before = f.decipher.calls;
    f.dialog.PressOk();
    EXPECT_EQ(f.decipher.calls, before + 1);
    EXPECT_EQ(f.Read().joined, u"822||");
}

TEST(MultiFieldRows, AnEncipheredListThatFailedWhenReadIsNotReadAgainOnOk) {
    // Odd length, not hexadecimal, empty: one message each when the document
    // is read, none again on OK, and an empty value for each.
    Fixture f(Doc(Node(u"Type=\"0\" Ciph=\"1\"", std::u16string(33, u'A')) +
                  Node(u"Type=\"0\" Ciph=\"1\"", std::u16string(32, u'Z')) +
                  Node(u"Type=\"0\" Ciph=\"1\"") +
                  Node(u"Type=\"0\" Ciph=\"1\" Default=\"1\"", Encipher(kBanks))));
    EXPECT_EQ(f.messages.messages, (std::vector<std::u16string>{
                                       kMsgListDataFailed, kMsgListDataFailed, kMsgNoListData}));
    EXPECT_FALSE(f.dialog.view().rows[0].dropDownEnabled);
    EXPECT_TRUE(f.dialog.view().okEnabled);
    const int before = f.decipher.calls;
    f.dialog.PressOk();
    EXPECT_EQ(f.decipher.calls, before + 1) << "only the list that has data";
    EXPECT_EQ(f.messages.messages.size(), 3u);
    EXPECT_EQ(f.Read().joined, u"||||||812||");
}

TEST(MultiFieldRows, AListWithNothingSelectedAsksForAChoiceBeforeOk) {
    Fixture f(Doc(Node(u"Type=\"1\" Default=\"7\"", kBanks)));
    EXPECT_EQ(f.dialog.view().rows[0].selectedIndex, -1);
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.dialog.ChooseListItem(0, 0);
    EXPECT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    EXPECT_EQ(f.Read().joined, u"004||");
}

TEST(MultiFieldRows, TwoKeypadRowsGiveBothEntriesEachFollowedByTwoBars) {
    Fixture f(Doc(Node(u"Name=\"A\" Type=\"3\" KeyType=\"0\" min=\"4\" Default=\"8\"") +
                  Node(u"Name=\"B\" Type=\"3\" KeyType=\"0\" min=\"4\" Default=\"8\"")));
    EXPECT_EQ(f.dialog.activeRow(), 0u);
    f.Type(u"1234");
    EXPECT_FALSE(f.dialog.view().okEnabled);  // row 1 holds fewer than min
    f.Click(1);
    EXPECT_EQ(f.dialog.activeRow(), 1u);
    f.Type(u"5678");
    EXPECT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"1234||5678||");
    EXPECT_EQ(r.hex, Encipher(u"1234||5678||"));
    EXPECT_EQ(
        r.confirmation,
        u"<MSG> <Tag1>常用轉入帳號 - 新增</Tag1> "
        u"<Tag2>※請核常用帳號資料，並依畫面指示進行操作。</Tag2> "
        u"<Tag3> </Tag3> <Tag4>A</Tag4> <Tag5>1234</Tag5> <Tag6>B</Tag6> <Tag7>5678</Tag7> </MSG>");
    EXPECT_EQ(r.length, r.confirmation.size());
    EXPECT_TRUE(f.pin.pins.empty());
}

TEST(MultiFieldRows, KeysThatTheActiveRowDoesNotShowDoNothing) {
    Fixture f(
        Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"2\"") + Node(u"Type=\"5\" KeyType=\"2\"")));
    EXPECT_EQ(f.dialog.PressKey(kFirstKeyId + 10), KeyOutcome::kIgnored);  // letter "A"
    EXPECT_EQ(f.dialog.PressKey(kEntryCaseKeyId), KeyOutcome::kIgnored);
    f.Type(u"12");
    EXPECT_EQ(f.dialog.PressKey(kFirstKeyId), KeyOutcome::kIgnored);  // full at Default
    f.dialog.FocusRow(1);
    EXPECT_EQ(f.dialog.view().hint, kHintKeyboard);
    EXPECT_EQ(f.dialog.view().focusControl, ec::RowEdit(1));
    EXPECT_EQ(f.dialog.PressKey(kFirstKeyId), KeyOutcome::kIgnored);  // an edit row
    EXPECT_EQ(f.dialog.entryCount(0), 2u);
}

TEST(MultiFieldRows, TheActiveKeypadRowIsHighlightedAndTheOthersAreNot) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\"") +
                  Node(u"Type=\"3\" KeyType=\"1\" Default=\"8\"")));
    EXPECT_EQ(f.dialog.view().rows[0].fieldBackground, kActiveFieldBackground);
    EXPECT_EQ(f.dialog.view().rows[0].fieldText, kActiveFieldText);
    EXPECT_EQ(f.dialog.view().rows[1].fieldBackground, kFieldBackground);
    f.Click(1);
    EXPECT_EQ(f.dialog.view().rows[0].fieldBackground, kFieldBackground);
    EXPECT_EQ(f.dialog.view().rows[0].fieldText, kFieldText);
    EXPECT_EQ(f.dialog.view().rows[1].fieldBackground, kActiveFieldBackground);
}

TEST(MultiFieldRows, AMouseReleaseSelectsOnlyInsideTheRowsBand) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\"") + Node(u"Type=\"3\" KeyType=\"0\"")));
    const Rect field = f.dialog.view().layout.fields[1];
    f.dialog.ReleaseMouse(field.x + 5, field.y);  // the top line itself
    EXPECT_EQ(f.dialog.activeRow(), 0u);
    f.dialog.ReleaseMouse(kRowSelectLeft - 1, field.y + 5);
    EXPECT_EQ(f.dialog.activeRow(), 0u);
    f.dialog.ReleaseMouse(field.right() + 1, field.y + 5);
    EXPECT_EQ(f.dialog.activeRow(), 0u);
    f.dialog.ReleaseMouse(field.x + 5, field.bottom() - 2);
    EXPECT_EQ(f.dialog.activeRow(), 0u);
    f.dialog.ReleaseMouse(kRowSelectLeft, field.y + 1);  // over the label, inside the band
    EXPECT_EQ(f.dialog.activeRow(), 1u);
    f.dialog.ReleaseMouse(field.right(), f.dialog.view().layout.fields[0].bottom() - 3);
    EXPECT_EQ(f.dialog.activeRow(), 0u);
}

TEST(MultiFieldKeyboardFlags, RowZeroUsesTheKeypadUnlessItsKeyTypeIsTwoFiveOrSix) {
    struct Case {
        const char16_t* keyType;
        int flag;
        RowSource source;
    };
    for (const Case& c : {Case{u"0", 1, RowSource::kDigitsKeypad}, Case{u"2", 0, RowSource::kEdit},
                          Case{u"3", 1, RowSource::kDigitsKeypad}, Case{u"5", 0, RowSource::kEdit},
                          Case{u"6", 0, RowSource::kEdit}, Case{u"7", 1, RowSource::kLettersKeypad},
                          Case{u"8", 1, RowSource::kLettersKeypad}}) {
        Fixture f(Doc(Node(u"Type=\"7\" KeyType=\"" + std::u16string(c.keyType) + u"\"")));
        EXPECT_EQ(f.dialog.keyboardFlag(0), c.flag) << char(c.keyType[0]);
        EXPECT_EQ(SourceOf(f.dialog.document().rows[0]), c.source) << char(c.keyType[0]);
    }
}

TEST(MultiFieldKeyboardFlags, ALettersKeypadRowAfterRowZeroTakesInput) {
    Fixture f(
        Doc(Node(u"Type=\"5\" KeyType=\"2\"") + Node(u"Type=\"4\" KeyType=\"7\" Default=\"10\"")));
    EXPECT_EQ(f.dialog.keyboardFlag(1), 1);
    f.Click(1);
    EXPECT_EQ(f.dialog.view().hint, kHintKeypad);
    EXPECT_TRUE(f.dialog.view().letterKeysVisible);
    EXPECT_FALSE(f.dialog.view().radiosVisible);
    f.Type(u"AB12");
    EXPECT_EQ(f.dialog.entryCount(1), 4u);
    f.dialog.PressOk();
    EXPECT_EQ(f.Read().joined, u"||AB12;;");
}

TEST(MultiFieldKeyboardFlags, TheRadiosShowForSwitchableRowsAndMoveTheEntryBetweenKeypadAndEdit) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"4\" Default=\"8\"") +
                  Node(u"Type=\"4\" KeyType=\"4\"") + Node(u"Type=\"7\" KeyType=\"5\"")));
    const MultiFieldViewModel& view = f.dialog.view();
    EXPECT_TRUE(view.radiosVisible);
    EXPECT_FALSE(view.keyboardChecked);
    f.Type(u"12");
    f.dialog.UseKeyboard(true);
    EXPECT_EQ(f.dialog.keyboardFlag(0), 0);
    EXPECT_EQ(f.dialog.entryCount(0), 0u);  // the keypad entry is cleared
    EXPECT_TRUE(view.IsVisible(ec::RowEdit(0)));
    EXPECT_FALSE(view.IsVisible(ec::RowSecureField(0)));
    EXPECT_FALSE(view.digitKeysVisible);
    EXPECT_EQ(view.hint, kHintKeyboard);
    EXPECT_EQ(view.focusControl, ec::RowEdit(0));
    EXPECT_TRUE(view.keyboardChecked);
    f.dialog.SetEditText(0, u"345");
    f.dialog.UseKeyboard(false);
    EXPECT_EQ(f.dialog.editText(0), u"");  // the edit is emptied
    EXPECT_TRUE(view.IsVisible(ec::RowSecureField(0)));
    EXPECT_TRUE(view.digitKeysVisible);
    f.Click(1);  // Type 4: no choice offered
    EXPECT_FALSE(view.radiosVisible);
    f.dialog.UseKeyboard(true);
    EXPECT_EQ(f.dialog.keyboardFlag(1), 1);
    f.Click(2);  // Type 7, KeyType 5: keyboard first, choice offered
    EXPECT_TRUE(view.radiosVisible);
    EXPECT_TRUE(view.keyboardChecked);
}

TEST(MultiFieldOkState, RowsNeedTheirMinimumFromKeypadOrEdit) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" min=\"2\" Default=\"4\"") +
                  Node(u"Type=\"5\" KeyType=\"2\" min=\"3\" Default=\"5\"")));
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.Type(u"12");
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.dialog.SetEditText(1, u"ab");
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.dialog.SetEditText(1, u"abc");
    EXPECT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressKey(kEntryCorrectionKeyId);
    EXPECT_FALSE(f.dialog.view().okEnabled);
    f.dialog.PressOk();  // disabled: nothing happens
    EXPECT_FALSE(f.dialog.outcome());
    EXPECT_TRUE(f.dialog.countdownRunning());
    f.Type(u"9");
    f.dialog.PressKey(kEntryClearKeyId);
    EXPECT_EQ(f.dialog.entryCount(0), 0u);
    EXPECT_FALSE(f.dialog.view().okEnabled);
}

TEST(MultiFieldOkState, EditsKeepAtMostTheirLimitAndALimitOfZeroMeansWhatOkReads) {
    Fixture f(
        Doc(Node(u"Type=\"5\" KeyType=\"2\" Default=\"4\"") + Node(u"Type=\"5\" KeyType=\"2\"")));
    EXPECT_EQ(f.dialog.view().rows[0].editMaxLength, 4);
    EXPECT_EQ(f.dialog.view().rows[1].editMaxLength, static_cast<int>(kMaxEditText));
    f.dialog.SetEditText(0, u"abcdef");
    EXPECT_EQ(f.dialog.editText(0), u"abcd");
}

TEST(MultiFieldOk, WithAnEmptyKeypadRowStopsTheCountdownAndKeepsTheLabel) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\""),
                  u"<KeyOrder>1</KeyOrder><TimeOut>61</TimeOut>"));
    for (int i = 0; i < kTicksPerSecond; ++i) f.dialog.Tick();
    ASSERT_TRUE(f.dialog.view().countdownVisible);
    const std::u16string label = f.dialog.view().countdown;
    EXPECT_EQ(label, u" 60 秒後自動登出");
    ASSERT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    EXPECT_FALSE(f.dialog.outcome());
    EXPECT_FALSE(f.dialog.countdownRunning());
    ASSERT_EQ(f.messages.messages.size(), 1u);
    EXPECT_EQ(f.messages.messages[0], u"請輸入第 1 項資料");
    for (int i = 0; i < 100 * kTicksPerSecond; ++i) f.dialog.Tick();
    EXPECT_EQ(f.dialog.view().countdown, label);
    EXPECT_FALSE(f.dialog.outcome());
    // The customer can still finish.
    f.Type(u"1");
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
}

TEST(MultiFieldOk, TheJoinedOutputUsesBarsAndSemicolonsAsEachRowKindAsks) {
    const std::u16string longText(200, u'x');
    Fixture f(Doc(Node(u"Type=\"0\"", kBanks) +
                  Node(u"Type=\"3\" KeyType=\"3\" Default=\"4\"", u"12") +
                  Node(u"Type=\"5\" KeyType=\"2\"", u"note") +
                  Node(u"Type=\"4\" KeyType=\"8\" Default=\"5\"", u"AB") +
                  Node(u"Type=\"5\" KeyType=\"5\"")));
    f.dialog.PressOk();
    EXPECT_EQ(f.Read().joined, u"004||12||note||AB;;||");
}

TEST(MultiFieldCardPin, ATypeSixRowAddsNothingToTheJoinedOutputButIsVerified) {
    Fixture f(Doc(Node(u"Name=\"帳號\" Type=\"3\" KeyType=\"0\" Default=\"8\"") +
                  Node(u"Name=\"密碼\" Type=\"6\" KeyType=\"7\" min=\"6\" Default=\"12\"")));
    f.Type(u"1234");
    f.Click(1);
    EXPECT_EQ(f.dialog.view().rows[1].field.mode, kModePlainCells);  // empty yet
    f.Type(u"123456");
    EXPECT_EQ(f.dialog.view().rows[1].field.text, u"******");
    EXPECT_EQ(f.dialog.view().rows[1].field.mode, kModeAsterisks);
    f.pin.answer = 0x9000;  // the card's success status counts as success
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
    ASSERT_EQ(f.pin.pins.size(), 1u);
    EXPECT_EQ(f.pin.pins[0], u"123456");
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"1234||");
    EXPECT_EQ(r.confirmation.find(u"密碼"), std::u16string::npos);
    EXPECT_EQ(r.confirmation.find(u"123456"), std::u16string::npos);
}

TEST(MultiFieldCardPin, APinOnTheDigitsKeypadOrInAnEditLeavesAnEmptyFieldInItsPlace) {
    for (const char16_t* keyType : {u"0", u"2"}) {
        Fixture f(
            Doc(Node(u"Type=\"6\" KeyType=\"" + std::u16string(keyType) + u"\" Default=\"12\"") +
                Node(u"Type=\"5\" KeyType=\"2\"", u"note")));
        EXPECT_EQ(f.dialog.view().rows[0].editSecret, true);
        if (keyType[0] == u'0')
            f.Type(u"654321");
        else
            f.dialog.SetEditText(0, u"654321");
        f.dialog.PressOk();
        EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
        EXPECT_EQ(f.pin.pins, std::vector<std::u16string>{u"654321"});
        // The note stays the second field, as the bank reads it.
        EXPECT_EQ(f.Read().joined, u"||note||");
    }
}

TEST(MultiFieldCardPin, ARefusedPinEndsWithOneHundredFiveAndNoResults) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\"", u"42") +
                  Node(u"Type=\"6\" KeyType=\"7\" Default=\"12\"") +
                  Node(u"Type=\"6\" KeyType=\"7\" Default=\"12\"")));
    f.Click(1);
    f.Type(u"111111");
    f.Click(2);
    f.Type(u"222222");
    f.pin.answer = 20485;
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomePinRefused);
    EXPECT_EQ(f.pin.pins, std::vector<std::u16string>{u"111111"});  // only the first is checked
    const auto r = f.Read();
    EXPECT_EQ(r.length, 0u);
    EXPECT_TRUE(r.joined.empty());
    EXPECT_TRUE(r.hex.empty());
    EXPECT_EQ(f.encipher.calls, 0);
    EXPECT_EQ(f.dialog.entryCount(1), 0u);
}

TEST(MultiFieldCardPin, AnEmptyPinRowAsksForItsItemInsteadOfGoingToTheCard) {
    Fixture f(Doc(Node(u"Type=\"6\" KeyType=\"2\" Default=\"12\"")));
    ASSERT_TRUE(f.dialog.view().okEnabled);  // min 0
    f.dialog.PressOk();
    EXPECT_FALSE(f.dialog.outcome());
    EXPECT_TRUE(f.pin.pins.empty());
    EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{u"請輸入第 1 項資料"});
}

TEST(MultiFieldConfirmation, SecretRowsAreLeftOutAndTheOthersNumberedOnFromTag4) {
    Fixture f(Doc(Node(u"Name=\"N1\" Type=\"7\" KeyType=\"7\" Default=\"4\"", u"AB") +
                      Node(u"Name=\"N2\" Type=\"5\" KeyType=\"2\"", u"two") +
                      Node(u"Name=\"N3\" Type=\"6\" KeyType=\"7\" Default=\"6\"", u"123456") +
                      Node(u"Name=\"N4\" Type=\"3\" KeyType=\"1\" Default=\"6\"", u"44"),
                  u"<KeyOrder>1</KeyOrder><Title>新增</Title>"));
    f.dialog.PressOk();
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"AB;;two||44||");
    EXPECT_EQ(r.confirmation,
              u"<MSG> <Tag1>新增</Tag1> <Tag2>※請核常用帳號資料，並依畫面指示進行操作。</Tag2> "
              u"<Tag3> </Tag3> "
              u"<Tag4>N2</Tag4> <Tag5>two</Tag5> <Tag6>N4</Tag6> <Tag7>44</Tag7> </MSG>");
}

TEST(MultiFieldConfirmation, LongRowsStayWithinTheCallersBufferWithWholeTags) {
    const std::u16string name(63, u'名');
    const std::u16string value(127, u'v');
    std::vector<ConfirmationRow> rows(10, ConfirmationRow{name, value});
    const std::u16string text = BuildConfirmationText(std::u16string(63, u't'), rows);
    EXPECT_LE(text.size(), kMaxConfirmationText);
    EXPECT_TRUE(text.ends_with(u"</MSG>"));
    // Whole pairs only, the first ones in order.
    std::size_t opens = 0;
    std::size_t closes = 0;
    for (std::size_t at = 0; (at = text.find(u"<Tag", at)) != std::u16string::npos; ++at) ++opens;
    for (std::size_t at = 0; (at = text.find(u"</Tag", at)) != std::u16string::npos; ++at) ++closes;
    EXPECT_EQ(opens, closes);
    EXPECT_GT(opens, 3u + 2 * 4);
    EXPECT_EQ(opens % 2, 1u);  // Tag1-3 and whole pairs
    EXPECT_NE(text.find(u"<Tag4>"), std::u16string::npos);
    // A limit that leaves room for the header alone gives no pairs.
    const std::u16string bare = BuildConfirmationText(u"t", rows, 120);
    EXPECT_EQ(bare.find(u"<Tag4>"), std::u16string::npos);
    EXPECT_TRUE(bare.ends_with(u"</MSG>"));
}

TEST(MultiFieldReview, OkIsEnabledAtOnceAndOnlySecretRowsTakeInput) {
    Fixture f(Doc(
        Node(u"Name=\"銀行\" Type=\"0\" Default=\"3\"", u"812 Qorv銀行") +
            Node(u"Name=\"帳號\" Type=\"3\" KeyType=\"3\" Default=\"16\"", u"0058100098765432") +
            Node(u"Name=\"暱稱\" Type=\"5\" KeyType=\"2\" Default=\"20\"", u"房東") +
            Node(u"Name=\"密碼\" Type=\"6\" KeyType=\"7\" min=\"6\" Default=\"12\""),
        u"<FunType>2</FunType><KeyOrder>1</KeyOrder>"));
    const MultiFieldViewModel& view = f.dialog.view();
    EXPECT_TRUE(view.okEnabled);
    EXPECT_EQ(f.dialog.activeRow(), 3u);
    EXPECT_EQ(view.hint, kHintKeypad);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(view.IsVisible(ec::RowDropDown(i)));
        EXPECT_FALSE(view.IsVisible(ec::RowEdit(i)));
        EXPECT_TRUE(view.IsVisible(ec::RowSecureField(i)));
        EXPECT_FALSE(view.IsEnabled(ec::RowSecureField(i)));
        EXPECT_EQ(view.rows[i].fieldBackground, kReviewFieldBackground);
        EXPECT_FALSE(view.rows[i].field.text.empty());  // the bank's value is shown
    }
    EXPECT_EQ(view.rows[2].field.mode, kModeScrambledText);
    f.Click(0);
    f.dialog.FocusRow(2);
    f.dialog.SetEditText(2, u"changed");
    EXPECT_EQ(f.dialog.activeRow(), 3u);
    EXPECT_EQ(f.dialog.editText(2), u"房東");
    f.Type(u"123456");
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(f.pin.pins, std::vector<std::u16string>{u"123456"});
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"812||0058100098765432||房東||");
    EXPECT_NE(r.confirmation.find(u"<Tag4>銀行</Tag4> <Tag5>812</Tag5>"), std::u16string::npos);
}

TEST(MultiFieldReview, WithoutSecretRowsNothingIsActiveAndOkStillWorks) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\"", u"77"), u"<FunType>2</FunType>"));
    EXPECT_FALSE(f.dialog.activeRow());
    EXPECT_TRUE(f.dialog.view().hint.empty());
    EXPECT_FALSE(f.dialog.view().digitKeysVisible);
    EXPECT_EQ(f.dialog.PressKey(kFirstKeyId), KeyOutcome::kIgnored);
    f.dialog.PressOk();
    EXPECT_EQ(f.Read().joined, u"77||");
}

TEST(MultiFieldPrefill, PlainAndEncipheredValuesFillTheirRows) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\"", u"1234") +
                  Node(u"Type=\"4\" KeyType=\"7\" Ciph=\"1\" Default=\"8\"", Encipher(u"AB12")) +
                  Node(u"Type=\"5\" KeyType=\"2\" Ciph=\"1\"", Encipher(u"text"))));
    EXPECT_TRUE(f.messages.messages.empty());
    EXPECT_EQ(f.dialog.entryCount(0), 4u);
    EXPECT_EQ(f.dialog.entryCount(1), 4u);
    EXPECT_EQ(f.dialog.editText(2), u"text");
    EXPECT_FALSE(f.dialog.view().rows[0].field.text.empty());
    EXPECT_EQ(f.dialog.view().rows[0].field.mode, kModeCells);
    EXPECT_TRUE(f.dialog.document().rows[1].prefill.empty());  // the written form is gone
    f.dialog.PressOk();
    EXPECT_EQ(f.Read().joined, u"1234||AB12;;text||");
}

TEST(MultiFieldPrefill, TheFirstBadValueIsReportedAndItAndEveryLaterRowKeepNone) {
    for (const std::u16string& bad :
         {Node(u"Type=\"3\" KeyType=\"2\"", u"12a"), Node(u"Type=\"4\" KeyType=\"2\"", u"ab-1"),
          Node(u"Type=\"3\" KeyType=\"3\" Ciph=\"1\"", Encipher(u"12a")),
          Node(u"Type=\"5\" KeyType=\"7\"", u"中文")}) {
        Fixture f(Doc(Node(u"Type=\"5\" KeyType=\"2\"", u"first") + bad +
                      Node(u"Type=\"5\" KeyType=\"2\"", u"third")));
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{u"第2項之預設值錯誤,忽略"});
        EXPECT_EQ(f.dialog.editText(0), u"first");
        EXPECT_EQ(f.dialog.editText(1), u"");
        EXPECT_EQ(f.dialog.entryCount(1), 0u);
        EXPECT_EQ(f.dialog.editText(2), u"");
    }
}

TEST(MultiFieldPrefill, AnEncipheredValueThatDoesNotDecipherIsDroppedWhenTheDocumentIsRead) {
    for (const char16_t* content : {u"ABC", u"FFFF000000000000"}) {
        Fixture f(Doc(Node(u"Type=\"5\" KeyType=\"2\" Ciph=\"1\"", content) +
                      Node(u"Type=\"5\" KeyType=\"2\"", u"second")));
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgListDataFailed});
        EXPECT_EQ(f.dialog.editText(0), u"");
        EXPECT_EQ(f.dialog.editText(1), u"second");
    }
}

TEST(MultiFieldPrefill, AKeypadRowTakes48CharactersAndRefusesMore) {
    Fixture ok(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"48\"", std::u16string(48, u'9'))));
    EXPECT_TRUE(ok.messages.messages.empty());
    EXPECT_EQ(ok.dialog.entryCount(0), 48u);
    Fixture over(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"48\"", std::u16string(49, u'9'))));
    EXPECT_EQ(over.messages.messages, std::vector<std::u16string>{u"第1項之預設值錯誤,忽略"});
    EXPECT_EQ(over.dialog.entryCount(0), 0u);
}

TEST(MultiFieldPrefill, AValueLongerThanItsRowsGreatestLengthIsRefusedNotCut) {
    // At the row's length the value is taken; one more character is refused
    // (an edit would show it cut while OK sent it whole), and no later row
    // takes its value either.
    const std::u16string keypad = u"Type=\"3\" KeyType=\"0\" Default=\"16\"";
    const std::u16string edit = u"Type=\"5\" KeyType=\"2\" Default=\"20\"";
    Fixture fits(
        Doc(Node(keypad, std::u16string(16, u'1')) + Node(edit, std::u16string(20, u'a'))));
    EXPECT_TRUE(fits.messages.messages.empty());
    EXPECT_EQ(fits.dialog.entryCount(0), 16u);
    EXPECT_EQ(fits.dialog.editText(1), std::u16string(20, u'a'));

    Fixture longKeypad(
        Doc(Node(keypad, std::u16string(17, u'1')) + Node(edit, std::u16string(20, u'a'))));
    EXPECT_EQ(longKeypad.messages.messages, std::vector<std::u16string>{u"第1項之預設值錯誤,忽略"});
    EXPECT_EQ(longKeypad.dialog.entryCount(0), 0u);
    EXPECT_EQ(longKeypad.dialog.editText(1), u"");

    Fixture longEdit(Doc(Node(keypad, u"1") + Node(edit, std::u16string(21, u'a'))));
    EXPECT_EQ(longEdit.messages.messages, std::vector<std::u16string>{u"第2項之預設值錯誤,忽略"});
    EXPECT_EQ(longEdit.dialog.entryCount(0), 1u);
    EXPECT_EQ(longEdit.dialog.editText(1), u"");
    EXPECT_EQ(longEdit.dialog.view().rows[1].editMaxLength, 20);

    // Without a greatest length the row's room bounds the value.
    Fixture open(Doc(Node(u"Type=\"5\" KeyType=\"2\"", std::u16string(127, u'a'))));
    EXPECT_TRUE(open.messages.messages.empty());
    EXPECT_EQ(open.dialog.editText(0).size(), 127u);
}

TEST(MultiFieldEnding, CancelWipesEverythingAndYieldsNoResults) {
    Fixture f(Doc(Node(u"Type=\"3\" KeyType=\"0\" Default=\"8\"", u"1234") +
                  Node(u"Type=\"5\" KeyType=\"2\"", u"typed")));
    f.dialog.PressCancel();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    EXPECT_FALSE(f.dialog.countdownRunning());
    EXPECT_EQ(f.dialog.entryCount(0), 0u);
    EXPECT_EQ(f.dialog.editText(1), u"");
    EXPECT_TRUE(f.dialog.view().rows[0].field.text.empty());
    const auto r = f.Read();
    EXPECT_EQ(r.length, 0u);
    EXPECT_TRUE(r.confirmation.empty() && r.joined.empty() && r.hex.empty());
    // Nothing after the end changes it.
    f.dialog.PressOk();
    f.dialog.PressKey(kFirstKeyId);
    EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
}

TEST(MultiFieldEnding, TheCountdownRunsOutWithItsMessageAsACancel) {
    Fixture f(Doc(Node(u"Type=\"5\" KeyType=\"2\"", u"x"), u"<TimeOut>3</TimeOut>"));
    EXPECT_EQ(f.dialog.view().countdown, u"3 秒後自動登出");
    EXPECT_FALSE(f.dialog.view().countdownVisible);
    for (int i = 0; i < 3 * kTicksPerSecond - 1; ++i) f.dialog.Tick();
    EXPECT_FALSE(f.dialog.outcome());
    EXPECT_TRUE(f.dialog.view().countdownVisible);
    f.dialog.Tick();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgTimedOut});
    EXPECT_EQ(f.dialog.editText(0), u"");
}

TEST(MultiFieldEnding, AMissingDocumentEndsAtOnceAsCancelled) {
    for (const std::optional<std::u16string>& doc :
         {std::optional<std::u16string>(), std::optional<std::u16string>(u"")}) {
        Fixture f(doc);
        EXPECT_EQ(f.opened, kOutcomeCancelled);
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgCheckDocument});
    }
}

TEST(MultiFieldEnding, AFailedCipherKeepsTheClearResultsAndSaysSo) {
    Fixture f(Doc(Node(u"Type=\"5\" KeyType=\"2\"", u"abc")));
    f.encipher.fail = true;
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgCipherFailed});
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"abc||");
    EXPECT_TRUE(r.hex.empty());
    EXPECT_FALSE(r.confirmation.empty());
}

TEST(MultiFieldHostile, LargeAndBrokenDocumentsEndInBoundedTimeWithClearMessages) {
    const auto start = std::chrono::steady_clock::now();
    std::u16string list;
    while (list.size() + 12 <= 4999) list += u"abcdefg%%123;;";
    std::u16string tenLists;
    for (int i = 0; i < 10; ++i) tenLists += Node(u"Type=\"0\" Default=\"0\"", list);
    {
        Fixture f(Doc(tenLists));
        ASSERT_FALSE(f.opened);
        EXPECT_TRUE(f.messages.messages.empty());
        EXPECT_EQ(f.dialog.view().rows[9].items.size(), list.size() / 14);
        f.dialog.PressOk();
        EXPECT_EQ(f.Read().joined.size(), 50u);
    }
    {
        // Longer lists than the dialog takes are refused, not cut.
        Fixture f(Doc(Node(u"Type=\"0\"", list + list)));
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgListDataFailed});
        EXPECT_FALSE(f.dialog.view().rows[0].dropDownEnabled);
    }
    {
        std::u16string rows;
        for (int i = 0; i < 10; ++i)
            rows += Node(u"Type=\"4\" KeyType=\"7\" Default=\"48\"", std::u16string(48, u'Z'));
        Fixture f(Doc(rows));
        EXPECT_TRUE(f.messages.messages.empty());
        f.dialog.PressOk();
        EXPECT_EQ(f.Read().joined.size(), 10u * 50u);
    }
    {
        Fixture f(Doc(Node(u"Type=\"5\" KeyType=\"7\" Ciph=\"1\"", u"ABCDEF0123456789A")));
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgListDataFailed});
        EXPECT_EQ(f.dialog.entryCount(0), 0u);
    }
    for (const char16_t* broken :
         {u"<AtmNode Type=\"0\">a%%1;;", u"<AtmNode Name=\"x", u"<AtmNode",
          u"<AtmNode Type=\"3\" KeyType=\"0\">12</AtmNo",
          u"<FunType>2<AtmNode Type=\"6\" KeyType=\"7\"/>", u"</AtmNode><AtmNode/>"}) {
        Fixture f(Doc(broken));
        EXPECT_FALSE(f.opened);
        f.dialog.PressCancel();
        EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

std::u16string LoadDocument(const char* name) {
    std::ifstream in(std::string(QORV_DOCUMENTS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return Utf8ToUtf16(text.str());
}

TEST(MultiFieldWorkedDocument, TheBanksCommonAccountFormGivesTheValuesItsBankReads) {
    const std::u16string document = LoadDocument("common-account.xml");
    ASSERT_FALSE(document.empty());
    Fixture f(document);
    ASSERT_FALSE(f.opened);
    ASSERT_EQ(f.dialog.rowCount(), 4u);
    EXPECT_EQ(f.dialog.view().caption, u"Qorv銀行 網路ATM");
    EXPECT_EQ(f.dialog.view().rows[0].selectedIndex, 1);
    EXPECT_EQ(f.dialog.entryCount(1), 16u);
    EXPECT_EQ(f.dialog.editText(2), u"房東 Chen");
    EXPECT_FALSE(f.dialog.view().okEnabled);  // the PIN needs 6 characters
    f.Click(3);
    ASSERT_EQ(f.dialog.activeRow(), 3u);
    // The key order is random here: find the keys by their captions.
    std::vector<std::u16string> captions;
    ASSERT_EQ(f.dialog.keypad().ScrambledCaptions(captions), 0);
    for (char16_t digit : std::u16string(u"246810")) {
        int id = -1;
        for (std::size_t k = 0; k < kDigitKeys; ++k) {
            std::vector<uint8_t> bytes;
            ASSERT_EQ(crypto::UnscrambleDisplayText(captions[k], f.dialog.keypad().captionOffset(k),
                                                    bytes),
                      0);
            if (bytes.size() >= 1 && bytes[0] == digit) id = kFirstKeyId + static_cast<int>(k);
        }
        ASSERT_NE(f.dialog.PressKey(id), KeyOutcome::kIgnored);
    }
    EXPECT_TRUE(f.dialog.view().okEnabled);
    f.dialog.PressOk();
    EXPECT_EQ(f.pin.pins, std::vector<std::u16string>{u"246810"});
    const auto r = f.Read();
    EXPECT_EQ(r.joined, u"812||0058100098765432||房東 Chen||");
    EXPECT_NE(r.confirmation.find(u"<Tag8>帳號暱稱</Tag8> <Tag9>房東 Chen</Tag9> </MSG>"),
              std::u16string::npos);
}

}  // namespace
}  // namespace qorv::dialogs
