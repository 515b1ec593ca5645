// CommAccountProc: the guided common-account entry. The customer fills in the
// bank's form in the multi-field entry dialog, confirms it by taking the card
// out of the reader and putting it back, and, when the form itself asks for
// no PIN, types the PIN on a PIN-pad reader. The page reads the joined values
// in clear and enciphered for the bank (GetClearCommAcc, GetEncCommAcc).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/script_value.h"
#include "card/card_engine.h"
#include "dialogs/user_interface.h"

namespace qorv::procedures {

// The values the control keeps for its getters; replaced as soon as the
// entry dialog ends with OK, so they stay readable after a later cancel.
struct CommonAccountData {
    std::u16string& clear;
    std::u16string& enciphered;
};

// 0; 8195 or 8194 for a missing or malformed reader name, or the connect
// result; 20486 for a PIN-pad form on a reader that is no PIN-pad model or a
// PIN the card refused in the form; 20756 when a dialog was cancelled or
// timed out; in mode 26 20481 or the pad verify's mapped status (1, 20484,
// 20485). The reader session is closed on every exit after the connect.
int32_t CommAccountProc(card::CCardEngine& engine, dialogs::UserInterface& ui,
                        const ScriptText& readerName, const ScriptText& sessionKeyHash,
                        const ScriptText& cpukEncSessionKey, const ScriptText& commonInfo,
                        CommonAccountData kept);

}  // namespace qorv::procedures
