// The confirmation dialog's transfer-in processing for the guided transfer
// (confirmation mode 23). At opening it shows where the money goes: the bank
// text of the account record in Tag9's place, the e-mail addresses in
// Tag15's, and the transfer-in account itself, deciphered from the
// enciphered record, only scrambled in the secure field of the fourth row.
// It chooses the processing code from the banks involved. After OK it
// writes that code into the transfer values the bank will get, both in
// clear and enciphered again under the session key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dialogs/config_document.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/transfer_account_dialog.h"

namespace qorv::dialogs {

inline constexpr char16_t kCipherErrorCaption[] = u"Qorv商業銀行 WEB ATM";
inline constexpr char16_t kMsgEncryptedDataError[] = u"加密資料錯誤";

// What the transfer account dialog handed over, and ServiceType's first character.
struct GuidedTransferInput {
    std::u16string accountRecord;
    std::u16string encipheredTransferValues;
    std::u16string encipheredAccountRecord;
    char16_t serviceType = u'0';
};

struct GuidedTransferResults {
    std::u16string processingCode;
    std::u16string clearTransferValues;       // the code over the fourth field, "||" at the end
    std::u16string encipheredTransferValues;  // hexadecimal
};

class GuidedTransferIn final : public TransferInProcessing {
  public:
    GuidedTransferIn(GuidedTransferInput input, FieldDecipher& decipher, FieldEncipher& encipher,
                     std::u16string_view homeBankCode = HomeBankCode());
    ~GuidedTransferIn() override;
    GuidedTransferIn(const GuidedTransferIn&) = delete;
    GuidedTransferIn& operator=(const GuidedTransferIn&) = delete;

    // Fills Tag9's and Tag15's places and the secure field (display mode 0:
    // the record's 16-digit account scrambled under a random offset), and
    // chooses the processing code. A record that does not decipher shows
    // "加密資料錯誤" (caption "Qorv商業銀行 WEB ATM") and leaves the field empty.
    void PrepareDisplay(SummaryTags& tags, SecureFieldContent& transferInField,
                        MessageSink& messages) override;

    // The transfer-in bank as the record names it, after PrepareDisplay. The
    // account itself stays in the secure field, never in a window text.
    HostBlock ProducedRows() const override;
    // Chosen when the dialog opened; empty before.
    const std::u16string& processingCode() const { return processingCode_; }
    // The transfer-in bank code read from the record (at most 15 digits).
    const std::u16string& bankCode() const { return bankCode_; }

    // After OK: the enciphered transfer values deciphered, the processing
    // code written over their fourth field, enciphered again. nullopt after
    // "加密資料錯誤" when a cipher step fails or the deciphered text has no
    // fourth field: nothing may then go to the card.
    std::optional<GuidedTransferResults> Results(MessageSink& messages);

  private:
    GuidedTransferInput input_;
    FieldDecipher& decipher_;
    FieldEncipher& encipher_;
    std::u16string homeBankCode_;
    std::u16string processingCode_;
    std::u16string bankCode_;
    std::u16string bankText_;
};

}  // namespace qorv::dialogs
