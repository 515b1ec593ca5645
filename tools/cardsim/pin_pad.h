// The firmware of a PIN-pad reader in front of the simulated card. Hosts send
// such a reader commands that carry a placeholder instead of the PIN; the
// reader lets the customer type the PIN on its keypad and passes the command
// on with the PIN in it:
//
//   00 20 00 10 08 FF x8   verify on the pad: the typed PIN goes to the card
//   80 20 00 10            the same, the form some readers expect
//   00 20 00 10 08 F0 x8   change on the pad (PIN file selected): the typed
//                          old PIN is verified, then 00 D2 01 04 08 writes
//                          the typed new PIN
//   00 E2 ...              a transaction write while no PIN is verified: the
//                          reader verifies the typed PIN first and passes the
//                          write on only when the card accepted it
//
// What the customer does on the pad is set by the control interface or the
// profile. A customer who presses Cancel on the pad gets 64 01, one who
// types nothing gets 64 00 (the statuses CCID PIN-pad readers answer); the
// card then sees no command at all. A reader that is not a PIN-pad passes
// every command to the card unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/cardsim/card_profile.h"
#include "tools/cardsim/fisc_card.h"

namespace qorv::cardsim {

namespace sw {
inline constexpr uint16_t kPadTimedOut = 0x6400;
inline constexpr uint16_t kPadCancelled = 0x6401;
}  // namespace sw

class PinPadReader {
  public:
    PinPadReader() = default;
    explicit PinPadReader(PinPadSettings settings) : settings_(settings) {}

    const PinPadSettings& settings() const { return settings_; }
    void Configure(PinPadSettings settings) { settings_ = settings; }
    // The reader takes the PIN through PC/SC part 10 structures (the driver
    // says so when the card links to it): placeholders are not filled in.
    void SetSecureEntryReader(bool secureEntry) { secureEntryReader_ = secureEntry; }

    // Passes one command APDU through the reader to the card.
    std::vector<uint8_t> Process(FiscCard& card, std::span<const uint8_t> command);

    // Applies one "pad ..." control line (the words after "pad"); returns
    // the answer line.
    std::string HandleControl(const std::string& arguments);
    // The pad's state for the status line.
    std::string Describe() const;
    // What the customer does, for a part 10 reader that puts the PIN into the
    // command itself: state (0 not a PIN-pad, 1 typed, 2 cancel, 3 no entry),
    // then a presence byte and a PIN block for the PIN and for the new PIN.
    std::vector<uint8_t> PadQueryAnswer() const;
    // The last placeholder command (verify or change on the pad) the reader
    // took, as hex ("80200010" for the short verify form); empty when none.
    // Tells which form a host sent, as both verify forms take the same PIN.
    const std::string& lastPlaceholder() const { return lastPlaceholder_; }

  private:
    std::vector<uint8_t> VerifyTyped(FiscCard& card);
    std::vector<uint8_t> ChangeTyped(FiscCard& card);
    std::vector<uint8_t> WriteAfterVerify(FiscCard& card, std::span<const uint8_t> command);

    PinPadSettings settings_;
    std::string lastPlaceholder_;
    bool secureEntryReader_ = false;
};

}  // namespace qorv::cardsim
