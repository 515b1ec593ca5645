// PIN entry on any reader with secure PIN entry of its own (PC/SC part 10):
// the card's verify and PIN write go to the reader as structures, the
// customer types on the reader's keypad and the reader hands back the
// card's status word. Readers of the PIN-pad model table keep their own
// placeholder commands and never take this path.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "card/pin_entry_structures.h"
#include "reader/reader_session.h"

namespace qorv::card {

// True when the connected reader in `slot` is not a PIN-pad model and
// announced VERIFY_PIN_DIRECT (and, for a change, MODIFY_PIN_DIRECT).
bool TakesPinDirect(reader::ReaderSession& session, int32_t slot);
bool TakesPinChangeDirect(reader::ReaderSession& session, int32_t slot);

// The reader's answer to a verify or modify structure as an exchange
// result: 0 for 90 00, else the status word (64 00 nothing typed in time,
// 64 01 cancelled on the reader, or the card's); -1 when the reader refused
// the structure or answered no status word.
int32_t PadAnswerResult(int32_t controlResult, std::span<const uint8_t> answer);

// Narrows a structure to what the reader said of itself: the PIN lengths
// both take, no prompts for a reader without a display. False when the
// reader cannot take a PIN of this card's length at all.
template <std::size_t N>
bool FitToReader(std::array<uint8_t, N>& structure, const PinEntryFields& fields,
                 const reader::PinPadProperties& reader);

// The verify with the PIN typed on the reader; exchange result as above.
int32_t VerifyPinDirect(reader::ReaderSession& session, int32_t slot);
// The PIN record written with the new PIN typed (twice) on the reader; the
// PIN file is selected and the old PIN verified.
int32_t ModifyPinDirect(reader::ReaderSession& session, int32_t slot);

// Which way a reader takes the PIN, for the reader information:
// "model table, class N", "part 10" or "none".
std::u16string_view PinPadPathName(reader::ReaderSession& session, int32_t slot);

}  // namespace qorv::card
