// The transaction data record that the card MACs, rebuilt by the bank from the
// values the page sends, byte for byte as the component builds it:
//
//   Withdraw, PayTax (64)  PCode 4 | Money 14 | Fdid 8 | FdChkCode 8 | date-time 14 | Account 16
//   Transfer (80)          ... date-time 14 | ImprtAccnt 16 (its first 16) | Account 16
//   Payment (85)           ... date-time 14 | PaymentType 5 | Account 16 | CancelNo 16
//   Inquiry (28)           PCode 4 | FdChkCode 8 | AccountNumber 16 (no amount, no date-time)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/banksim/secret_bytes.h"

namespace qorv::banksim {

enum class TransactionKind { kWithdraw, kPayTax, kPayment, kTransfer, kInquiry };

// "withdraw", "payTax", "payment", "transfer", "inquiry" (any case).
std::optional<TransactionKind> ParseTransactionKind(std::string_view name);
const char* TransactionKindName(TransactionKind kind);

// The page's arguments of the transaction method, under their parameter names.
struct TransactionFields {
    std::string pPCode;
    std::string pFdid;
    std::string pFdChkCode;
    std::string pMoney;
    std::string pImprtAccnt;
    std::string pPaymentType;
    std::string pCancelNo;
    std::string pAccount;  // pAccountNumber of an inquiry
};

struct RecordField {
    const char* name;  // the parameter name, or "date-time"
    std::size_t offset;
    std::size_t width;
};

// The record's fields in order.
std::vector<RecordField> RecordLayout(TransactionKind kind);
// The name of the field that holds byte `offset` of the record.
std::string FieldAtOffset(TransactionKind kind, std::size_t offset);

struct BuiltRecord {
    Bytes bytes;
    std::string error;  // empty when the record was built
};

// Checks every value's length (exact, but at least 16 for pImprtAccnt) and that
// it is ASCII, then lays the record out. `dateTime` is ignored for an inquiry.
BuiltRecord BuildTransactionRecord(TransactionKind kind, const TransactionFields& fields,
                                   std::string_view dateTime);

}  // namespace qorv::banksim
