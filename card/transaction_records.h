// The transaction data records the card authorises: which page arguments a
// transaction kind takes, their exact lengths, and where each goes in the
// record, with the local date-time of the transaction.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "base/script_value.h"

namespace qorv::card {

enum class TransactionKind { Withdraw, PayTax, Payment, Transfer, Inquiry };

// The page's arguments. Every method names the ones it takes in this order;
// an inquiry's pAccountNumber is `account`.
struct TransactionFields {
    ScriptText pCode{};
    ScriptText fdid{};
    ScriptText fdChkCode{};
    ScriptText money{};
    ScriptText imprtAccnt{};
    ScriptText paymentType{};
    ScriptText cancelNo{};
    ScriptText account{};
};

struct TransactionRequest {
    TransactionKind kind{};
    TransactionFields fields;
};

inline constexpr std::size_t kDateTimeLength = 14;
inline constexpr std::size_t kDateTimeOffset = 34;
inline constexpr std::size_t kMaxRecordLength = 85;

struct TransactionRecord {
    std::array<uint8_t, kMaxRecordLength> bytes{};
    std::size_t length = 0;
    std::span<const uint8_t> data() const { return {bytes.data(), length}; }
};

// Whether every character has a value that fits the one byte the card gets
// for it: a larger one would arrive as its low byte, another character
// (U+0131 as the digit 1) in a record the card signs.
bool FitsOneBytePerCharacter(std::u16string_view text);

// 0, or 8195 when any argument the kind takes is missing, else 8194 when any
// has a wrong length or a character that does not fit one byte.
int32_t CheckTransactionArguments(const TransactionRequest& request);

// Everything but an inquiry carries the date-time.
constexpr bool CarriesDateTime(TransactionKind kind) {
    return kind != TransactionKind::Inquiry;
}

// "%Y%m%d%H%M%S" in local time; empty when the time cannot be converted.
std::string FormatTransactionDateTime(std::time_t when);

// The arguments have passed CheckTransactionArguments; `dateTime` is the
// formatted date-time (ignored for an inquiry).
void BuildTransactionRecord(const TransactionRequest& request, std::string_view dateTime,
                            TransactionRecord& record);

}  // namespace qorv::card
