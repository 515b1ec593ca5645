// CWebComDlg, the multi-field entry dialog, as plain logic: up to ten rows
// that the configuration document defines (drop-down lists, digits or
// letters on the graphical keypad, typed text, secret fields such as the
// card PIN). The Qt view shows `view()` and feeds the model its events:
// timer ticks, row selection by mouse and focus, keypad keys, edit texts,
// the keyboard radios, OK and Cancel.
//
// On OK the rows are joined into one text ("||" after list codes, digits
// and typed text, ";;" after letters-keypad entries), the first card-PIN row
// (Type 6) is checked against the card, the joined text is enciphered under
// the session key for the bank, and the tagged text for the confirmation
// dialog is built. Card-PIN rows never go into the joined text.
//
// Review mode (FunType 2): the rows are shown as the bank filled them, and
// only the secret rows (Type 6 and 7) take input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/config_document.h"
#include "dialogs/countdown.h"
#include "dialogs/field_encipher.h"
#include "dialogs/host_block.h"
#include "dialogs/message_sink.h"
#include "dialogs/secure_keypad.h"

namespace qorv::dialogs {

// Control identifiers of the dialog template; the view names its widgets so.
namespace entry_control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kTitle = 1011;
inline constexpr int kHint = 1032;
inline constexpr int kCountdown = 1033;
inline constexpr int kUseKeyboard = 1037;  // radio "使用一般鍵盤"
inline constexpr int kUseKeypad = 1038;    // radio "使用圖形鍵盤"
constexpr int RowLabel(std::size_t row) {
    return 1012 + 2 * static_cast<int>(row);
}
constexpr int RowSecureField(std::size_t row) {
    return 1013 + 2 * static_cast<int>(row);
}
constexpr int RowDropDown(std::size_t row) {
    return 1091 + static_cast<int>(row);
}
constexpr int RowEdit(std::size_t row) {
    return 1001 + static_cast<int>(row);
}
}  // namespace entry_control

// Outcome when the card refused the PIN typed into the first Type 6 row.
inline constexpr int kOutcomePinRefused = 105;
// The confirmation text never exceeds what the caller's buffer holds.
inline constexpr std::size_t kMaxConfirmationText = 1600;
// An edit row gives at most this many characters.
inline constexpr std::size_t kMaxEditText = 127;

inline constexpr char16_t kHintDropDown[] = u"請在下拉式選單選擇";
inline constexpr char16_t kHintKeypad[] = u"請使用圖形鍵盤輸入";
inline constexpr char16_t kHintKeyboard[] = u"請使用一般鍵盤輸入";
inline constexpr char16_t kUseKeyboardCaption[] = u"使用一般鍵盤";
inline constexpr char16_t kUseKeypadCaption[] = u"使用圖形鍵盤";
inline constexpr char16_t kTemplateCountdown[] = u"60 秒後自動登出";
inline constexpr char16_t kMsgCipherFailed[] = u"加密資料錯誤";
// "請輸入第 %d 項資料" with the 1-based row number.
std::u16string EnterItemMessage(int rowNumber);

// Presents a PIN to the card in the reader of the open session (the
// caller's reader index). Returns the verify result: 0 (or the status word
// 9000) when the card accepted it, anything else when not.
class CardPinCheck {
  public:
    virtual ~CardPinCheck() = default;
    virtual int32_t VerifyPin(std::u16string_view pin) = 0;
};

// Everything the dialog reaches outside itself.
struct MultiFieldServices {
    FieldDecipher& decipher;
    FieldEncipher& encipher;
    CardPinCheck& pinCheck;
    MessageSink& messages;
};

// Where a row's value comes from.
enum class RowSource {
    kList,           // Type 0-2: drop-down (review mode: the bank's text)
    kDigitsKeypad,   // KeyType 0, 1, or 3-6 on the keypad: digits, correction, clear
    kLettersKeypad,  // KeyType 7, 8 (and unknown key types): all keys
    kEdit,           // KeyType 2, or 3-6 on the keyboard
};
RowSource SourceOf(const EntryRow& row);
// Whether the keyboard radios are offered for the row: KeyType 3-6 and a
// Type other than 0, 1, 2, 4, 5.
bool OffersKeyboardChoice(const EntryRow& row);
// The keyboard flag a row starts with: 1 (keypad) unless its KeyType is 2,
// 5 or 6, for every row.
int StartKeyboardFlag(const EntryRow& row);
// Display type of the row's keypad entry: Type 6, 7 asterisks (3), Type 5
// the text (7), others scrambled cells (1).
int EntryDisplayType(const EntryRow& row);

