// What a PIN-pad reader does with the structure of a secure PIN entry: the
// fields it reads, the checks it makes before it asks the customer anything,
// and how it puts the typed digits into the command it passes to the card.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qorv::pinpadifd {

struct PinEntry {
    bool modify = false;
    uint8_t formatString = 0;  // bmFormatString
    uint8_t blockString = 0;   // bmPINBlockString
    uint8_t lengthFormat = 0;  // bmPINLengthFormat
    uint8_t minDigits = 0;
    uint8_t maxDigits = 0;
    uint8_t validation = 0;     // bEntryValidationCondition
    uint8_t confirm = 0;        // bConfirmPIN (modify only)
    uint8_t offsetOld = 0;      // bInsertionOffsetOld
    uint8_t offsetNew = 0;      // bInsertionOffsetNew
    std::vector<uint8_t> apdu;  // abData: the command the digits go into
};

// The structure as the host sent it; nothing when a reader would refuse it
// (wrong sizes, a data length that disagrees with the bytes, a PIN block
// outside the command, an unknown PIN format, no validation condition).
std::optional<PinEntry> ParseVerifyStructure(std::span<const uint8_t> bytes);
std::optional<PinEntry> ParseModifyStructure(std::span<const uint8_t> bytes);

// Writes `digits` (ASCII '0'-'9') into the command at the PIN block that
// begins `offset` bytes after the one the format names; false when they do
// not fit or break the entry's length limits.
bool InsertPin(const PinEntry& entry, const std::string& digits, uint8_t offset,
               std::vector<uint8_t>& apdu);

}  // namespace qorv::pinpadifd
