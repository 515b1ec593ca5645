// PIN-pad readers: the reader models that collect the PIN on their own
// keypad, and the card steps that leave the PIN to them. The card gets a
// command with a placeholder; the reader lets the customer type the PIN (and
// check the transaction data), puts the PIN in and passes the command on.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/script_value.h"
#include "card/card_engine.h"

namespace qorv::card {

// Reader classes: 0 no PIN-pad reader; 1 and 3 take the FF placeholder, 2 the
// class 2 form of the verify on pad.
inline constexpr int32_t kReaderClassNone = 0;
inline constexpr int32_t kReaderClass1 = 1;
inline constexpr int32_t kReaderClass2 = 2;
inline constexpr int32_t kReaderClass3 = 3;
// Not a model: a reader that announced secure PIN entry of its own (PC/SC
// part 10); it takes the card's own verify with the PIN typed on its keypad.
inline constexpr int32_t kReaderClassPinDirect = 4;

// Longest names first where one model's name begins with another's.
struct PinPadModel {
    std::string_view prefix;
    int32_t readerClass;
};
inline constexpr PinPadModel kPinPadModels[] = {
    {"Todos eCode Connectable II", kReaderClass1},
    {"ACS ACR83U", kReaderClass2},
    {"Todos eCode Connectable", kReaderClass3},
    {"ACS APG8201", kReaderClass1},
    {"CASTLES EZpad", kReaderClass2},
};

// Longest reader name looked at; the models' names are far shorter.
inline constexpr std::size_t kClassifiedNameUnits = 255;

// The class of the reader by the beginning of its name as PC/SC reports it
// (ASCII letters without regard to case), or 8195 for a missing or empty name.
int32_t ClassifyPinPadReader(const ScriptText& readerName);
// The same for a reader whose card is connected in `slot`: a name that is no
// model's gives kReaderClassPinDirect when the reader announced secure PIN
// entry, else 0.
int32_t ClassifyConnectedPinPadReader(CCardEngine& engine, int32_t slot,
                                      const ScriptText& readerName);

// Select the application (20481 on failure), then the verify on pad with the
// FF placeholder: 0, 20485, 20484 or 1 (verify-status mapping). No prompt.
// A reader with secure PIN entry of its own that is not a model takes the
// card's verify through it instead (its cancel, time-out or refusal: 1).
int32_t VerifyPinOnPad(CCardEngine& engine, int32_t readerIndex);
// The same with the class 2 form, 80 20 00 10 without data.
int32_t VerifyPinOnPadClass2(CCardEngine& engine, int32_t readerIndex);
// The form the reader's class takes (class 2: the class 2 form, else FF or,
// for kReaderClassPinDirect, the reader's own PIN entry).
int32_t VerifyPinOnPadForClass(CCardEngine& engine, int32_t readerIndex, int32_t readerClass);

// The application is selected and the account checked: select the PIN file
// (20481 on failure), then the change on pad; verify-status mapping. A
// reader with secure PIN entry and PIN change of its own that is not a
// model: the old PIN verified on its keypad, the PIN file selected (20481),
// the new PIN typed twice and written.
int32_t ChangePinOnPad(CCardEngine& engine, int32_t readerIndex);

// The application is selected and both PIN texts passed CheckPinTexts:
// present the old PIN (verify-status mapping on failure), select the PIN
// file (20481), write the new PIN (0, or the card's status word).
int32_t ReplacePin(CCardEngine& engine, int32_t readerIndex, std::u16string_view oldPin,
                   std::u16string_view newPin);

}  // namespace qorv::card
