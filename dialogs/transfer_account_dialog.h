// CTransSet, the transfer account dialog, as plain logic: the customer
// chooses where a guided transfer goes, from the bank's agreed accounts, from
// the common accounts, or as another account (a bank from the list and an
// account number entered on the graphical keypad or typed, where the bank
// allows typing), and may add notification e-mail addresses. On OK the
// dialog builds the account record and the transfer values and enciphers
// both under the session key; the caller reads the four texts.
//
// The Qt view shows `view()` (every control by its template id) and feeds the
// model the person's actions and the 200 ms countdown ticks. The model never
// shows a window: its messages go to a MessageSink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/config_document.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/countdown.h"
#include "dialogs/field_encipher.h"
#include "dialogs/secure_keypad.h"
#include "dialogs/transfer_values.h"

namespace qorv::dialogs {

// Control identifiers of the dialog template; the view names its widgets so.
namespace transfer_control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAccountEdit = 1001;  // typed account number, 16 characters
inline constexpr int kEmailEdit = 1002;    // e-mail addresses, 150 characters
inline constexpr int kAgreedFrame = 1011;
inline constexpr int kCommonFrame = 1012;
inline constexpr int kOtherFrame = 1013;
inline constexpr int kAccountLabel = 1014;  // "轉入帳號"
inline constexpr int kKeypadField = 1015;   // secure display field of the keypad entry
inline constexpr int kCountdown = 1016;
inline constexpr int kEmailLabel = 1017;
inline constexpr int kEmailNote = 1018;
inline constexpr int kAgreedRadio = 1037;  // category 0; 1038 category 1, 1039 category 2
inline constexpr int kCommonRadio = 1038;
inline constexpr int kOtherRadio = 1039;
inline constexpr int kKeypadRadio = 1040;    // "使用圖形鍵盤"
inline constexpr int kKeyboardRadio = 1041;  // "使用一般鍵盤"
inline constexpr int kAddToCommon = 1081;    // "加入常用帳號"
inline constexpr int kCommonList = 1091;
inline constexpr int kBankList = 1092;
inline constexpr int kAgreedList = 1093;
}  // namespace transfer_control

// The drop-down of each category (agreed 1093, common 1091, banks 1092).
int ListControlFor(TransferCategory category);

inline constexpr std::size_t kMaxTransferKeypadEntry = 16;

// The dialog's messages (caption "Qorv銀行").
inline constexpr char16_t kMsgCheckAccount[] = u"請確認輸入帳號";
inline constexpr char16_t kMsgAccountMustBeDigits[] = u"輸入帳號必須數字";
inline constexpr char16_t kMsgEncipherFailed[] = u"加密轉入約定轉入賬號資料失敗";

// One control of the view.
struct TransferControl {
    std::u16string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;  // radios and the check box
};

// One drop-down: the display texts of its items and the selected index (-1: none).
struct TransferListView {
    std::vector<std::u16string> items;
    int selected = -1;
};

struct TransferAccountView {
    std::u16string caption = kTemplateCaption;
    // Every control of the template but the drop-downs, by control id; the
    // keypad keys 1042..1053 are here for their visibility (the function
    // keys also for their captions).
    std::map<int, TransferControl> controls;
    // By category: agreed (1093), common (1091), banks (1092).
    std::array<TransferListView, kTransferLists> lists;
    // The keypad entry as the secure display field shows it (display mode 0).
    FieldDisplay keypadField;
    // The character keys' captions, each scrambled under its key's offset.
    std::vector<std::u16string> keyCaptions;
    // A request to focus a control: the view focuses focusControl whenever
    // focusSerial changes.
    int focusControl = 0;
    unsigned focusSerial = 0;

    const TransferControl* Find(int control) const;
    std::u16string TextOf(int control) const;  // empty for an unknown control
    bool IsVisible(int control) const;
    bool IsEnabled(int control) const;
    bool IsChecked(int control) const;
    // The drop-down with that control id, or nullptr.
    const TransferListView* List(int control) const;
};

// The keys of the account edit whose effect on OK is fixed.
enum class AccountEditKey { kCharacter, kBackspace, kDelete };

