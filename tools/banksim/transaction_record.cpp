#include "tools/banksim/transaction_record.h"

#include <algorithm>
#include <cctype>

namespace qorv::banksim {

namespace {

constexpr std::size_t kImportAccountWidth = 16;

struct Slot {
    const char* name;
    std::size_t width;
    const std::string TransactionFields::*field;  // null for the date-time
};

constexpr const char* kDateTime = "date-time";

std::vector<Slot> Slots(TransactionKind kind) {
    using F = TransactionFields;
    const std::vector<Slot> head = {{"pPCode", 4, &F::pPCode},
                                    {"pMoney", 14, &F::pMoney},
                                    {"pFdid", 8, &F::pFdid},
                                    {"pFdChkCode", 8, &F::pFdChkCode},
                                    {kDateTime, 14, nullptr}};
    std::vector<Slot> slots = head;
    switch (kind) {
        case TransactionKind::kWithdraw:
        case TransactionKind::kPayTax:
            slots.push_back({"pAccount", 16, &F::pAccount});
            break;
        case TransactionKind::kTransfer:
            slots.push_back({"pImprtAccnt", kImportAccountWidth, &F::pImprtAccnt});
            slots.push_back({"pAccount", 16, &F::pAccount});
            break;
        case TransactionKind::kPayment:
            slots.push_back({"pPaymentType", 5, &F::pPaymentType});
            slots.push_back({"pAccount", 16, &F::pAccount});
            slots.push_back({"pCancelNo", 16, &F::pCancelNo});
            break;
        case TransactionKind::kInquiry:
            slots = {{"pPCode", 4, &F::pPCode},
                     {"pFdChkCode", 8, &F::pFdChkCode},
                     {"pAccountNumber", 16, &F::pAccount}};
            break;
    }
    return slots;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::optional<TransactionKind> ParseTransactionKind(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto kind :
         {TransactionKind::kWithdraw, TransactionKind::kPayTax, TransactionKind::kPayment,
          TransactionKind::kTransfer, TransactionKind::kInquiry}) {
        std::string candidate = TransactionKindName(kind);
        std::transform(candidate.begin(), candidate.end(), candidate.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (candidate == lower) return kind;
    }
    return std::nullopt;
}

const char* TransactionKindName(TransactionKind kind) {
    switch (kind) {
        case TransactionKind::kWithdraw:
            return "withdraw";
        case TransactionKind::kPayTax:
            return "payTax";
        case TransactionKind::kPayment:
            return "payment";
        case TransactionKind::kTransfer:
            return "transfer";
        case TransactionKind::kInquiry:
            return "inquiry";
    }
    return "?";
}

std::vector<RecordField> RecordLayout(TransactionKind kind) {
    std::vector<RecordField> layout;
    std::size_t offset = 0;
    for (const Slot& slot : Slots(kind)) {
        layout.push_back({slot.name, offset, slot.width});
        offset += slot.width;
    }
    return layout;
}

std::string FieldAtOffset(TransactionKind kind, std::size_t offset) {
    for (const RecordField& field : RecordLayout(kind)) {
        if (offset >= field.offset && offset < field.offset + field.width) {
            return std::string(field.name) + " at byte " + std::to_string(offset);
        }
    }
    return "byte " + std::to_string(offset) + ", past the end of the record";
}

BuiltRecord BuildTransactionRecord(TransactionKind kind, const TransactionFields& fields,
                                   std::string_view dateTime) {
    BuiltRecord built;
    for (const Slot& slot : Slots(kind)) {
        std::string_view value = slot.field ? std::string_view(fields.*slot.field) : dateTime;
        const bool longerAllowed = slot.field == &TransactionFields::pImprtAccnt;
        if (value.size() != slot.width && !(longerAllowed && value.size() > slot.width)) {
            built.error = std::string(slot.name) + " must have " +
                          (longerAllowed ? "at least " : "") + std::to_string(slot.width) +
                          " characters, not " + std::to_string(value.size());
            built.bytes.clear();
            return built;
        }
        if (!IsAscii(value)) {
            built.error = std::string(slot.name) + " must be ASCII text";
            built.bytes.clear();
            return built;
        }
        value = value.substr(0, slot.width);
        built.bytes.insert(built.bytes.end(), value.begin(), value.end());
    }
    return built;
}

}  // namespace qorv::banksim
