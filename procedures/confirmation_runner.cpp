#include "procedures/confirmation_runner.h"

#include <utility>

#include "dialogs/message_sink.h"

namespace qorv::procedures {

int32_t ConfirmationResult(int outcome) {
    switch (outcome) {
        case dialogs::kConfirmOk:
            return result::kOk;
        case dialogs::kConfirmAccountNotInSummary:
            return result::kAccountMismatch;
        case dialogs::kConfirmAmountNotInSummary:
            return result::kSummaryMismatch;
        default:
            return kConfirmationCancelled;
    }
}

ReaderCardProbe::ReaderCardProbe(reader::ReaderSession& session, int32_t slot)
    : session_(session), readerName_(session.slotName(slot)) {}

dialogs::CardPresence ReaderCardProbe::Poll() {
    reader::Atr atr;
    int32_t slot = 0;
    lastResult_ = session_.ConnectByName(readerName_, reader::kShareTypeExclusive, slot, atr);
    return dialogs::PresenceFromConnectResult(lastResult_);
}

int32_t RunConfirmation(dialogs::UserInterface& ui, reader::ReaderSession& session, int32_t slot,
                        dialogs::ConfirmationRequest request,
                        dialogs::TransferInProcessing* transferIn) {
    // Polled by the reader's name: the handle of a card taken out answers
    // "removed" for ever, so the card put back would never be seen.
    ReaderCardProbe probe(session, slot);
    dialogs::UserInterfaceMessageSink messages(ui);
    dialogs::ConfirmationDialog dialog(std::move(request), probe, messages, transferIn);
    if (const std::optional<int> ended = dialog.Open()) return ConfirmationResult(*ended);
    const int shown = ui.RunConfirmation(dialog);
    // A window that ended OK ends with the logic's outcome; anything else
    // (closed, the page gone) is a cancel.
    return ConfirmationResult(shown == dialogs::kDialogOk ? dialog.outcome().value_or(shown)
                                                          : shown);
}

}  // namespace qorv::procedures
