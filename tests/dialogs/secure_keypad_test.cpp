// The keypad's key order, the protected entry slots and the field display.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/secure_keypad.h"

namespace qorv::dialogs {
namespace {

// The character a key's scrambled caption shows.
char16_t CaptionCharacter(const SecureKeypad& keypad, const std::vector<std::u16string>& captions,
                          std::size_t position) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(
        crypto::UnscrambleDisplayText(captions.at(position), keypad.captionOffset(position), bytes),
        crypto::kDesOk);
    const std::u16string text = crypto::BytesToUtf16(bytes);
    EXPECT_EQ(text.size(), 1u);
    return text.empty() ? 0 : text[0];
}

std::u16string Unscrambled(const SecureKeypad& keypad, const FieldDisplay& display) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(crypto::UnscrambleDisplayText(display.text, keypad.displayOffset(), bytes),
              crypto::kDesOk);
    return crypto::BytesToUtf16(bytes);
}

std::u16string Entry(const SecureKeypad& keypad, const EntryField& field) {
    std::u16string text;
    EXPECT_EQ(keypad.Read(field, text), crypto::kDesOk);
    return text;
}

TEST(KeyOrder, FixedOrderPutsOneOnTheFirstKeyAndZeroOnTheTenth) {
    for (int selector : {1, 4, 6}) {
        SecureKeypad keypad(KeypadKind::kEntry);
        ASSERT_EQ(keypad.Open(selector), 0);
        std::vector<std::u16string> captions;
        ASSERT_EQ(keypad.ScrambledCaptions(captions), 0);
        ASSERT_EQ(captions.size(), 36u);
        EXPECT_EQ(CaptionCharacter(keypad, captions, 0), u'1');
        EXPECT_EQ(CaptionCharacter(keypad, captions, 9), u'0');
        EXPECT_EQ(CaptionCharacter(keypad, captions, 10), u'A');
        EXPECT_EQ(CaptionCharacter(keypad, captions, 35), u'Z');

        EntryField field;
        field.setMaxLength(10);
        FieldDisplay display;
        EXPECT_EQ(keypad.PressKey(field, 1042, display), KeyOutcome::kEntryChanged);
        EXPECT_EQ(keypad.PressKey(field, 1051, display), KeyOutcome::kEntryChanged);
        EXPECT_EQ(Entry(keypad, field), u"10");
    }
}

TEST(KeyOrder, RandomOrderGivesDistinctDigitsAndLettersThatVary) {
    std::set<std::u16string> orders;
    for (int round = 0; round < 8; ++round) {
        SecureKeypad keypad(KeypadKind::kEntry);
        ASSERT_EQ(keypad.Open(0), 0);
        std::vector<std::u16string> captions;
        ASSERT_EQ(keypad.ScrambledCaptions(captions), 0);
        std::u16string digits;
        std::u16string letters;
        for (std::size_t k = 0; k < 10; ++k) digits += CaptionCharacter(keypad, captions, k);
        for (std::size_t k = 10; k < 36; ++k) letters += CaptionCharacter(keypad, captions, k);
        std::u16string sortedDigits = digits;
        std::sort(sortedDigits.begin(), sortedDigits.end());
        EXPECT_EQ(sortedDigits, u"0123456789");
        std::u16string sortedLetters = letters;
        std::sort(sortedLetters.begin(), sortedLetters.end());
        EXPECT_EQ(sortedLetters, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        orders.insert(digits + letters);
    }
    EXPECT_GT(orders.size(), 1u);
}

TEST(KeyOrder, EveryKeyEntersTheCharacterItsCaptionShows) {
    for (KeypadKind kind : {KeypadKind::kEntry, KeypadKind::kTransfer}) {
        SecureKeypad keypad(kind);
        ASSERT_EQ(keypad.Open(0), 0);
        std::vector<std::u16string> captions;
        ASSERT_EQ(keypad.ScrambledCaptions(captions), 0);
        EntryField field;
        field.setMaxLength(48);
        std::u16string expected;
        FieldDisplay display;
        for (std::size_t k = 0; k < keypad.keyCount(); ++k) {
            expected += CaptionCharacter(keypad, captions, k);
            ASSERT_EQ(keypad.Press(field, k, display), KeyOutcome::kEntryChanged);
        }
        EXPECT_EQ(Entry(keypad, field), expected);
        EXPECT_EQ(Unscrambled(keypad, display), expected);
    }
}

TEST(KeyOrder, CaptionsUseEachKeysOwnOffset) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(1), 0);
    std::set<uint32_t> offsets;
    for (std::size_t k = 0; k < 36; ++k) {
        EXPECT_LE(keypad.captionOffset(k), 31u);
        offsets.insert(keypad.captionOffset(k));
    }
    EXPECT_GT(offsets.size(), 1u);
}

