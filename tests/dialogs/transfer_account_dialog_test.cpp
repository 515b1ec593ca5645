// The transfer account dialog's logic driven as a person would: the three
// categories with their lists, the keyboard types, the keypad and the typed
// account number, the e-mail edit, the OK rules and the results it builds
// and enciphers.
#include "dialogs/transfer_account_dialog.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/value_protection.h"
#include "dialogs/input_filters.h"
#include "dialogs/message_sink.h"
#include "fake_field_cipher.h"

namespace qorv::dialogs {
namespace {

namespace id = transfer_control;
using testing::WideHex;
using testing::WideHexDecipher;
using testing::WideHexEncipher;

constexpr char16_t kAgreed[] =
    u"台灣銀行-薪轉%%004||12345678901234;;第一銀行%%007||98765432109$$pay@bank.tw;;";
constexpr char16_t kCommon[] =
    u"媽媽%%812||0001234567$$mom@mail.tw;mom2@mail.tw;;房東%%700||00012345678901;;";
constexpr char16_t kBanks[] = u"004 臺灣銀行%%004;;812 台新銀行%%812;;";

struct Lists {
    std::u16string agreed = kAgreed;
    std::u16string common = kCommon;
    std::u16string banks = kBanks;
    std::u16string agreedAttributes;  // extra attributes of the first element
};

std::u16string Number(int value) {
    std::u16string text;
    for (char c : std::to_string(value)) text += static_cast<char16_t>(c);
    return text;
}

std::u16string Document(int keyType, const Lists& lists = {}, std::u16string_view extra = u"") {
    return u"<Caption>約定轉帳</Caption><KeyType>" + Number(keyType) + u"</KeyType>" +
           std::u16string(extra) + u"<AtmNode Name=\"約定帳號轉帳\" Type=\"0\" Ciph=\"0\"" +
           lists.agreedAttributes + u">" + lists.agreed +
           u"</AtmNode><AtmNode Name=\"常用帳號轉帳\" Type=\"0\" Ciph=\"0\">" + lists.common +
           u"</AtmNode><AtmNode Name=\"其他帳號轉帳\" Type=\"0\" Ciph=\"0\">" + lists.banks +
           u"</AtmNode>";
}

// The key that carries digit d in the fixed order (1042 "1" ... 1051 "0").
int FixedKey(char16_t digit) {
    return digit == u'0' ? kFirstKeyId + 9 : kFirstKeyId + (digit - u'1');
}

struct Fixture {
    std::optional<int> Open(const std::optional<std::u16string>& document) {
        return dialog.Open(document);
    }
    void PressDigits(std::u16string_view digits) {
        for (char16_t d : digits) dialog.PressKey(FixedKey(d));
    }
    // What the view's account edit does with keys its filter let through:
    // the edit takes the focus, each key goes to the OK rule, then the
    // edit's new text follows.
    void Type(std::u16string_view text) {
        dialog.Focus(id::kAccountEdit);
        std::u16string typed = dialog.view().TextOf(id::kAccountEdit);
        for (char16_t c : text) {
            dialog.AccountKey(AccountEditKey::kCharacter);
            typed += c;
            dialog.SetAccountText(typed);
        }
    }
    void Backspace() {
        std::u16string typed = dialog.view().TextOf(id::kAccountEdit);
        dialog.AccountKey(AccountEditKey::kBackspace);
        if (!typed.empty()) typed.pop_back();
        dialog.SetAccountText(typed);
    }
    WideHexDecipher decipher;
    WideHexEncipher encipher;
    qorv::testing::RecordedMessages messages;
    TransferAccountDialog dialog{decipher, encipher, messages};
};

// The key captions as the keys draw them.
std::u16string KeyDigits(const TransferAccountDialog& dialog) {
    std::u16string digits;
    const auto& captions = dialog.view().keyCaptions;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        std::vector<uint8_t> plain;
        EXPECT_EQ(
            crypto::UnscrambleDisplayText(captions[i], dialog.keypad().captionOffset(i), plain), 0);
        EXPECT_EQ(plain.size(), 2u);
        if (plain.size() == 2) digits += static_cast<char16_t>(plain[0] | (plain[1] << 8));
    }
    return digits;
}

TEST(TransferKeyboardTypes, EachTypeSetsTheRadiosTheStartAndTheKeyOrder) {
    const struct {
        int type;
        bool radios;
        bool keypadFirst;
        bool fixedOrder;
    } cases[] = {{0, false, true, false}, {1, false, true, true}, {2, false, false, false},
                 {3, true, true, false},  {4, true, true, true},  {5, true, false, false},
                 {6, true, false, true},  {7, false, true, false}};  // 7 reads as 0
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        Fixture f;
        ASSERT_EQ(f.Open(Document(c.type)), std::nullopt);
        const auto& view = f.dialog.view();
        EXPECT_EQ(view.IsVisible(id::kKeypadRadio), c.radios);
        EXPECT_EQ(view.IsVisible(id::kKeyboardRadio), c.radios);
        EXPECT_EQ(f.dialog.keypadChosen(), c.keypadFirst);
        EXPECT_EQ(view.IsChecked(id::kKeypadRadio), c.keypadFirst);
        EXPECT_EQ(view.IsVisible(kFirstKeyId), c.keypadFirst);
        EXPECT_EQ(view.IsVisible(kTransferClearKeyId), c.keypadFirst);
        EXPECT_EQ(view.IsVisible(id::kKeypadField), c.keypadFirst);
        EXPECT_EQ(view.IsVisible(id::kAccountEdit), !c.keypadFirst);
        EXPECT_EQ(view.focusSerial, 0u);  // focus on the edit would select another account
        EXPECT_EQ(f.dialog.category(), TransferCategory::kAgreed);
        // Category 0 at start: the radios are there but not usable yet.
        EXPECT_FALSE(view.IsEnabled(id::kKeypadRadio));
        const std::u16string digits = KeyDigits(f.dialog);
        if (c.fixedOrder) {
            EXPECT_EQ(digits, u"1234567890");
        } else {
            EXPECT_EQ(std::set<char16_t>(digits.begin(), digits.end()).size(), 10u) << "distinct";
        }
    }
}

