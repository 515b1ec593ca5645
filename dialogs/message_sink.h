// Where the dialog logic reports the messages that the dialogs show in a
// message box (caption "Qorv銀行", one OK button). The logic never shows a
// window itself, so it runs headless and tests can collect the messages.
#pragma once

#include <string>
#include <string_view>

#include "dialogs/user_interface.h"

namespace qorv::dialogs {

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Returns when the person has acknowledged the message.
    virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
    // Under the system's own caption, "Qorv銀行".
    void ShowMessage(std::u16string_view text) { ShowMessage(text, kMessageCaption); }
};

// Shows each message in a message box of the user interface.
class UserInterfaceMessageSink final : public MessageSink {
  public:
    using MessageSink::ShowMessage;
    explicit UserInterfaceMessageSink(UserInterface& ui) : ui_(ui) {}
    void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
        ui_.ShowMessage(std::u16string(text), std::u16string(caption));
    }

  private:
    UserInterface& ui_;
};

// Messages of the configuration document.
inline constexpr char16_t kMsgCheckDocument[] = u"請確認正確XML資料";
inline constexpr char16_t kMsgNoDocumentMemory[] = u"無法配置XML記憶體";
inline constexpr char16_t kMsgNoListData[] = u"無XML下拉選單資料";
inline constexpr char16_t kMsgListDataFailed[] = u"獲取XML下拉選單資料失敗";
// "第%d項之預設值錯誤,忽略" with the 1-based row number.
std::u16string BadPrefillMessage(int rowNumber);

// Messages of the keypad, the input filters and the countdown.
inline constexpr char16_t kMsgMustBeDigits[] = u"必須為數字";
inline constexpr char16_t kMsgMustBeEmailCharacters[] = u"必須為EMAIL合法字元";
inline constexpr char16_t kMsgTimedOut[] = u"交易時間逾時，請重新執行交易 !";

}  // namespace qorv::dialogs