// Pixel layout. The rows share one template; rows beyond the row count are
// hidden and everything below them moves up (the dialog shrinks) by one row
// height per hidden row.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
};
inline constexpr int kEntryRowHeight = 36;
inline constexpr int kEntryDialogWidth = 680;
inline constexpr int kRowSelectLeft = 20;  // rows are selected from x = 20 rightwards

struct EntryLayout {
    int width = kEntryDialogWidth;
    int height = 0;
    Rect title;
    std::array<Rect, kMaxEntryRows> labels{};
    std::array<Rect, kMaxEntryRows> fields{};  // secure field, drop-down and edit share it
    Rect hint;
    Rect useKeyboard;
    Rect useKeypad;
    Rect keypad;
    Rect countdown;
    Rect ok;
    Rect cancel;
};
EntryLayout MultiFieldLayout(std::size_t rowCount);

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kFieldText{96, 96, 96};
inline constexpr Rgb kFieldBackground{255, 255, 255};
inline constexpr Rgb kActiveFieldText{255, 255, 255};
inline constexpr Rgb kActiveFieldBackground{51, 153, 255};
inline constexpr Rgb kReviewFieldBackground{254, 242, 233};

// What the view shows of one row.
struct EntryRowView {
    bool visible = false;
    std::u16string label;  // CR LF where the document wrote "%%"
    FieldDisplay field;    // the secure field's window text and mode
    bool fieldVisible = true;
    bool fieldEnabled = true;
    int fieldMaxLength = 0;
    Rgb fieldText = kFieldText;
    Rgb fieldBackground = kFieldBackground;
    bool dropDownVisible = false;
    bool dropDownEnabled = false;
    std::vector<std::u16string> items;  // display texts
    int selectedIndex = -1;
    bool editVisible = false;
    bool editEnabled = true;
    int editMaxLength = static_cast<int>(kMaxEditText);
    bool editDigitsOnly = false;  // Type 3
    bool editSecret = false;      // Type 6, 7: the view masks the edit
};

struct MultiFieldViewModel {
    std::u16string caption = kTemplateCaption;
    std::u16string title = kTemplateTitle;
    std::u16string hint;
    bool radiosVisible = false;
    bool keyboardChecked = false;    // 1037 checked; else 1038
    bool digitKeysVisible = false;   // the 10 digit keys, "更正", "清除"
    bool letterKeysVisible = false;  // the 26 letter keys, "大/小寫"
    std::u16string countdown = kTemplateCountdown;
    bool countdownVisible = false;
    bool okEnabled = false;
    std::u16string okText = u"確定";
    std::u16string cancelText = u"取消";
    std::array<EntryRowView, kMaxEntryRows> rows{};
    EntryLayout layout;
    int focusControl = 0;  // the edit or drop-down with the focus, 0 for none

    // The text of a control (labels, hint, countdown, buttons, radios, the
    // secure fields' window texts), empty for one the view does not know.
    std::u16string TextOf(int control) const;
    bool IsVisible(int control) const;
    bool IsEnabled(int control) const;
};

// One row of the confirmation text.
struct ConfirmationRow {
    std::u16string_view name;
    std::u16string_view value;
};
// "<MSG> <Tag1>title</Tag1> <Tag2>※請核常用帳號資料，並依畫面指示進行操作。</Tag2>
// <Tag3> </Tag3> " then "<TagN>name</TagN> <TagN+1>value</TagN+1> " per row
// (N = 4, 6, ...) and "</MSG>", at most `limit` characters: a row goes in
// whole or not at all, and once one does not fit no later row goes in, so
// no tag is ever cut and the rows shown are the first ones in order.
std::u16string BuildConfirmationText(std::u16string_view title,
                                     std::span<const ConfirmationRow> rows,
                                     std::size_t limit = kMaxConfirmationText);

