// The FISC card commands, each built in one place. Every card operation of the
// engine, and the confirmed, PIN-pad and guided forms built on it, take their
// APDUs from these builders, so a command's bytes are defined exactly once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "reader/apdu_exchange.h"

namespace qorv::card {

// One command APDU: header, command data (Lc is its size) and the expected
// length handed to the exchange. Without `le` the command carries no Le byte
// and the exchange is given no length slot.
struct CardCommand {
    reader::CommandHeader header;
    std::span<const uint8_t> data;
    std::optional<uint8_t> le;
};

inline constexpr std::size_t kPinBlockLength = 8;
using PinBlockView = std::span<const uint8_t, kPinBlockLength>;

inline constexpr std::array<uint8_t, 8> kApplicationId{0xA0, 0x00, 0x00, 0x01,
                                                       0x72, 0x95, 0x00, 0x01};

// Elementary files of the card application.
enum class CardFile {
    Accounts1,  // EF1001 (10 01): issuer, remark, first account list
    Accounts2,  // EF1002 (10 02): second account list
    Pin,        // 00 C2: record 1 holds the PIN block
};

inline constexpr std::array<uint8_t, 2> kFileIdAccounts1{0x10, 0x01};
inline constexpr std::array<uint8_t, 2> kFileIdAccounts2{0x10, 0x02};
inline constexpr std::array<uint8_t, 2> kFileIdPin{0x00, 0xC2};

// Records of the card files: bytes 0-1 are not used, the data follows.
inline constexpr std::size_t kRecordDataOffset = 2;
// EF1001 records: 1 the issuer (10 bytes), 2 the remark (32), 3-10 one
// account each (16 characters after the unused bytes).
inline constexpr uint8_t kIssuerRecordLength = 10;
inline constexpr uint8_t kRemarkRecordLength = 32;
inline constexpr std::size_t kAccountLength = 16;
inline constexpr uint8_t kAccountRecordLength = kRecordDataOffset + kAccountLength;

// The PIN reference the card verifies against.
inline constexpr uint8_t kPinReference = 0x10;

constexpr CardCommand SelectApplication() {
    return {{0x00, 0xA4, 0x04, 0x00}, kApplicationId, 0x00};
}

constexpr std::span<const uint8_t> FileIdBytes(CardFile file) {
    switch (file) {
        case CardFile::Accounts1:
            return kFileIdAccounts1;
        case CardFile::Accounts2:
            return kFileIdAccounts2;
        case CardFile::Pin:
            break;
    }
    return kFileIdPin;
}

// No Le: the file control information is not asked for.
constexpr CardCommand SelectFile(CardFile file) {
    return {{0x00, 0xA4, 0x02, 0x00}, FileIdBytes(file), std::nullopt};
}

// The form that also asks for the file control information (16 bytes).
constexpr CardCommand SelectFileWithControlInfo(CardFile file) {
    return {{0x00, 0xA4, 0x02, 0x00}, FileIdBytes(file), 0x10};
}

// The first 16 bytes of the transparent data; bytes 4-11 are the serial number.
constexpr CardCommand ReadCardSerial() {
    return {{0x00, 0xB0, 0x00, 0x00}, {}, 0x10};
}

// One record of the current file, by record number.
constexpr CardCommand ReadRecord(uint8_t record, uint8_t expectedLength) {
    return {{0x00, 0xB2, record, 0x04}, {}, expectedLength};
}

constexpr CardCommand VerifyPin(PinBlockView pinBlock) {
    return {{0x00, 0x20, 0x00, kPinReference}, pinBlock, std::nullopt};
}

// Record 1 of the PIN file (select it first).
constexpr CardCommand WritePin(PinBlockView pinBlock) {
    return {{0x00, 0xD2, 0x01, 0x04}, pinBlock, std::nullopt};
}

// The card writes the transaction data record and answers SNUM and TAC.
// Callers keep records within one-byte Lc.
constexpr CardCommand WriteTransactionRecord(std::span<const uint8_t> record, uint8_t p1 = 0x10,
                                             uint8_t p2 = 0x80) {
    return {{0x00, 0xE2, p1, p2}, record, 0x00};
}

// All records of the current file from record 1, in one extended-length read
// (the expected length 00 00 00 is appended by the extended exchange).
inline constexpr reader::CommandHeader kReadAllRecordsHeader{0x00, 0xB2, 0x01, 0x05};

// Placeholders a PIN-pad reader replaces with what the customer types.
inline constexpr std::array<uint8_t, kPinBlockLength> kPadVerifyPlaceholder{0xFF, 0xFF, 0xFF, 0xFF,
                                                                            0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr std::array<uint8_t, kPinBlockLength> kPadChangePlaceholder{0xF0, 0xF0, 0xF0, 0xF0,
                                                                            0xF0, 0xF0, 0xF0, 0xF0};

constexpr CardCommand VerifyPinOnPad() {
    return VerifyPin(kPadVerifyPlaceholder);
}
// Sent after selecting the PIN file; the reader collects the old and new PIN.
constexpr CardCommand ChangePinOnPad() {
    return VerifyPin(kPadChangePlaceholder);
}
// The form class-2 readers recognise.
constexpr CardCommand VerifyPinOnPadClass2() {
    return {{0x80, 0x20, 0x00, kPinReference}, {}, std::nullopt};
}

}  // namespace qorv::card