TEST(TransferKeyboardTypes, KeyboardChoiceOnlyForAnotherAccountAndOnlyWhenOffered) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(4)), std::nullopt);
    f.dialog.ChooseKeypad(false);  // category 0: the radios are disabled
    EXPECT_TRUE(f.dialog.keypadChosen());

    f.dialog.SelectCategory(TransferCategory::kOther);
    EXPECT_TRUE(f.dialog.view().IsEnabled(id::kKeyboardRadio));
    f.PressDigits(u"12");
    const unsigned serial = f.dialog.view().focusSerial;
    f.dialog.ChooseKeypad(false);
    const auto& view = f.dialog.view();
    EXPECT_FALSE(f.dialog.keypadChosen());
    EXPECT_TRUE(view.IsVisible(id::kAccountEdit));
    EXPECT_FALSE(view.IsVisible(id::kKeypadField));
    EXPECT_FALSE(view.IsVisible(kFirstKeyId + 3));
    EXPECT_EQ(view.focusControl, id::kAccountEdit);
    EXPECT_EQ(view.focusSerial, serial + 1);
    f.Type(u"77");
    f.dialog.ChooseKeypad(false);  // the choice in force: nothing happens
    EXPECT_EQ(view.TextOf(id::kAccountEdit), u"77");
    // Back to the keypad: its entry starts empty; the keyboard empties the edit.
    f.dialog.ChooseKeypad(true);
    EXPECT_EQ(f.dialog.keypadEntryCount(), 0u);
    f.dialog.ChooseKeypad(false);
    EXPECT_EQ(view.TextOf(id::kAccountEdit), u"");

    Fixture hidden;  // type 1: no radios, so no choice
    ASSERT_EQ(hidden.Open(Document(1)), std::nullopt);
    hidden.dialog.SelectCategory(TransferCategory::kOther);
    hidden.dialog.ChooseKeypad(false);
    EXPECT_TRUE(hidden.dialog.keypadChosen());
    EXPECT_FALSE(hidden.dialog.view().IsEnabled(id::kKeyboardRadio));
}