class TransferAccountDialog {
  public:
    TransferAccountDialog(FieldDecipher& decipher, FieldEncipher& encipher, MessageSink& messages);
    ~TransferAccountDialog();
    TransferAccountDialog(const TransferAccountDialog&) = delete;
    TransferAccountDialog& operator=(const TransferAccountDialog&) = delete;

    // Initialises from the configuration document. Returns the outcome when
    // the dialog ends right there (2: the document was unreadable, or the
    // keypad's secrets could not be made); otherwise show the dialog and
    // tick every kCountdownTickMs.
    std::optional<int> Open(const std::optional<std::u16string>& document);

    // A radio of the categories, or focus on a control: a drop-down selects
    // its category; the account edit and the secure display field select
    // another account (category 2).
    void SelectCategory(TransferCategory category);
    void Focus(int control);
    // The keyboard radios: true "使用圖形鍵盤", false "使用一般鍵盤". Ignored
    // while the radios are hidden or disabled, and for the choice in force.
    void ChooseKeypad(bool keypad);
    void SetAddToCommon(bool checked);
    // A new selection in a drop-down (the common list also sets the e-mail edit).
    void SelectListItem(int listControl, int index);

    // A key of the graphical keypad by control id (1042..1053): selects
    // another account first.
    void PressKey(int controlId);

    // The account edit (keyboard entry). The view's edit filters what is
    // typed and pasted (dialogs/input_filters.h); it passes every key the
    // filter let through to AccountKey before the edit changes (for the OK
    // rule) and mirrors the resulting text with SetAccountText.
    void AccountKey(AccountEditKey key);
    void SetAccountText(std::u16string_view text);

    // The e-mail edit's text after a change (filtered by the view's edit).
    void SetEmailText(std::u16string_view text);

    // One 200 ms tick of the countdown.
    void Tick();
    // Ignored while OK is disabled. A check that fails keeps the dialog open.
    void PressOk();
    void PressCancel();

    std::optional<int> outcome() const { return outcome_; }
    const TransferAccountView& view() const { return view_; }
    TransferCategory category() const { return category_; }
    // "0", "1", "2", and "3" once OK took another account with the box checked.
    char16_t categoryDigit() const { return categoryDigit_; }
    bool keypadChosen() const { return keypadChosen_; }
    const SecureKeypad& keypad() const { return keypad_; }
    std::size_t keypadEntryCount() const { return entry_.count(); }
    const Countdown& countdown() const { return countdown_; }

    // The results after outcome 1. The account record is handed over once:
    // the dialog's copy is wiped.
    std::u16string TakeAccountRecord();
    const std::u16string& transferValues() const { return transferValues_; }
    const std::u16string& encipheredTransferValues() const { return encipheredTransferValues_; }
    const std::u16string& encipheredAccountRecord() const { return encipheredAccountRecord_; }

  private:
    TransferControl& Control(int id) { return view_.controls[id]; }
    bool KeyboardRadiosShown() const;
    void ApplyKeyboard(bool keypad, bool focus);
    void EvaluateOk();
    void SetEmailFromCommonItem();
    void ShowKeypadEntry();
    void RequestFocus(int control);
    void End(int outcome);
    void Message(std::u16string_view text);
    // OK's steps: the account number of another account (nullopt: stay open).
    std::optional<std::u16string> TakeOtherAccount();
    // The selected item of a category's list as the bank wrote it, read
    // again (deciphered when enciphered); nullopt after a failed decipherment.
    std::optional<std::u16string> SelectedItem(TransferCategory category, std::size_t maxLength);
    void Encipher();
    void WipeLists();

    FieldDecipher& decipher_;
    FieldEncipher& encipher_;
    MessageSink& messages_;
    TransferDocument document_;
    SecureKeypad keypad_{KeypadKind::kTransfer};
    EntryField entry_;
    Countdown countdown_{kDefaultCountdownSeconds};
    TransferAccountView view_;
    TransferCategory category_ = TransferCategory::kAgreed;
    char16_t categoryDigit_ = u'0';
    bool keypadChosen_ = true;
    bool opened_ = false;
    std::u16string accountText_;
    std::u16string emailText_;
    std::optional<int> outcome_;
    std::u16string accountRecord_;
    std::u16string transferValues_;
    std::u16string encipheredTransferValues_;
    std::u16string encipheredAccountRecord_;
};

}  // namespace qorv::dialogs
