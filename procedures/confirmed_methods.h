// The confirmed and PIN-pad card methods: a transaction, a supplied record
// or a PIN step that the customer confirms first (the confirmation runs
// through RunConfirmation) or that the PIN-pad reader collects the PIN for.
// The control's handlers only pass their arguments on.
#pragma once

#include <cstdint>

#include "base/script_value.h"
#include "card/card_engine.h"
#include "card/transaction_records.h"
#include "dialogs/user_interface.h"

namespace qorv::procedures {

// What every method here works with: the engine, the person, and where a
// card's transaction results go.
struct CardMethodContext {
    card::CCardEngine& engine;
    dialogs::UserInterface& ui;
    card::TransactionResults& results;
};

// A transaction with confirmation, in an own session on the named reader;
// `password` is null for the SndEx forms, whose PIN the reader collects
// when the card is asked to write.
struct ConfirmedTransaction {
    card::TransactionRequest request;
    const ScriptText& readerName;
    const ScriptText* password = nullptr;
    const ScriptText& showMsg;
};

int32_t AuthoriseConfirmed(const CardMethodContext& context,
                           const ConfirmedTransaction& transaction);
// The Snd forms: a message box, then the PIN on the reader's pad.
int32_t AuthoriseOnPinPad(const CardMethodContext& context, const card::TransactionRequest& request,
                          const ScriptText& readerName);
// The page's own record (up to 128 one-byte characters) into record file
// 10 after the confirmation; `password` null: no PIN step.
int32_t WriteRecordConfirmed(const CardMethodContext& context, const ScriptText& readerName,
                             const ScriptText& apduCmd, const ScriptText& showMsg,
                             const ScriptText* password);

// The PIN methods work on the current reader (`slot`) and leave its session
// open. `pin` null: the PIN is typed on the reader's pad.
int32_t VerifyPinConfirmed(card::CCardEngine& engine, dialogs::UserInterface& ui, int32_t slot,
                           const ScriptText* pin, const ScriptText& showMsg);
int32_t VerifyPinOnPadPrompted(card::CCardEngine& engine, dialogs::UserInterface& ui, int32_t slot);
// `oldPin` and `newPin` both null: both are typed on the reader's pad;
// `showMsg` null: a message box instead of the confirmation.
int32_t ChangePinConfirmed(card::CCardEngine& engine, dialogs::UserInterface& ui, int32_t slot,
                           const ScriptText* oldPin, const ScriptText* newPin,
                           const ScriptText* showMsg, const ScriptText& account);

}  // namespace qorv::procedures