TEST(TransferCategories, StartWithTheAgreedAccountsAndTheDocumentsNames) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    const auto& view = f.dialog.view();
    EXPECT_EQ(view.caption, u"約定轉帳");
    EXPECT_EQ(f.dialog.category(), TransferCategory::kAgreed);
    EXPECT_TRUE(view.IsChecked(id::kAgreedRadio));
    EXPECT_FALSE(view.IsChecked(id::kOtherRadio));
    EXPECT_EQ(view.TextOf(id::kAgreedRadio), u"約定帳號轉帳");
    EXPECT_EQ(view.TextOf(id::kOtherRadio), u"其他帳號轉帳");
    EXPECT_EQ(view.List(id::kAgreedList)->items,
              (std::vector<std::u16string>{u"台灣銀行-薪轉", u"第一銀行"}));
    EXPECT_EQ(view.List(id::kBankList)->items,
              (std::vector<std::u16string>{u"004 臺灣銀行", u"812 台新銀行"}));
    EXPECT_EQ(view.TextOf(id::kOk), u"確定");
    EXPECT_EQ(view.TextOf(id::kCancel), u"取消");
    EXPECT_FALSE(view.IsVisible(id::kCountdown));
    EXPECT_FALSE(view.IsEnabled(id::kAddToCommon));
}

TEST(TransferCategories, FocusOnAListOrTheAccountEntrySelectsItsCategory) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(3)), std::nullopt);
    const struct {
        int control;
        TransferCategory category;
    } cases[] = {
        {id::kCommonList, TransferCategory::kCommon}, {id::kBankList, TransferCategory::kOther},
        {id::kAgreedList, TransferCategory::kAgreed}, {id::kKeypadField, TransferCategory::kOther},
        {id::kCommonList, TransferCategory::kCommon}, {id::kAccountEdit, TransferCategory::kOther}};
    for (const auto& c : cases) {
        f.dialog.Focus(c.control);
        EXPECT_EQ(f.dialog.category(), c.category) << c.control;
        const int radio = id::kAgreedRadio + static_cast<int>(c.category);
        for (int r = id::kAgreedRadio; r <= id::kOtherRadio; ++r)
            EXPECT_EQ(f.dialog.view().IsChecked(r), r == radio);
        const bool other = c.category == TransferCategory::kOther;
        EXPECT_EQ(f.dialog.view().IsEnabled(id::kAddToCommon), other);
        EXPECT_EQ(f.dialog.view().IsEnabled(id::kKeypadRadio), other);
    }
}

TEST(TransferCategories, AKeypadDigitInTheAgreedCategorySwitchesToAnotherAccount) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    ASSERT_EQ(f.dialog.category(), TransferCategory::kAgreed);
    f.dialog.PressKey(FixedKey(u'5'));
    EXPECT_EQ(f.dialog.category(), TransferCategory::kOther);
    EXPECT_TRUE(f.dialog.view().IsChecked(id::kOtherRadio));
    EXPECT_EQ(f.dialog.keypadEntryCount(), 1u);
}

TEST(TransferCategories, TheCheckedBoxMakesAnotherAccountDigitThreeAndIsIgnoredElsewhere) {
    Lists lists;
    lists.agreedAttributes = u" check=\"1\"";
    Fixture other;
    ASSERT_EQ(other.Open(Document(1, lists)), std::nullopt);
    EXPECT_TRUE(other.dialog.view().IsChecked(id::kAddToCommon));
    other.dialog.SelectListItem(id::kBankList, 1);
    other.PressDigits(u"1234567");
    other.dialog.PressOk();
    EXPECT_EQ(other.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(other.dialog.categoryDigit(), u'3');
    EXPECT_EQ(other.dialog.transferValues(), u"812||1234567||3||2523||");
    EXPECT_EQ(other.dialog.TakeAccountRecord(), u"00000000012345673812 台新銀行%%812");

    Fixture agreed;  // same box, agreed account: the box is disabled and ignored
    ASSERT_EQ(agreed.Open(Document(1, lists)), std::nullopt);
    agreed.dialog.SetAddToCommon(false);  // disabled in category 0
    EXPECT_TRUE(agreed.dialog.view().IsChecked(id::kAddToCommon));
    agreed.dialog.PressOk();
    EXPECT_EQ(agreed.dialog.categoryDigit(), u'0');
    EXPECT_EQ(agreed.dialog.transferValues(), u"004||12345678901234||0||2523||");

    Fixture unchecked;  // the person clears the box before OK
    ASSERT_EQ(unchecked.Open(Document(1, lists)), std::nullopt);
    unchecked.dialog.SelectCategory(TransferCategory::kOther);
    unchecked.dialog.SetAddToCommon(false);
    unchecked.PressDigits(u"99");
    unchecked.dialog.PressOk();
    EXPECT_EQ(unchecked.dialog.transferValues(), u"004||99||2||2523||");
}

TEST(TransferCategories, AddCommOneHidesTheBoxEvenWhenAnElementChecksIt) {
    Lists lists;
    lists.agreedAttributes = u" check=\"1\"";
    Fixture f;
    ASSERT_EQ(f.Open(Document(1, lists, u"<AddComm>1</AddComm>")), std::nullopt);
    f.dialog.SelectCategory(TransferCategory::kOther);
    const auto& view = f.dialog.view();
    EXPECT_FALSE(view.IsVisible(id::kAddToCommon));
    EXPECT_FALSE(view.IsEnabled(id::kAddToCommon));
    EXPECT_FALSE(view.IsChecked(id::kAddToCommon));
    f.dialog.SetAddToCommon(true);
    f.PressDigits(u"42");
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.categoryDigit(), u'2');
}