class MultiFieldDialog {
  public:
    // `document` is the page's configuration document (absent: none given).
    MultiFieldDialog(std::optional<std::u16string> document, MultiFieldServices services);
    ~MultiFieldDialog();
    MultiFieldDialog(const MultiFieldDialog&) = delete;
    MultiFieldDialog& operator=(const MultiFieldDialog&) = delete;

    // Reads the document and prepares every row. Returns the outcome when
    // the dialog ends right there (2: unreadable document), otherwise
    // nothing: show the dialog and tick every kCountdownTickMs.
    std::optional<int> Open();
    // Whether Open ran (a view may be handed a dialog that is already open).
    bool opened() const { return opened_; }
    // One tick of the 200 ms countdown timer.
    void Tick();

    // A left or right mouse-button release at (x, y) in dialog coordinates.
    void ReleaseMouse(int x, int y);
    // Focus entered the row's edit or drop-down.
    void FocusRow(std::size_t row);
    // The drop-down of the row changed its selection (row 0 also becomes active).
    void ChooseListItem(std::size_t row, int index);
    // A keypad key by control id, on the active row.
    KeyOutcome PressKey(int controlId);
    // The keyboard radios of the active row: true "使用一般鍵盤", false "使用圖形鍵盤".
    void UseKeyboard(bool keyboard);
    // The text of the row's edit after a change (typed, pasted, deleted).
    void SetEditText(std::size_t row, std::u16string_view text);
    // Ignored unless OK is enabled.
    void PressOk();
    void PressCancel();

    std::optional<int> outcome() const { return outcome_; }
    const MultiFieldViewModel& view() const { return view_; }
    const EntryDocument& document() const { return doc_; }
    const SecureKeypad& keypad() const { return keypad_; }
    std::size_t rowCount() const { return doc_.rows.size(); }
    // The active row, nullopt when no row takes input.
    std::optional<std::size_t> activeRow() const { return active_; }
    int keyboardFlag(std::size_t row) const;
    std::size_t entryCount(std::size_t row) const;
    std::u16string_view editText(std::size_t row) const;
    bool countdownRunning() const { return countdown_.running(); }
    int remainingSeconds() const { return countdown_.remainingSeconds(); }

    // After outcome 1: the confirmation text (at most 1,600 characters; its
    // length is returned), the joined output and the enciphered output as
    // hexadecimal text. Any other outcome empties the three and returns 0.
    std::size_t ReadResults(std::u16string& confirmation, std::u16string& joined,
                            std::u16string& encipheredHex) const;
    // After outcome 1: every row the bank receives (no PIN), by the form's
    // own names, and the form's title, as data for the confirmation's host
    // block: nothing the page wrote can become a tag there.
    const HostBlock& confirmationRows() const { return confirmationRows_; }
    const std::u16string& confirmationTitle() const { return doc_.titleCopy; }

  private:
    bool TakesInput(std::size_t row) const;
    bool KeypadServes(std::size_t row) const;
    void Activate(std::optional<std::size_t> row);
    void ApplyPrefills();
    bool ApplyPrefill(std::size_t row, std::u16string& plain);
    void ShowEntry(std::size_t row);
    void ShowText(std::size_t row, std::u16string_view text);
    bool RowPasses(std::size_t row) const;
    void EvaluateOk();
    void RefreshRows();
    bool CollectValues(std::u16string& joined, std::vector<std::u16string>& plain);
    void Finish(std::u16string& joined, std::vector<std::u16string>& plain);
    void Wipe();
    void End(int outcome);

    std::optional<std::u16string> documentText_;
    MultiFieldServices services_;
    EntryDocument doc_;
    SecureKeypad keypad_{KeypadKind::kEntry};
    std::array<EntryField, kMaxEntryRows> entries_;
    std::array<std::u16string, kMaxEntryRows> edits_;
    std::array<std::u16string, kMaxEntryRows> reviewTexts_;  // review mode: drop-down rows
    Countdown countdown_{kDefaultCountdownSeconds};
    std::optional<std::size_t> active_;
    MultiFieldViewModel view_;
    std::optional<int> outcome_;
    bool opened_ = false;
    std::u16string confirmation_;
    HostBlock confirmationRows_;
    std::u16string joined_;
    std::u16string encipheredHex_;
};

// The name the rest of the system knows the dialog by.
using CWebComDlg = MultiFieldDialog;

}  // namespace qorv::dialogs
