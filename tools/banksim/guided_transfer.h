// What the bank reads from a guided transfer. The component's transfer dialog
// and confirmation give the page the transfer values in clear and enciphered
// under the session key (dialog field cipher over their UTF-16 code units):
//
//   bank code || transfer-in account || category || processing code || [e-mail addresses ||]
//
// The bank deciphers its own copy, never trusting the clear one, and rebuilds
// the card record from it: the processing code and, in the transfer record,
// the transfer-in account right-aligned over 16 zeros.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/banksim/key_agreement.h"
#include "tools/banksim/transaction_record.h"

namespace qorv::banksim {

struct GuidedTransferValues {
    std::string bankCode;        // 1-8 digits
    std::string account;         // 1-16 digits as entered
    char category = '0';         // '0' agreed, '1' common, '2' other, '3' other added to common
    std::string processingCode;  // 4 digits
    std::string email;           // may be empty
};

// Deciphers a dialog value (hexadecimal) under the session's key into UTF-8.
Outcome<std::string> DecipherDialogText(const ServerSession& session, const std::string& hex);

Outcome<GuidedTransferValues> ParseGuidedTransferValues(std::string_view text);

// The processing codes the component can choose in the column of ServiceType's
// first character ('1', '2', anything else the first column).
bool IsProcessingCodeOfService(char serviceType, std::string_view processingCode);

// The record the card MACed: the transfer record, or the 64-byte record
// (laid out as a withdrawal's); nothing when ServiceType sends no record.
std::optional<TransactionKind> GuidedRecordKind(char serviceType, std::string_view processingCode);

// The account right-aligned over 16 zeros, as the card record carries it.
std::string RightAlignedAccount(std::string_view account);

}  // namespace qorv::banksim