TEST(TransferEmail, ACommonItemsAddressFillsTheEditAndOneWithoutClearsIt) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit), u"");
    f.dialog.SelectCategory(TransferCategory::kCommon);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit), u"mom@mail.tw;mom2@mail.tw");
    f.dialog.SelectListItem(id::kCommonList, 1);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit), u"");
    f.dialog.SelectListItem(id::kCommonList, 0);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit), u"mom@mail.tw;mom2@mail.tw");
    // The agreed list's addresses are not put into the edit.
    f.dialog.SetEmailText(u"");
    f.dialog.SelectCategory(TransferCategory::kAgreed);
    f.dialog.SelectListItem(id::kAgreedList, 1);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit), u"");
}

TEST(TransferEdits, TheLogicKeepsNoMoreThanAnEditHolds) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(5)), std::nullopt);
    f.dialog.SetAccountText(std::u16string(17, u'1'));
    f.dialog.SetEmailText(std::u16string(151, u'a'));
    EXPECT_EQ(f.dialog.view().TextOf(id::kAccountEdit).size(), kMaxTransferAccount);
    EXPECT_EQ(f.dialog.view().TextOf(id::kEmailEdit).size(), kMaxTransferEmail);
}

TEST(TransferResults, AnAgreedItemKeepsTheDisplayTextBeforeItsDash) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    f.dialog.PressOk();
    ASSERT_EQ(f.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(f.dialog.TakeAccountRecord(), u"00123456789012340台灣銀行%%004");
    EXPECT_EQ(f.dialog.transferValues(), u"004||12345678901234||0||2523||");
}

TEST(TransferResults, TheEmailEditIsAppendedToBoth) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    f.dialog.SelectCategory(TransferCategory::kCommon);
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.TakeAccountRecord(),
              u"00000000012345671媽媽%%812$$mom@mail.tw;mom2@mail.tw");
    EXPECT_EQ(f.dialog.transferValues(), u"812||0001234567||1||2523||mom@mail.tw;mom2@mail.tw||");
    // Handed over once.
    EXPECT_EQ(f.dialog.TakeAccountRecord(), u"");
}

TEST(TransferResults, ANineDigitTypedAccountGetsSevenLeadingZeros) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(2)), std::nullopt);
    ASSERT_FALSE(f.dialog.keypadChosen());
    f.Type(u"123456789");
    EXPECT_EQ(f.dialog.category(), TransferCategory::kOther);
    f.dialog.SetEmailText(u"me@home.tw");
    f.dialog.PressOk();
    ASSERT_EQ(f.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(f.dialog.TakeAccountRecord(), u"00000001234567892004 臺灣銀行%%004$$me@home.tw");
    EXPECT_EQ(f.dialog.transferValues(), u"004||123456789||2||2523||me@home.tw||");
}

TEST(TransferResults, NoItemOrAnItemWithoutMarkGivesZerosAndNoTransferValues) {
    const std::u16string agreedLists[] = {u"", u"只有名稱沒有代碼;;"};
    for (const auto& agreed : agreedLists) {
        SCOPED_TRACE(agreed.size());
        Lists lists;
        lists.agreed = agreed;
        Fixture f;
        ASSERT_EQ(f.Open(Document(1, lists)), std::nullopt);
        ASSERT_TRUE(f.dialog.view().IsEnabled(id::kOk));  // the common list has data
        f.dialog.PressOk();
        EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
        EXPECT_EQ(f.dialog.TakeAccountRecord(), u"00000000000000000");
        EXPECT_EQ(f.dialog.transferValues(), u"");
    }
}

