#include "card/transaction_records.h"

#include <algorithm>

#include "card/card_engine.h"
#include "crypto/text_bytes.h"

namespace qorv::card {
namespace {

using Field = ScriptText TransactionFields::*;

// Where an argument goes in the record. Its text must be exactly `width`
// characters, or at least that many when `longerAllowed` (only the first
// `width` are used).
struct Placement {
    Field field;
    std::size_t offset;
    std::size_t width;
    bool longerAllowed = false;
};

struct RecordLayout {
    std::span<const Placement> placements;
    std::size_t length;
};

using F = TransactionFields;

// Offsets 0-33 are common to the records with an amount; 34-47 is the date-time.
constexpr Placement kWithdrawPlacements[] = {{&F::pCode, 0, 4},
                                             {&F::money, 4, 14},
                                             {&F::fdid, 18, 8},
                                             {&F::fdChkCode, 26, 8},
                                             {&F::account, 48, 16}};
constexpr Placement kTransferPlacements[] = {{&F::pCode, 0, 4},
                                             {&F::money, 4, 14},
                                             {&F::fdid, 18, 8},
                                             {&F::fdChkCode, 26, 8},
                                             {&F::imprtAccnt, 48, 16, true},
                                             {&F::account, 64, 16}};
constexpr Placement kPaymentPlacements[] = {
    {&F::pCode, 0, 4},        {&F::money, 4, 14},    {&F::fdid, 18, 8},     {&F::fdChkCode, 26, 8},
    {&F::paymentType, 48, 5}, {&F::account, 53, 16}, {&F::cancelNo, 69, 16}};
constexpr Placement kInquiryPlacements[] = {
    {&F::pCode, 0, 4}, {&F::fdChkCode, 4, 8}, {&F::account, 12, 16}};

constexpr RecordLayout LayoutOf(TransactionKind kind) {
    switch (kind) {
        case TransactionKind::Withdraw:
        case TransactionKind::PayTax:  // the processing code tells them apart
            return {kWithdrawPlacements, 64};
        case TransactionKind::Transfer:
            return {kTransferPlacements, 80};
        case TransactionKind::Payment:
            return {kPaymentPlacements, 85};
        case TransactionKind::Inquiry:
            break;
    }
    return {kInquiryPlacements, 28};
}

}  // namespace

bool FitsOneBytePerCharacter(std::u16string_view text) {
    for (const char16_t unit : text) {
        if (unit > 0xFF) return false;
    }
    return true;
}

int32_t CheckTransactionArguments(const TransactionRequest& request) {
    const RecordLayout layout = LayoutOf(request.kind);
    for (const auto& place : layout.placements) {
        if (!(request.fields.*place.field)) return result::kArgumentMissing;
    }
    for (const auto& place : layout.placements) {
        const std::size_t size = (request.fields.*place.field)->size();
        if (place.longerAllowed ? size < place.width : size != place.width)
            return result::kBadLength;
    }
    // Only the characters that go into the record are sent.
    for (const auto& place : layout.placements) {
        const std::u16string_view text = *(request.fields.*place.field);
        if (!FitsOneBytePerCharacter(text.substr(0, place.width))) return result::kBadLength;
    }
    return 0;
}

std::string FormatTransactionDateTime(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return {};
    char text[kDateTimeLength + 1] = {};
    if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) != kDateTimeLength) return {};
    return text;
}

void BuildTransactionRecord(const TransactionRequest& request, std::string_view dateTime,
                            TransactionRecord& record) {
    const RecordLayout layout = LayoutOf(request.kind);
    record.bytes.fill(0);
    record.length = layout.length;
    for (const auto& place : layout.placements) {
        const std::u16string& text = *(request.fields.*place.field);
        crypto::NarrowText(std::u16string_view(text).substr(0, place.width),
                           record.bytes.data() + place.offset);
    }
    if (CarriesDateTime(request.kind)) {
        std::copy_n(dateTime.begin(), std::min(dateTime.size(), kDateTimeLength),
                    record.bytes.begin() + kDateTimeOffset);
    }
}

}  // namespace qorv::card
