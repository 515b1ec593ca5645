// CTryFirm, the transaction confirmation dialog, as plain logic: the Qt view
// shows `view()` and feeds the model its timer ticks and button presses.
//
// Opening checks the summary against the values passed to the card (outcome
// 101 or 102 without showing anything). Then the customer has 60 seconds in
// all to take the card out of the reader, put it back and press OK:
//   first phase   every tick polls the card; once a card is seen again after
//                 at least one poll without it, the second phase begins;
//   second phase  OK is enabled exactly while the card is present;
// each fourth tick (once a second) counts the countdown down. Running out
// shows a message box and ends with outcome 2, like Cancel.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/confirmation_mode.h"
#include "dialogs/confirmation_summary.h"
#include "dialogs/host_block.h"
#include "dialogs/message_sink.h"

namespace qorv::dialogs {

// Outcomes of the dialog. A check that fails ends it with 101 for the
// account, 102 for the amount or the transfer-in account: a value missing
// from its tag, a checked tag holding a control, format or foreign digit
// character, or a page row under the host block's words that does not
// carry the block's value.
inline constexpr int kConfirmOk = 1;
inline constexpr int kConfirmCancelled = 2;  // Cancel pressed or a time limit ran out
inline constexpr int kConfirmAccountNotInSummary = 101;
inline constexpr int kConfirmAmountNotInSummary = 102;  // also the transfer-in account

// The card is polled once per tick.
inline constexpr std::chrono::milliseconds kConfirmationPollPeriod{250};
inline constexpr int kPollsPerSecond = 4;
// The time the customer has to take the card out, put it back and press OK.
inline constexpr int kConfirmationSeconds = 60;

// Control identifiers of the dialog template; the view names its widgets so.
namespace confirm_control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kTag17Value = 1001;  // multi-line edit field
inline constexpr int kTitle = 1011;       // Tag1
inline constexpr int kNote1 = 1012;       // Tag2
inline constexpr int kNote2 = 1013;       // Tag3
// Tag4-Tag16 and Tag18, Tag19 go to 1014-1029 in order (Tag4 to 1014, ...);
// Tag11's place 1021 holds the secure display field instead of a label.
inline constexpr int kTransferInSecureField = 1021;
inline constexpr int kCountdown = 1030;
inline constexpr int kAnimation = 1036;
}  // namespace confirm_control

// The control that shows tag `number` (1-19).
int ControlForTag(int number);

enum class CardPresence { Present, Absent };

// Asks the reader whose name the dialog copied whether a card can be
// connected. Implementations map the connect result with
// PresenceFromConnectResult.
class CardPresenceProbe {
  public:
    virtual ~CardPresenceProbe() = default;
    virtual CardPresence Poll() = 0;
};

// Success means present; "no smart card" and "removed card" mean absent;
// any other failure (for example a sharing violation while another program
// holds the card) counts as present.
CardPresence PresenceFromConnectResult(int32_t result);

// A probe over any connect attempt that answers with a PC/SC result, for
// example the reader session's probe of the slot the caller connected.
class ConnectResultProbe final : public CardPresenceProbe {
  public:
    explicit ConnectResultProbe(std::function<int32_t()> connect) : connect_(std::move(connect)) {}
    CardPresence Poll() override { return PresenceFromConnectResult(connect_()); }

  private:
    std::function<int32_t()> connect_;
};

inline constexpr char16_t kConfirmationMessageCaption[] = u"Qorv銀行";
inline constexpr char16_t kConfirmationDialogCaption[] = u"Qorv銀行_網路Tellra";
inline constexpr char16_t kInsertionTimeoutText[] = u"超過允許插拔時間,取消交易";
inline constexpr char16_t kConfirmTimeoutText[] = u"超過允許交易時間，取消交易。";

// The secure display field in the transfer-in account's place: the view
// shows `text` in the field's display `mode`; a scrambled text unscrambles
// under `displayOffset`.
struct SecureFieldContent {
    std::u16string text;
    int mode = 6;
    uint32_t displayOffset = 0;
};

