#include "dialogs/card_confirmation.h"

#include <algorithm>
#include <utility>

#include "base/results.h"

namespace qorv::dialogs {

ReaderCardProbe::ReaderCardProbe(reader::ReaderSession& session, int32_t slot)
    : session_(session), readerName_(session.slotName(slot)) {}

CardPresence ReaderCardProbe::Poll() {
    reader::Atr atr;
    int32_t slot = 0;
    lastResult_ = session_.ConnectByName(readerName_, reader::kShareTypeExclusive, slot, atr);
    return PresenceFromConnectResult(lastResult_);
}

int32_t ConfirmationResult(int outcome) {
    switch (outcome) {
        case kConfirmOk:
            return result::kOk;
        case kConfirmAccountNotInSummary:
            return result::kAccountMismatch;
        case kConfirmAmountNotInSummary:
            return result::kSummaryMismatch;
        default:
            return result::kWrite69F0;
    }
}

bool IsAllZeroAmount(const std::u16string& amount) {
    return std::all_of(amount.begin(), amount.end(), [](char16_t c) { return c == u'0'; });
}

CardConfirmation::CardConfirmation(UserInterface& ui, reader::ReaderSession& session, int32_t slot,
                                   ConfirmationRequest request, TransferInProcessing* transferIn)
    : ui_(ui),
      probe_(session, slot),
      sink_(ui),
      dialog_(std::move(request), probe_, sink_, transferIn) {}

int CardConfirmation::RunForOutcome() {
    if (const auto ended = dialog_.Open()) return *ended;
    return ui_.RunConfirmation(dialog_);
}

}  // namespace qorv::dialogs
