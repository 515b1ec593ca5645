// Running the transaction confirmation dialog for a card step: the dialog
// polls the card in the reader the caller connected, its time-out messages
// go to the user interface, and its outcome becomes the caller's result.
//
//   dialogs::ConfirmationRequest request = dialogs::SummaryRequest(*pShowMsg, 4);
//   request.amount = pMoney;
//   request.account = pAccount;
//   dialogs::CardConfirmation confirm(ui, session, slot, std::move(request));
//   if (const int32_t rc = confirm.Run(); rc != 0) return rc;  // 20756, 20757, 20758
//   ... the card step ...
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/user_interface.h"
#include "reader/reader_session.h"

namespace qorv::dialogs {

// Asks whether a card can be connected in the reader that `slot` holds when
// the probe is made: the reader session's connect by name, share type
// exclusive, as every card connect of the engine. While our own connection
// holds the card the connect reuses it (the card is present); once the card
// is pulled the connect and the reconnect of our handle fail with "no smart
// card" or "removed card" (absent); when the card is back the session's
// recovery connects it again, so the card step after the dialog finds it
// connected, in the same slot.
class ReaderCardProbe final : public CardPresenceProbe {
  public:
    ReaderCardProbe(reader::ReaderSession& session, int32_t slot);
    CardPresence Poll() override;
    // The connect result of the last poll.
    int32_t lastResult() const { return lastResult_; }
    const std::u16string& readerName() const { return readerName_; }

  private:
    reader::ReaderSession& session_;
    std::u16string readerName_;
    int32_t lastResult_ = 0;
};

// The dialog's message boxes, shown by the user interface (caption "Qorv銀行").
class UserInterfaceConfirmationSink final : public ConfirmationMessageSink {
  public:
    explicit UserInterfaceConfirmationSink(UserInterface& ui) : ui_(ui) {}
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override {
        ui_.ShowMessage(text, caption);
    }

  private:
    UserInterface& ui_;
};

// What a confirmed method returns for a dialog outcome: 0 for OK, 20757 for
// an account missing from the summary (101), 20758 for a missing amount or
// transfer-in account (102), 20756 for everything else (cancel, time-out).
int32_t ConfirmationResult(int outcome);

// An amount of nothing but '0' characters (also the empty text): the
// withdrawal methods then confirm in the modes that compare nothing.
bool IsAllZeroAmount(const std::u16string& amount);

// A request that compares nothing with the summary (and shows no values).
inline ConfirmationRequest SummaryRequest(const std::u16string& message, int mode) {
    ConfirmationRequest request;
    request.message = message;
    request.mode = mode;
    return request;
}

// One confirmation dialog on the card of `slot`, shown through `ui`.
class CardConfirmation {
  public:
    CardConfirmation(UserInterface& ui, reader::ReaderSession& session, int32_t slot,
                     ConfirmationRequest request, TransferInProcessing* transferIn = nullptr);
    CardConfirmation(const CardConfirmation&) = delete;
    CardConfirmation& operator=(const CardConfirmation&) = delete;

    // Checks the summary and, when it holds what the card will be given,
    // shows the dialog until it ends. Returns the dialog's outcome (1, 2,
    // 101, 102); the page's summary is never shown after a failed check.
    int RunForOutcome();
    // RunForOutcome mapped with ConfirmationResult.
    int32_t Run() { return ConfirmationResult(RunForOutcome()); }

    ConfirmationDialog& dialog() { return dialog_; }
    const ReaderCardProbe& probe() const { return probe_; }

  private:
    UserInterface& ui_;
    ReaderCardProbe probe_;
    UserInterfaceConfirmationSink sink_;
    ConfirmationDialog dialog_;
};

}  // namespace qorv::dialogs