TEST(TransferResults, BothResultsAreEncipheredRecordFirst) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    f.dialog.PressOk();
    ASSERT_EQ(f.encipher.inputs.size(), 2u);
    EXPECT_EQ(f.encipher.inputs[0], u"00123456789012340台灣銀行%%004");
    EXPECT_EQ(f.encipher.inputs[1], u"004||12345678901234||0||2523||");
    EXPECT_EQ(f.dialog.encipheredAccountRecord(), WideHex(f.encipher.inputs[0]));
    EXPECT_EQ(f.dialog.encipheredTransferValues(), WideHex(f.encipher.inputs[1]));
    EXPECT_TRUE(f.messages.messages.empty());
}

TEST(TransferResults, AnEncipherFailureIsReportedAndStillEndsWithOk) {
    for (int failFrom : {0, 1}) {
        SCOPED_TRACE(failFrom);
        Fixture f;
        f.encipher.failFromCall = failFrom;
        ASSERT_EQ(f.Open(Document(1)), std::nullopt);
        f.dialog.PressOk();
        EXPECT_EQ(f.dialog.outcome(), kOutcomeOk);
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgEncipherFailed});
        EXPECT_EQ(f.encipher.inputs.size(), static_cast<std::size_t>(failFrom + 1));
        EXPECT_EQ(f.dialog.encipheredAccountRecord().empty(), failFrom == 0);
        EXPECT_EQ(f.dialog.encipheredTransferValues(), u"");
        EXPECT_EQ(f.dialog.transferValues(), u"004||12345678901234||0||2523||");
    }
}