// Mode 23's transfer-in processing (the guided transfer): at opening, after
// the checks, it may fill tag places (Tag9's and Tag15's) and the secure
// field of the fourth row, and show its own messages. The processing code
// and the transfer values it yields after OK are its own business.
class TransferInProcessing {
  public:
    virtual ~TransferInProcessing() = default;
    virtual void PrepareDisplay(SummaryTags& tags, SecureFieldContent& transferInField,
                                MessageSink& messages) = 0;
    // After PrepareDisplay: the rows it adds to the host block.
    virtual HostBlock ProducedRows() const { return {}; }
};

// What the dialog is given by its caller. A value that is absent is not
// passed (the caller has nothing for it).
struct ConfirmationRequest {
    std::u16string message;  // the tagged summary
    std::optional<std::u16string> amount;
    std::optional<std::u16string> account;
    std::optional<std::u16string> transferIn;
    ConfirmationMode mode = ConfirmationMode::VerifyPin;
    // What a guided procedure produced, shown in the host block after the
    // accounts (the entry form's values, as data: never read from tags).
    HostBlock produced{};
    // The title in Tag1's place when the caller has no tagged summary.
    std::u16string title{};
};

// One text control of the view.
struct ViewLabel {
    int control = 0;
    std::u16string text;
    bool visible = true;
};

// What the view shows. Rows whose label and value are both empty are hidden.
struct ConfirmationView {
    std::u16string caption = kConfirmationDialogCaption;
    // First, above the page's rows, never clipped: the host's own values.
    HostBlock hostBlock;
    std::array<ViewLabel, 19> tagLabels{};  // by tag: entry 0 is Tag1's control
    SecureFieldContent transferInField;     // in control 1021
    bool transferInFieldVisible = false;
    std::u16string countdown;  // control 1030
    bool okEnabled = false;
    bool okVisible = true;
    std::u16string okText = u"確定";
    std::u16string cancelText = u"取消";
    std::array<uint8_t, 3> buttonColour{0xFE, 0xEE, 0xE2};  // red, green, blue

    // The text of a control, empty for one the view does not know.
    std::u16string TextOf(int control) const;
    bool IsVisible(int control) const;
};

enum class ConfirmationPhase { Opening, TakeOut, PressOk, Ended };

class ConfirmationDialog {
  public:
    // `transferIn` is used in mode 23 only; it may be null.
    ConfirmationDialog(ConfirmationRequest request, CardPresenceProbe& probe, MessageSink& messages,
                       TransferInProcessing* transferIn = nullptr);
    ConfirmationDialog(const ConfirmationDialog&) = delete;
    ConfirmationDialog& operator=(const ConfirmationDialog&) = delete;

    // Checks the summary and fills the view. Returns the outcome when the
    // dialog ends right there (101, 102), otherwise nothing: show the dialog
    // and start ticking every kConfirmationPollPeriod.
    std::optional<int> Open();
    // One period of the poll timer.
    void Tick();
    // Ignored unless OK is enabled.
    void PressOk();
    void PressCancel();
    // Enter never confirms: only a click on OK does.
    void PressEnter() {}

    ConfirmationPhase phase() const { return phase_; }
    bool timerRunning() const {
        return phase_ == ConfirmationPhase::TakeOut || phase_ == ConfirmationPhase::PressOk;
    }
    std::optional<int> outcome() const { return outcome_; }
    int remainingSeconds() const { return remaining_; }
    const ConfirmationView& view() const { return view_; }
    const SummaryTags& tags() const { return tags_; }
    const ConfirmationRequest& request() const { return request_; }

  private:
    std::optional<int> CheckSummary();
    std::optional<int> CheckPageRows() const;
    void FillView();
    void TickTakeOut();
    void TickPressOk();
    void End(int outcome);
    void TimeOut(const char16_t* text);

    ConfirmationRequest request_;
    ConfirmationModeRule rule_;
    CardPresenceProbe& probe_;
    MessageSink& messages_;
    TransferInProcessing* transferIn_;
    SummaryTags tags_;
    ConfirmationView view_;
    ConfirmationPhase phase_ = ConfirmationPhase::Opening;
    std::optional<int> outcome_;
    int remaining_ = kConfirmationSeconds - 1;
    int absentPolls_ = 0;
    int phasePolls_ = 0;
};

// The countdown texts, with the remaining seconds filled in.
std::u16string TakeOutAndPutBackMessage(int seconds);
std::u16string PutCardInMessage(int seconds);
std::u16string PressOkMessage(PromptGroup group, int seconds);

}  // namespace qorv::dialogs
