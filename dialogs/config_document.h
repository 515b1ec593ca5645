// The configuration document of the two entry dialogs: the page's text that
// sets the dialog's caption, title, countdown, key order and keyboard mode
// and defines up to 10 entry rows (multi-field dialog) or 3 account lists
// (transfer account dialog). Read once when the dialog opens; the results
// are plain values for the dialog to apply. Problems are reported through a
// MessageSink as the messages the dialogs show.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/list_data.h"
#include "dialogs/message_sink.h"

namespace qorv::dialogs {

inline constexpr std::size_t kMaxEntryRows = 10;
inline constexpr std::size_t kTransferLists = 3;
inline constexpr std::size_t kMaxEntryElementText = 63999;
inline constexpr std::size_t kMaxEntryListData = 4999;
inline constexpr std::size_t kMaxPrefill = 128;
inline constexpr std::size_t kMaxKeptName = 63;
inline constexpr int kDefaultCountdownSeconds = 180;
inline constexpr int kReviewMode = 2;  // FunType of the multi-field review mode

inline constexpr char16_t kTemplateCaption[] = u"Qorv銀行_網路Tellra";
inline constexpr char16_t kTemplateTitle[] = u"常用轉入帳號 - 新增";

// Deciphers a session-enciphered content (hexadecimal text). The dialogs
// use SessionFieldDecipher; tests give their own.
class FieldDecipher {
  public:
    virtual ~FieldDecipher() = default;
    // false on any failure; plain is then empty.
    virtual bool Decipher(std::u16string_view hex, std::u16string& plain) = 0;
};

// SessionFieldCipher in the decrypt direction (hexadecimal input, chaining
// mode 1) under the session key of the call; the key store is wiped right
// after every call, whatever its outcome.
class SessionFieldDecipher final : public FieldDecipher {
  public:
    SessionFieldDecipher(std::u16string sessionKeyHash, std::u16string cpukEncSessionKey)
        : sessionKeyHash_(std::move(sessionKeyHash)),
          cpukEncSessionKey_(std::move(cpukEncSessionKey)) {}
    bool Decipher(std::u16string_view hex, std::u16string& plain) override;

  private:
    std::u16string sessionKeyHash_;
    std::u16string cpukEncSessionKey_;
};

// Whether a key order selector (KeyOrder, transfer KeyType) asks for the
// fixed order: 1, 4 or 6.
constexpr bool IsFixedKeyOrder(int selector) {
    return selector == 1 || selector == 4 || selector == 6;
}

struct EntryRow {
    std::u16string name;      // row label, each "%%" turned into CR LF
    std::u16string nameCopy;  // for the confirmation text, at most 63 characters
    char16_t type = u'0';     // '0'..'7'
    char16_t keyType = u'0';
    char16_t ciph = u'0';  // '0': plain content
    int min = 0;
    int defaultValue = 0;  // drop-down: preselected index; input: greatest length
    int keyboardFlag = 0;  // 1 keypad, 0 keyboard (KeyType '3', '4' start with 1)

    bool IsDropDown() const { return type == u'0' || type == u'1' || type == u'2'; }
    bool IsEnciphered() const { return ciph != u'0'; }

    // Drop-down rows: the list data as written (still enciphered when ciph
    // is set; read again on OK), the shown items and the preselected index
    // (-1: none). listEnabled is false when the row has no usable data.
    std::u16string listData;
    std::vector<ListItem> items;
    int selectedIndex = -1;
    bool listEnabled = false;

    // Input rows, and drop-down rows in review mode: the pre-filled value as
    // written (still enciphered when ciph is set). hasPrefill tells an
    // empty value from none.
    std::u16string prefill;
    bool hasPrefill = false;
};

struct EntryDocument {
    int funType = 0;
    std::u16string caption = kTemplateCaption;
    std::u16string title = kTemplateTitle;
    std::u16string titleCopy = std::u16string(kTemplateTitle);  // at most 63 characters
    int countdownSeconds = kDefaultCountdownSeconds;
    std::optional<std::u16string> countdownText;  // TimeOut as written
    int keyOrder = 0;
    int foxShow = 0;
    std::vector<EntryRow> rows;  // at most 10

    bool IsReviewMode() const { return funType == kReviewMode; }
    ~EntryDocument();
};

struct TransferList {
    std::u16string name;  // radio caption, at most 63 characters; empty: keep the template's
    char16_t type = u'0';
    char16_t ciph = u'0';
    int defaultValue = 0;
    std::u16string listData;  // as written
    std::vector<ListItem> items;
    int selectedIndex = 0;  // Default, or 0 when Default is not a shown item
    bool hasData = false;

    bool IsEnciphered() const { return ciph != u'0'; }
};

struct TransferDocument {
    std::u16string caption = kTemplateCaption;
    int keyType = 0;  // 0..6 (anything else becomes 0)
    int countdownSeconds = kDefaultCountdownSeconds;
    std::optional<std::u16string> countdownText;
    int addComm = 0;  // 1 hides the "加入常用帳號" check box
    int check = 0;    // 1 starts the check box checked (unless addComm is 1)
    int foxShow = 0;
    // Element 0: agreed accounts (1093), 1: common accounts (1091), 2: banks (1092).
    std::array<TransferList, kTransferLists> lists;
    std::size_t listCount = 0;

    bool CheckBoxStartsChecked() const { return check == 1 && addComm != 1; }
    ~TransferDocument();
};

// Read the document. false (after the message "請確認正確XML資料") when it is
// missing or empty: the dialog then ends as cancelled. Row and list problems
// are reported and leave that row or list without data.
bool ReadEntryDocument(const std::optional<std::u16string>& document, FieldDecipher& decipher,
                       MessageSink& messages, EntryDocument& out);
bool ReadTransferDocument(const std::optional<std::u16string>& document, FieldDecipher& decipher,
                          MessageSink& messages, TransferDocument& out);

// The selected item of a list read again for OK: deciphered once more when
// the list is enciphered (failure: "獲取XML下拉選單資料失敗" and nullopt), the
// deciphered copy wiped after use. nullopt also when index is not an item.
std::optional<ListItem> ReadSelectedItem(std::u16string_view listData, bool enciphered, int index,
                                         ListKind kind, FieldDecipher& decipher,
                                         MessageSink& messages);

// The pre-filled value of an entry row, ready to apply: deciphered when the
// row is enciphered (length a multiple of 16), checked against the row's
// Type ('3' digits only, '4' letters and digits) and against maxLength.
enum class PrefillResult { kNone, kApply, kStop };
// kNone: the row has no pre-filled value. kApply: plain holds it (wipe it
// after use). kStop: "第%d項之預設值錯誤,忽略" was reported; this row and every
// later row keep no pre-filled value.
PrefillResult ResolvePrefill(const EntryRow& row, int rowNumber, std::size_t maxLength,
                             FieldDecipher& decipher, MessageSink& messages, std::u16string& plain);

}  // namespace qorv::dialogs