TEST(TransferResults, AnEncipheredListIsReadAgainOnOkAndAFailureBuildsNothing) {
    Lists lists;
    lists.common = WideHex(kCommon);
    std::u16string document = Document(1, lists);
    const std::size_t ciph = document.find(u"Ciph=\"0\"", document.find(u"常用帳號轉帳"));
    document[ciph + 6] = u'1';

    Fixture good;
    ASSERT_EQ(good.Open(document), std::nullopt);
    good.dialog.SelectCategory(TransferCategory::kCommon);
    EXPECT_EQ(good.dialog.view().TextOf(id::kEmailEdit), u"mom@mail.tw;mom2@mail.tw");
    good.dialog.SelectListItem(id::kCommonList, 1);
    good.dialog.PressOk();
    EXPECT_EQ(good.decipher.calls, 2);
    EXPECT_EQ(good.dialog.transferValues(), u"700||00012345678901||1||2523||");

    Fixture bad;
    bad.decipher.failFromCall = 1;  // the list shows, then fails to decipher again
    ASSERT_EQ(bad.Open(document), std::nullopt);
    bad.dialog.SelectCategory(TransferCategory::kCommon);
    bad.dialog.PressOk();
    EXPECT_EQ(bad.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(bad.messages.messages, std::vector<std::u16string>{kMsgListDataFailed});
    EXPECT_EQ(bad.dialog.TakeAccountRecord(), u"");
    EXPECT_EQ(bad.dialog.transferValues(), u"");
    EXPECT_TRUE(bad.encipher.inputs.empty());
}

TEST(TransferOk, AnotherAccountNeedsDigitsAndTheDialogStaysOpenOtherwise) {
    Fixture keypad;
    ASSERT_EQ(keypad.Open(Document(1)), std::nullopt);
    keypad.dialog.SelectCategory(TransferCategory::kOther);
    keypad.dialog.PressOk();  // OK is enabled by the lists, but nothing was entered
    EXPECT_EQ(keypad.dialog.outcome(), std::nullopt);
    EXPECT_EQ(keypad.messages.messages, std::vector<std::u16string>{kMsgCheckAccount});

    Fixture typed;
    ASSERT_EQ(typed.Open(Document(5)), std::nullopt);
    typed.dialog.SelectCategory(TransferCategory::kOther);
    typed.dialog.PressOk();
    EXPECT_EQ(typed.dialog.outcome(), std::nullopt);
    typed.dialog.SetAccountText(u"12a4");  // got past the filter somehow
    const unsigned serial = typed.dialog.view().focusSerial;
    typed.dialog.PressOk();
    EXPECT_EQ(typed.dialog.outcome(), std::nullopt);
    EXPECT_EQ(typed.messages.messages,
              (std::vector<std::u16string>{kMsgCheckAccount, kMsgAccountMustBeDigits}));
    EXPECT_EQ(typed.messages.captions.back(), u"Qorv銀行");
    EXPECT_EQ(typed.dialog.view().TextOf(id::kAccountEdit), u"");
    EXPECT_EQ(typed.dialog.view().focusControl, id::kAccountEdit);
    EXPECT_EQ(typed.dialog.view().focusSerial, serial + 1);
    typed.Type(u"0042");
    typed.dialog.PressOk();
    EXPECT_EQ(typed.dialog.outcome(), kOutcomeOk);
    EXPECT_EQ(typed.dialog.transferValues(), u"004||0042||2||2523||");
}

TEST(TransferOk, TheButtonFollowsTheKeypadAndTheListsAndTheTypedKeys) {
    Lists empty;
    empty.agreed.clear();
    empty.common.clear();
    Fixture f;
    ASSERT_EQ(f.Open(Document(3, empty)), std::nullopt);
    const auto& view = f.dialog.view();
    EXPECT_FALSE(view.IsEnabled(id::kOk));
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.outcome(), std::nullopt);
    f.dialog.PressKey(FixedKey(u'1'));  // some digit: the order is random
    EXPECT_TRUE(view.IsEnabled(id::kOk));
    f.dialog.PressKey(kTransferCorrectionKeyId);
    EXPECT_FALSE(view.IsEnabled(id::kOk));
    f.dialog.PressKey(FixedKey(u'2'));
    f.dialog.PressKey(kTransferClearKeyId);
    EXPECT_FALSE(view.IsEnabled(id::kOk));
    EXPECT_EQ(f.dialog.keypadEntryCount(), 0u);

    // Typed: a character enables, backspace under two characters disables,
    // Delete keeps it only while more than one character is left.
    f.dialog.ChooseKeypad(false);
    f.Type(u"1");
    EXPECT_TRUE(view.IsEnabled(id::kOk));
    f.Type(u"2");
    f.Backspace();
    EXPECT_TRUE(view.IsEnabled(id::kOk));
    f.Backspace();
    EXPECT_FALSE(view.IsEnabled(id::kOk));
    f.Type(u"34");
    f.dialog.AccountKey(AccountEditKey::kDelete);
    EXPECT_TRUE(view.IsEnabled(id::kOk));
    f.dialog.SetAccountText(u"3");
    f.dialog.AccountKey(AccountEditKey::kDelete);
    EXPECT_FALSE(view.IsEnabled(id::kOk));
}

TEST(TransferKeypad, SixteenDigitsAtMostAndNoneInTheWindowText) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    f.PressDigits(u"12345678901234567");
    EXPECT_EQ(f.dialog.keypadEntryCount(), 16u);
    const FieldDisplay& shown = f.dialog.view().keypadField;
    EXPECT_EQ(shown.mode, kModeCells);
    EXPECT_EQ(shown.length, 16u);
    EXPECT_EQ(shown.text.find(u"1234"), std::u16string::npos);
    f.dialog.PressOk();
    EXPECT_EQ(f.dialog.transferValues(), u"004||1234567890123456||2||2523||");
}

// UTF-8 of the example file to UTF-16 (the example holds BMP characters only).
std::u16string FromUtf8(const std::string& utf8) {
    std::u16string text;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const int extra = byte < 0x80 ? 0 : byte < 0xE0 ? 1 : 2;
        char32_t c = extra == 0 ? byte : extra == 1 ? (byte & 0x1F) : (byte & 0x0F);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        text += static_cast<char16_t>(c);
        i += 1 + extra;
    }
    return text;
}