TEST(KeyOrder, TheTransferPadHasOnlyDigitsAndItsOwnFunctionKeys) {
    SecureKeypad keypad(KeypadKind::kTransfer);
    ASSERT_EQ(keypad.Open(1), 0);
    EntryField field;
    field.setMaxLength(16);
    FieldDisplay display;
    EXPECT_EQ(keypad.PressKey(field, 1052, display), KeyOutcome::kIgnored);  // correction, empty
    EXPECT_EQ(keypad.PressKey(field, 1045, display), KeyOutcome::kEntryChanged);
    EXPECT_EQ(keypad.PressKey(field, 1080, display), KeyOutcome::kIgnored);
    EXPECT_EQ(keypad.Press(field, 10, display), KeyOutcome::kIgnored);
    EXPECT_EQ(Entry(keypad, field), u"4");
    EXPECT_EQ(keypad.PressKey(field, 1053, display), KeyOutcome::kEntryChanged);
    EXPECT_EQ(field.count(), 0u);
}

TEST(Entry, AFullFieldAndAZeroLengthFieldTakeNoKey) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(1), 0);
    EntryField field;
    field.setMaxLength(3);
    FieldDisplay display;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(keypad.Press(field, 2, display), KeyOutcome::kEntryChanged);
    const std::u16string shown = display.text;
    EXPECT_EQ(keypad.Press(field, 2, display), KeyOutcome::kIgnored);
    EXPECT_EQ(display.text, shown);
    EXPECT_EQ(Entry(keypad, field), u"333");

    EntryField none;
    EXPECT_EQ(keypad.Press(none, 0, display), KeyOutcome::kIgnored);
    EXPECT_EQ(none.count(), 0u);

    EntryField huge;
    huge.setMaxLength(500);
    EXPECT_EQ(huge.maxLength(), kEntrySlots);
    for (std::size_t i = 0; i < kEntrySlots + 2; ++i) keypad.Press(huge, 0, display);
    EXPECT_EQ(huge.count(), kEntrySlots);
}

TEST(Entry, CorrectionDropsTheLastCharacterAndDoesNothingWhenEmpty) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(1), 0);
    EntryField field;
    field.setMaxLength(8);
    FieldDisplay display;
    EXPECT_EQ(keypad.Correct(field, display), KeyOutcome::kIgnored);
    keypad.Press(field, 0, display);
    keypad.Press(field, 1, display);
    EXPECT_EQ(keypad.PressKey(field, kEntryCorrectionKeyId, display), KeyOutcome::kEntryChanged);
    EXPECT_EQ(Entry(keypad, field), u"1");
    EXPECT_EQ(Unscrambled(keypad, display), u"1");
    keypad.Press(field, 2, display);
    EXPECT_EQ(Entry(keypad, field), u"13");
}

TEST(Entry, LowerCaseEntersAndShowsTheLowerCaseLetter) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(1), 0);
    EntryField field;
    field.setMaxLength(8);
    FieldDisplay display;
    const std::size_t q = 10 + (u'Q' - u'A');
    keypad.Press(field, q, display);
    EXPECT_EQ(keypad.PressKey(field, kEntryCaseKeyId, display), KeyOutcome::kCaptionsChanged);
    EXPECT_TRUE(keypad.lowerCase());
    std::vector<std::u16string> captions;
    ASSERT_EQ(keypad.ScrambledCaptions(captions), 0);
    EXPECT_EQ(CaptionCharacter(keypad, captions, q), u'q');
    EXPECT_EQ(CaptionCharacter(keypad, captions, 0), u'1');  // digits unchanged
    keypad.Press(field, q, display);
    keypad.ToggleCase();
    keypad.Press(field, q, display);
    EXPECT_EQ(Entry(keypad, field), u"QqQ");
}

