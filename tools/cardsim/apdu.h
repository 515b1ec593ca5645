// Command APDUs as the card receives them from vpcd, and the status words the
// simulated card answers with.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qorv::cardsim {

namespace sw {
inline constexpr uint16_t kSuccess = 0x9000;
inline constexpr uint16_t kWrongLength = 0x6700;
inline constexpr uint16_t kWrongFileType = 0x6981;
inline constexpr uint16_t kSecurityNotSatisfied = 0x6982;
inline constexpr uint16_t kConditionsNotSatisfied = 0x6985;
inline constexpr uint16_t kNoCurrentFile = 0x6986;
inline constexpr uint16_t kFileNotFound = 0x6A82;
inline constexpr uint16_t kRecordNotFound = 0x6A83;
inline constexpr uint16_t kWrongP1P2 = 0x6A86;
inline constexpr uint16_t kInsNotSupported = 0x6D00;
inline constexpr uint16_t kClaNotSupported = 0x6E00;
}  // namespace sw

struct CommandApdu {
    uint8_t cla = 0;
    uint8_t ins = 0;
    uint8_t p1 = 0;
    uint8_t p2 = 0;
    std::vector<uint8_t> data;  // the Lc command data bytes
    // Expected length when the command carries one; a short 00 means 256, an
    // extended 00 00 00 means 65536.
    std::optional<size_t> le;
    bool extended = false;  // Lc or Le came in the three-byte extended form
};

// Splits a command into header, data and Le by the ISO/IEC 7816-3 cases
// (1, 2S, 3S, 4S, 2E, 3E, 4E). Returns nothing when the lengths do not add up.
std::optional<CommandApdu> ParseCommandApdu(std::span<const uint8_t> bytes);

// Response data followed by SW1 SW2.
std::vector<uint8_t> ResponseApdu(std::span<const uint8_t> data, uint16_t status);
inline std::vector<uint8_t> StatusOnly(uint16_t status) {
    return ResponseApdu({}, status);
}

}  // namespace qorv::cardsim