TEST(TransferExampleDocument, TheReadmeExampleGivesEachCategorysResults) {
    std::ifstream file(QORV_SOURCE_DIR "/docs/examples/transfer-document.xml", std::ios::binary);
    ASSERT_TRUE(file) << "docs/examples/transfer-document.xml";
    const std::string utf8((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const std::u16string document = FromUtf8(utf8);

    Fixture agreed;
    ASSERT_EQ(agreed.Open(document), std::nullopt);
    const auto& view = agreed.dialog.view();
    EXPECT_EQ(view.caption, u"Qorv銀行 WEB ATM 約定轉帳");
    EXPECT_EQ(KeyDigits(agreed.dialog), u"1234567890");
    EXPECT_TRUE(view.IsVisible(id::kKeyboardRadio));
    EXPECT_TRUE(view.IsChecked(id::kAddToCommon));
    EXPECT_EQ(view.List(id::kCommonList)->selected, 1);
    EXPECT_EQ(view.List(id::kAgreedList)->items,
              (std::vector<std::u16string>{u"台灣銀行-薪資轉帳", u"第一銀行-房租"}));
    agreed.dialog.PressOk();
    EXPECT_EQ(agreed.dialog.TakeAccountRecord(), u"00123456789012340台灣銀行%%004");
    EXPECT_EQ(agreed.dialog.transferValues(), u"004||12345678901234||0||2523||");

    Fixture common;
    ASSERT_EQ(common.Open(document), std::nullopt);
    common.dialog.SelectCategory(TransferCategory::kCommon);
    common.dialog.PressOk();
    EXPECT_EQ(common.dialog.TakeAccountRecord(), u"00000123456789011房東%%700");
    EXPECT_EQ(common.dialog.transferValues(), u"700||00012345678901||1||2523||");

    Fixture other;
    ASSERT_EQ(other.Open(document), std::nullopt);
    other.dialog.SelectListItem(id::kBankList, 3);
    other.PressDigits(u"123456789");
    other.dialog.PressOk();
    EXPECT_EQ(other.dialog.TakeAccountRecord(), u"00000001234567893812 台新銀行%%812");
    EXPECT_EQ(other.dialog.transferValues(), u"812||123456789||3||2523||");
}

TEST(TransferLifecycle, AnUnreadableDocumentEndsTheDialogAsCancelled) {
    for (const std::optional<std::u16string>& document :
         {std::optional<std::u16string>(), std::optional<std::u16string>(u"")}) {
        Fixture f;
        EXPECT_EQ(f.Open(document), kOutcomeCancelled);
        EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgCheckDocument});
        f.dialog.PressOk();
        f.PressDigits(u"1");
        EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    }
}

TEST(TransferLifecycle, TheCountdownShowsItsLabelAndEndsTheDialog) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1, {}, u"<TimeOut>62</TimeOut>")), std::nullopt);
    EXPECT_EQ(f.dialog.view().TextOf(id::kCountdown), u"62 秒後自動登出");
    for (int i = 0; i < kTicksPerSecond; ++i) f.dialog.Tick();
    EXPECT_FALSE(f.dialog.view().IsVisible(id::kCountdown));  // 61 left
    for (int i = 0; i < kTicksPerSecond; ++i) f.dialog.Tick();
    EXPECT_TRUE(f.dialog.view().IsVisible(id::kCountdown));
    EXPECT_EQ(f.dialog.view().TextOf(id::kCountdown), u" 60 秒後自動登出");
    for (int i = 0; i < 60 * kTicksPerSecond - 1; ++i) f.dialog.Tick();
    EXPECT_EQ(f.dialog.outcome(), std::nullopt);
    f.dialog.Tick();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{kMsgTimedOut});
    EXPECT_EQ(f.messages.captions, std::vector<std::u16string>{u"Qorv銀行"});
    f.dialog.PressOk();
    EXPECT_TRUE(f.encipher.inputs.empty());
}

TEST(TransferLifecycle, CancelEndsWithTwoAndBuildsNothing) {
    Fixture f;
    ASSERT_EQ(f.Open(Document(1)), std::nullopt);
    f.PressDigits(u"123");
    f.dialog.PressCancel();
    EXPECT_EQ(f.dialog.outcome(), kOutcomeCancelled);
    EXPECT_FALSE(f.dialog.countdown().running());
    EXPECT_EQ(f.dialog.keypadEntryCount(), 0u);
    EXPECT_TRUE(f.encipher.inputs.empty());
    EXPECT_EQ(f.dialog.TakeAccountRecord(), u"");
}

}  // namespace
}  // namespace qorv::dialogs
