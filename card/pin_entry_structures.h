// The secure PIN entry structures a PC/SC part 10 PIN-pad reader takes
// (PIN_VERIFY_STRUCTURE, PIN_MODIFY_STRUCTURE: packed, little-endian), built
// from the card's own commands. The reader puts the typed digits into the
// command's PIN block as the card packs a typed PIN: BCD from the first
// byte, left-justified, the unused nibbles keeping the F of the template.
#pragma once

#include <array>
#include <cstdint>

#include "card/card_commands.h"

namespace qorv::card {

inline constexpr std::size_t kPinCommandLength = 5 + kPinBlockLength;  // header, Lc, block
inline constexpr std::size_t kVerifyStructureHeader = 19;
inline constexpr std::size_t kModifyStructureHeader = 24;
using PinVerifyStructure = std::array<uint8_t, kVerifyStructureHeader + kPinCommandLength>;
using PinModifyStructure = std::array<uint8_t, kModifyStructureHeader + kPinCommandLength>;

// The empty PIN block the reader writes the digits over.
inline constexpr std::array<uint8_t, kPinBlockLength> kPadPinTemplate{0xFF, 0xFF, 0xFF, 0xFF,
                                                                      0xFF, 0xFF, 0xFF, 0xFF};

namespace pin_entry {
// As long as the confirmation dialog gives the customer, and 15 s between keys.
inline constexpr uint8_t kTimeOutSeconds = 60;
inline constexpr uint8_t kTimeOut2Seconds = 15;
// Bytes as units, PIN at offset 0 of the command data, left-justified, BCD.
inline constexpr uint8_t kFormatString = 0x80 | (0 << 3) | 0x01;
// No PIN length field in the command; an 8-byte PIN block.
inline constexpr uint8_t kPinBlockString = 0x00 | kPinBlockLength;
inline constexpr uint8_t kPinLengthFormat = 0x00;
inline constexpr uint8_t kMinDigits = 6;
inline constexpr uint8_t kMaxDigits = 12;
// Entry ends when the customer presses the validation key.
inline constexpr uint8_t kValidationKey = 0x02;
// Prompts from the reader's own table: enter PIN, enter new PIN, confirm it.
inline constexpr uint8_t kMessageEnterPin = 0x00;
inline constexpr uint8_t kMessageEnterNewPin = 0x01;
inline constexpr uint8_t kMessageConfirmNewPin = 0x02;
// Chinese (Taiwan), for readers with their own message tables.
inline constexpr uint16_t kLanguage = 0x0404;
// bConfirmPIN: the new PIN is typed twice; the current PIN is not asked for
// (the card verifies it first, through the verify structure).
inline constexpr uint8_t kConfirmNewPinOnly = 0x01;
}  // namespace pin_entry

// Where the fields a reader's properties narrow sit in each structure.
struct PinEntryFields {
    std::size_t maxExtraDigit;
    std::size_t numberMessage;
};
inline constexpr PinEntryFields kVerifyFields{5, 8};
inline constexpr PinEntryFields kModifyFields{7, 11};

namespace detail {
constexpr void PutCommand(uint8_t* out, const CardCommand& command) {
    out[0] = command.header.cla;
    out[1] = command.header.ins;
    out[2] = command.header.p1;
    out[3] = command.header.p2;
    out[4] = static_cast<uint8_t>(command.data.size());
    for (std::size_t i = 0; i < command.data.size(); ++i) out[5 + i] = command.data[i];
}
constexpr void PutLittle16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}
constexpr void PutLittle32(uint8_t* out, uint32_t value) {
    PutLittle16(out, static_cast<uint16_t>(value));
    PutLittle16(out + 2, static_cast<uint16_t>(value >> 16));
}
// wPINMaxExtraDigit: XXYY, XX the fewest digits, YY the most.
inline constexpr uint16_t kPinMaxExtraDigit = (pin_entry::kMinDigits << 8) | pin_entry::kMaxDigits;
}  // namespace detail

// The verify the card takes for a typed PIN, with the PIN left to the reader.
constexpr PinVerifyStructure VerifyPinStructure() {
    PinVerifyStructure s{};
    s[0] = pin_entry::kTimeOutSeconds;
    s[1] = pin_entry::kTimeOut2Seconds;
    s[2] = pin_entry::kFormatString;
    s[3] = pin_entry::kPinBlockString;
    s[4] = pin_entry::kPinLengthFormat;
    detail::PutLittle16(&s[5], detail::kPinMaxExtraDigit);
    s[7] = pin_entry::kValidationKey;
    s[8] = 1;  // bNumberMessage
    detail::PutLittle16(&s[9], pin_entry::kLanguage);
    s[11] = pin_entry::kMessageEnterPin;
    // bTeoPrologue (12-14) stays 00.
    detail::PutLittle32(&s[15], kPinCommandLength);
    detail::PutCommand(&s[kVerifyStructureHeader], VerifyPin(kPadPinTemplate));
    return s;
}

// The card's PIN change is the write of the PIN record (PIN file selected,
// old PIN verified): the reader asks for the new PIN and its confirmation.
constexpr PinModifyStructure ModifyPinStructure() {
    PinModifyStructure s{};
    s[0] = pin_entry::kTimeOutSeconds;
    s[1] = pin_entry::kTimeOut2Seconds;
    s[2] = pin_entry::kFormatString;
    s[3] = pin_entry::kPinBlockString;
    s[4] = pin_entry::kPinLengthFormat;
    s[5] = 0;  // bInsertionOffsetOld: no current PIN in this command
    s[6] = 0;  // bInsertionOffsetNew
    detail::PutLittle16(&s[7], detail::kPinMaxExtraDigit);
    s[9] = pin_entry::kConfirmNewPinOnly;
    s[10] = pin_entry::kValidationKey;
    s[11] = 2;  // bNumberMessage: new PIN, confirmation
    detail::PutLittle16(&s[12], pin_entry::kLanguage);
    s[14] = pin_entry::kMessageEnterNewPin;
    s[15] = pin_entry::kMessageConfirmNewPin;
    s[16] = pin_entry::kMessageEnterPin;  // bMsgIndex3: not shown
    // bTeoPrologue (17-19) stays 00.
    detail::PutLittle32(&s[20], kPinCommandLength);
    detail::PutCommand(&s[kModifyStructureHeader], WritePin(kPadPinTemplate));
    return s;
}

}  // namespace qorv::card
