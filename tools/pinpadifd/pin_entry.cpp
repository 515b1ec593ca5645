// The reader's reading of a secure PIN entry structure. Offsets follow the
// packed little-endian layout of pcsc-lite's reader.h.
#include "tools/pinpadifd/pin_entry.h"

#include <cstddef>

namespace qorv::pinpadifd {
namespace {

constexpr std::size_t kVerifyHeader = 19;  // bTimerOut .. ulDataLength
constexpr std::size_t kModifyHeader = 24;
constexpr std::size_t kApduHeader = 5;  // CLA INS P1 P2 Lc

uint32_t Little32(std::span<const uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8U) | (b[at + 2] << 16U) |
           (static_cast<uint32_t>(b[at + 3]) << 24U);
}

// The checks a reader makes of the fields both structures share.
bool Plausible(PinEntry& entry, std::span<const uint8_t> bytes, std::size_t header,
               std::size_t maxDigitsAt) {
    // wPINMaxExtraDigit: XXYY, minimum XX, maximum YY, little-endian.
    entry.maxDigits = bytes[maxDigitsAt];
    entry.minDigits = bytes[maxDigitsAt + 1];
    const uint32_t dataLength = Little32(bytes, header - 4);
    if (dataLength != bytes.size() - header || dataLength < kApduHeader) return false;
    entry.apdu.assign(bytes.begin() + static_cast<std::ptrdiff_t>(header), bytes.end());
    if (entry.apdu[4] != entry.apdu.size() - kApduHeader) return false;  // Lc
    if ((entry.formatString & 0x03U) == 0x03U) return false;             // no such PIN type
    if ((entry.formatString & 0x80U) == 0) return false;                 // bit units: not offered
    if (entry.minDigits == 0 || entry.minDigits > entry.maxDigits) return false;
    if ((entry.validation & 0x07U) == 0) return false;
    const std::size_t position = (entry.formatString >> 3U) & 0x0FU;
    const std::size_t block = entry.blockString & 0x0FU;
    return block > 0 && position + block <= entry.apdu.size() - kApduHeader;
}

}  // namespace

std::optional<PinEntry> ParseVerifyStructure(std::span<const uint8_t> bytes) {
    if (bytes.size() < kVerifyHeader) return std::nullopt;
    PinEntry entry;
    entry.formatString = bytes[2];
    entry.blockString = bytes[3];
    entry.lengthFormat = bytes[4];
    entry.validation = bytes[7];
    if (!Plausible(entry, bytes, kVerifyHeader, 5)) return std::nullopt;
    return entry;
}

std::optional<PinEntry> ParseModifyStructure(std::span<const uint8_t> bytes) {
    if (bytes.size() < kModifyHeader) return std::nullopt;
    PinEntry entry;
    entry.modify = true;
    entry.formatString = bytes[2];
    entry.blockString = bytes[3];
    entry.lengthFormat = bytes[4];
    entry.offsetOld = bytes[5];
    entry.offsetNew = bytes[6];
    entry.confirm = bytes[9];
    entry.validation = bytes[10];
    if (entry.confirm > 0x03U) return std::nullopt;
    if (!Plausible(entry, bytes, kModifyHeader, 7)) return std::nullopt;
    const std::size_t block = entry.blockString & 0x0FU;
    const std::size_t position = (entry.formatString >> 3U) & 0x0FU;
    const std::size_t room = entry.apdu.size() - kApduHeader;
    if (position + entry.offsetNew + block > room) return std::nullopt;
    if ((entry.confirm & 0x02U) != 0 && position + entry.offsetOld + block > room) {
        return std::nullopt;
    }
    return entry;
}

bool InsertPin(const PinEntry& entry, const std::string& digits, uint8_t offset,
               std::vector<uint8_t>& apdu) {
    if (digits.size() < entry.minDigits || digits.size() > entry.maxDigits) return false;
    const std::size_t start =
        kApduHeader + ((entry.formatString >> 3U) & 0x0FU) + static_cast<std::size_t>(offset);
    const std::size_t block = entry.blockString & 0x0FU;
    const unsigned type = entry.formatString & 0x03U;  // 0 binary, 1 BCD, 2 ASCII
    const std::size_t needed = type == 1 ? (digits.size() + 1) / 2 : digits.size();
    if (needed > block || start + block > apdu.size()) return false;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto value = static_cast<uint8_t>(digits[i] - '0');
        if (type == 1) {
            uint8_t& target = apdu[start + i / 2];
            target = (i % 2 == 0) ? static_cast<uint8_t>((target & 0x0FU) | (value << 4U))
                                  : static_cast<uint8_t>((target & 0xF0U) | value);
        } else {
            apdu[start + i] = type == 2 ? static_cast<uint8_t>(digits[i]) : value;
        }
    }
    // A length field of whole bytes, where the structure asks for one.
    if ((entry.blockString >> 4U) == 8U && (entry.lengthFormat & 0x10U) != 0) {
        apdu[kApduHeader + (entry.lengthFormat & 0x0FU)] = static_cast<uint8_t>(digits.size());
    }
    return true;
}

}  // namespace qorv::pinpadifd
