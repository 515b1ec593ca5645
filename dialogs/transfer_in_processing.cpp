#include "dialogs/transfer_in_processing.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/secure_wipe.h"
#include "crypto/random.h"
#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"

namespace qorv::dialogs {

namespace {

using qorv::SecureWipe;

constexpr std::size_t kTag9 = 8;
constexpr std::size_t kTag5 = 4;
constexpr std::size_t kTag15 = 14;

void ShowCipherError(MessageSink& messages) {
    messages.ShowMessage(kMsgEncryptedDataError, kCipherErrorCaption);
}

}  // namespace

GuidedTransferIn::GuidedTransferIn(GuidedTransferInput input, FieldDecipher& decipher,
                                   FieldEncipher& encipher, std::u16string_view homeBankCode)
    : input_(std::move(input)),
      decipher_(decipher),
      encipher_(encipher),
      homeBankCode_(homeBankCode) {}

GuidedTransferIn::~GuidedTransferIn() {
    SecureWipe(input_.accountRecord);
    SecureWipe(input_.encipheredTransferValues);
    SecureWipe(input_.encipheredAccountRecord);
}

void GuidedTransferIn::PrepareDisplay(SummaryTags& tags, SecureFieldContent& transferInField,
                                      MessageSink& messages) {
    TransferInDisplay shown = ReadTransferInRecord(input_.accountRecord);
    bankText_ = shown.bankText;
    tags[kTag9] = std::move(shown.bankText);
    tags[kTag15] = std::move(shown.email);
    bankCode_ = std::move(shown.bankCode);
    processingCode_.assign(
        ChooseProcessingCode(input_.accountRecord, tags[kTag5], homeBankCode_, input_.serviceType));

    // The account the bank will read is what the customer sees: it comes
    // from the enciphered record, and never stands in a window text in clear.
    SecureWipe(transferInField.text);
    transferInField.mode = kModeCells;
    std::u16string record;
    if (!decipher_.Decipher(input_.encipheredAccountRecord, record) || record.empty()) {
        SecureWipe(record);
        ShowCipherError(messages);
        return;
    }
    const std::size_t shownLength = std::min(record.size(), kAccountDigits);
    std::vector<uint8_t> bytes(shownLength * 2);
    crypto::Utf16ToBytes(std::u16string_view(record).substr(0, shownLength), bytes.data());
    SecureWipe(record);
    const uint32_t offset = crypto::RandomByte() % (crypto::kMaxProtectionKeyOffset + 1);
    std::u16string scrambled;
    if (crypto::ScrambleDisplayText(bytes, offset, scrambled) == 0) {
        transferInField.text = std::move(scrambled);
        transferInField.displayOffset = offset;
    }
    SecureWipe(bytes);
}

HostBlock GuidedTransferIn::ProducedRows() const {
    if (bankText_.empty()) return {};
    return {{u"轉入銀行", bankText_, HostValueKind::Bank, bankCode_}};
}

std::optional<GuidedTransferResults> GuidedTransferIn::Results(MessageSink& messages) {
    std::u16string plain;
    GuidedTransferResults results;
    const bool deciphered = decipher_.Decipher(input_.encipheredTransferValues, plain);
    if (deciphered && !processingCode_.empty())
        results.clearTransferValues = WriteProcessingCode(plain, processingCode_);
    SecureWipe(plain);
    if (results.clearTransferValues.empty() ||
        !encipher_.Encipher(results.clearTransferValues, results.encipheredTransferValues)) {
        SecureWipe(results.clearTransferValues);
        ShowCipherError(messages);
        return std::nullopt;
    }
    results.processingCode = processingCode_;
    return results;
}

}  // namespace qorv::dialogs
