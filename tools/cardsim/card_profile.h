// The data, secrets and faults of one simulated card, loaded from a JSON profile
// (see README.md for the format).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/cardsim/tac.h"

namespace qorv::cardsim {

inline constexpr uint16_t kEf1001 = 0x1001;
inline constexpr uint16_t kEf1002 = 0x1002;
inline constexpr uint16_t kPinFile = 0x00C2;
inline constexpr size_t kEf1001Records = 10;
inline constexpr size_t kEf1002Records = 8;

// The status a refused VERIFY answers: fixed, or 63Cx with x the tries left.
struct WrongPinStatus {
    uint16_t status = 0x63C0;
    bool withTriesLeft = true;
};

struct CardFaults {
    std::optional<uint16_t> selectApplication;
    std::optional<uint16_t> readBinary;
    std::optional<uint16_t> transactionWrite;  // e.g. 6610 or 69F0
    std::optional<uint16_t> writePin;
    std::map<std::pair<uint16_t, size_t>, uint16_t> readRecord;  // (file, record) -> status
    bool refuseExtendedRead = false;  // the extended read-all answers 6700 on T=1 too
};

// What the customer does on a PIN-pad reader's keypad (see pin_pad.h).
enum class PadAnswer {
    Typed,      // types `pin` (and `newPin` for a change), then Confirm
    Cancelled,  // presses Cancel
    TimedOut,   // types nothing until the reader gives up
};

struct PinPadSettings {
    bool active = false;  // false: the reader is not a PIN-pad
    PadAnswer answer = PadAnswer::Typed;
    std::optional<std::array<uint8_t, 8>> pin;     // PIN block of the typed PIN
    std::optional<std::array<uint8_t, 8>> newPin;  // PIN block of the typed new PIN
};

struct CardProfile {
    std::string name;
    std::array<uint8_t, 8> serial{};           // bytes 4-11 of the transparent data
    std::vector<std::vector<uint8_t>> ef1001;  // records 1-10, index 0 = record 1
    std::vector<std::vector<uint8_t>> ef1002;  // records 1-8
    std::array<uint8_t, 8> pinBlock{};         // packed BCD, F-filled
    int pinTries = 3;                          // wrong PINs left before the PIN locks
    bool pinLocked = false;
    WrongPinStatus wrongPinStatus;
    uint16_t lockedPinStatus = 0x6983;
    uint32_t snum = 1;  // SNUM of the next transaction write
    TacKey tacKey{};
    uint8_t tacKeyVersion = 1;
    size_t readAllRecordCount = 3;  // records answered by 00 B2 P1 05
    CardFaults faults;
    PinPadSettings pinPad;  // the reader the card sits in
};

// Packs 6-12 digits two per byte, an odd last digit with F, the rest FF.
std::optional<std::array<uint8_t, 8>> PinBlockFromDigits(const std::string& digits);

[[nodiscard]] bool LoadCardProfile(const std::string& path, CardProfile* profile,
                                   std::string* error);
[[nodiscard]] bool ParseCardProfile(const std::string& json, CardProfile* profile,
                                    std::string* error);

}  // namespace qorv::cardsim
