// The one way every confirmation runs: the confirmed and PIN-pad methods,
// the guided transfer and the common-account entry all show the dialog
// through RunConfirmation, so the host block, the checks and the mapping of
// the outcome to a result code are written once.
//
//   dialogs::ConfirmationRequest request{summary, pMoney, pAccount, pImprtAccnt,
//                                        dialogs::ConfirmationMode::Transfer};
//   if (const int32_t rc = RunConfirmation(ui, session, slot, std::move(request)); rc != 0)
//       return rc;  // 20756, 20757, 20758
//   ... the card step ...
#pragma once

#include <cstdint>
#include <string>

#include "base/results.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/user_interface.h"
#include "reader/reader_session.h"

namespace qorv::procedures {

// Results that one code serves for several causes, named by what they mean.
inline constexpr int32_t kConfirmationCancelled = result::kWrite69F0;  // also timed out
inline constexpr int32_t kPinPadRequired = result::kWrite6610;

// 0 for OK, 20757 for an account the summary does not show (101), 20758
// for an amount or transfer-in account it does not show (102), 20756 for
// everything else (cancel, time-out).
int32_t ConfirmationResult(int outcome);

// Asks whether a card can be connected in the reader that `slot` holds when
// the probe is made: the reader session's connect by name, share type
// exclusive. While our own connection holds the card the connect reuses it
// (present); once the card is pulled the connect fails with "no smart card"
// or "removed card" (absent); when the card is back the session's recovery
// connects it again, in the same slot.
class ReaderCardProbe final : public dialogs::CardPresenceProbe {
  public:
    ReaderCardProbe(reader::ReaderSession& session, int32_t slot);
    dialogs::CardPresence Poll() override;
    // The connect result of the last poll.
    int32_t lastResult() const { return lastResult_; }
    const std::u16string& readerName() const { return readerName_; }

  private:
    reader::ReaderSession& session_;
    std::u16string readerName_;
    int32_t lastResult_ = 0;
};

// Checks the summary and, when it holds what the card will be given, shows
// the confirmation on the card of `slot` until it ends. `transferIn` serves
// the guided transfer only.
int32_t RunConfirmation(dialogs::UserInterface& ui, reader::ReaderSession& session, int32_t slot,
                        dialogs::ConfirmationRequest request,
                        dialogs::TransferInProcessing* transferIn = nullptr);

}  // namespace qorv::procedures