TEST(Entry, ClearEmptiesAndRefillsTheSlots) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(0), 0);
    EntryField field;
    field.setMaxLength(8);
    FieldDisplay display;
    keypad.Press(field, 0, display);
    keypad.Clear(field, display);
    EXPECT_EQ(field.count(), 0u);
    EXPECT_TRUE(display.text.empty());
    EXPECT_EQ(display.length, 0u);
    EXPECT_EQ(Entry(keypad, field), u"");
}

TEST(Entry, APrefilledValueIsStoredAsKeyPressesWould) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(0), 0);
    EntryField field;
    field.setMaxLength(4);
    field.setDisplayType(7);
    FieldDisplay display;
    for (char16_t c : std::u16string(u"a-1 "))
        EXPECT_EQ(keypad.Append(field, c, display), KeyOutcome::kEntryChanged);
    EXPECT_EQ(display.mode, kModeScrambledText);
    EXPECT_EQ(Unscrambled(keypad, display), u"a-1 ");
    EXPECT_EQ(Entry(keypad, field), u"a-1 ");
}

TEST(Entry, AnotherDialogsKeypadCannotReadTheEntry) {
    SecureKeypad first(KeypadKind::kEntry);
    SecureKeypad second(KeypadKind::kEntry);
    ASSERT_EQ(first.Open(1), 0);
    ASSERT_EQ(second.Open(1), 0);
    EntryField field;
    field.setMaxLength(8);
    FieldDisplay display;
    for (int i = 0; i < 6; ++i) first.Press(field, 4, display);
    std::u16string other;
    second.Read(field, other);
    EXPECT_NE(other, u"555555");
}

TEST(FieldDisplayText, TypesSelectModesAndSecretTypesShowAsterisks) {
    FieldDisplay display;
    struct Case {
        int type;
        int mode;
    };
    for (const Case& c : {Case{1, 0}, Case{2, 0}, Case{4, 4}, Case{5, 5}, Case{6, 6}, Case{7, 7},
                          Case{3, 3}, Case{0, 3}, Case{8, 3}}) {
        ASSERT_EQ(FieldDisplayText(u"12345", c.type, 9, display), 0);
        EXPECT_EQ(display.mode, c.mode);
        EXPECT_EQ(display.length, 5u);
        if (c.mode == kModeAsterisks) {
            EXPECT_EQ(display.text, u"*****");
        } else {
            EXPECT_EQ(display.text.find(u"12345"), std::u16string::npos);
            std::vector<uint8_t> bytes;
            ASSERT_EQ(crypto::UnscrambleDisplayText(display.text, 9, bytes), 0);
            EXPECT_EQ(crypto::BytesToUtf16(bytes), u"12345");
        }
    }
    ASSERT_EQ(FieldDisplayText(std::u16string(40, u'9'), 3, 0, display), 0);
    EXPECT_EQ(display.text, std::u16string(kMaxAsterisks, u'*'));
}

TEST(FieldDisplayText, SecretFieldOfFiveCharactersShowsFiveAsterisks) {
    SecureKeypad keypad(KeypadKind::kEntry);
    ASSERT_EQ(keypad.Open(0), 0);
    EntryField field;
    field.setMaxLength(12);
    field.setDisplayType(3);
    FieldDisplay display;
    for (int i = 0; i < 5; ++i) keypad.Press(field, static_cast<std::size_t>(i), display);
    EXPECT_EQ(display.text, u"*****");
    EXPECT_EQ(display.mode, kModeAsterisks);
}

TEST(Keypad, NothingWorksBeforeItIsOpened) {
    SecureKeypad keypad(KeypadKind::kEntry);
    EntryField field;
    field.setMaxLength(8);
    FieldDisplay display;
    EXPECT_EQ(keypad.Press(field, 0, display), KeyOutcome::kFailed);
    std::vector<std::u16string> captions;
    EXPECT_NE(keypad.ScrambledCaptions(captions), 0);
    EXPECT_EQ(field.count(), 0u);
}

}  // namespace
}  // namespace qorv::dialogs
