#include "procedures/transfer_procedure.h"

#include <optional>

#include "base/results.h"
#include "base/secure_wipe.h"
#include "card/card_session.h"
#include "card/pin_block.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/document_text.h"
#include "dialogs/message_sink.h"
#include "dialogs/transfer_in_processing.h"
#include "dialogs/transfer_values.h"
#include "procedures/confirmation_runner.h"

namespace qorv::procedures {
namespace {

constexpr std::size_t kPCodeLength = 4;
constexpr std::size_t kFdidLength = 8;
constexpr std::size_t kFdChkCodeLength = 8;
constexpr std::size_t kMoneyLength = 14;
constexpr std::size_t kAccountLength = 16;
constexpr std::size_t kSessionKeyHashLength = 40;
constexpr std::size_t kEncSessionKeyLength = 256;
constexpr std::size_t kShortEncSessionKeyLength = 254;

// A text that is wiped when it goes.
struct WipedText {
    WipedText() = default;
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    ~WipedText() { SecureWipe(text); }
    std::u16string text;
};

std::size_t LengthOf(const ScriptText& text) {
    return text ? text->size() : 0;
}

// Presence first, then lengths; a missing session value counts as empty.
int32_t CheckArguments(const TransferProcArguments& a, bool pinStep) {
    for (const ScriptText* required : {&a.pPCode, &a.pFdid, &a.pFdChkCode, &a.pMoney, &a.pAccount,
                                       &a.pReaderName, &a.pShowMsg, &a.serviceType})
        if (!*required) return result::kArgumentMissing;
    if (pinStep && !a.pPassword) return result::kArgumentMissing;
    if (LengthOf(a.pPCode) != kPCodeLength || LengthOf(a.pFdid) != kFdidLength ||
        LengthOf(a.pFdChkCode) != kFdChkCodeLength || LengthOf(a.pMoney) != kMoneyLength ||
        LengthOf(a.pAccount) != kAccountLength)
        return result::kBadLength;
    if (LengthOf(a.pSessionKeyHash) != kSessionKeyHashLength) return result::kBadLength;
    const std::size_t key = LengthOf(a.pCpukEncSessionKey);
    if (key != kEncSessionKeyLength && key != kShortEncSessionKeyLength) return result::kBadLength;
    // An empty ServiceType names no transaction kind: the card would be
    // asked nothing while the page is told the transfer went through.
    if (a.serviceType->empty()) return result::kBadLength;
    return result::kOk;
}

}  // namespace

int32_t TransferProcedure::TransferProc(const TransferProcArguments& args,
                                        card::TransactionResults& results) {
    return Run(args, true, results);
}

int32_t TransferProcedure::TransferProcSnd(const TransferProcArguments& args,
                                           card::TransactionResults& results) {
    return Run(args, false, results);
}

int32_t TransferProcedure::Run(const TransferProcArguments& args, bool pinStep,
                               card::TransactionResults& results) {
    if (const int32_t rc = CheckArguments(args, pinStep); rc != result::kOk) return rc;
    // From here on the reader session closes on every way out.
    card::CardSession card(engine_, args.pReaderName);
    if (card.result() != result::kOk) return card.result();
    if (!args.commonInfo ||
        dialogs::CountFieldElements(*args.commonInfo) < kMinTransferFieldElements)
        return result::kTransferConfigIncomplete;

    dialogs::SessionFieldDecipher sessionDecipher(*args.pSessionKeyHash, *args.pCpukEncSessionKey);
    dialogs::SessionFieldEncipher sessionEncipher(*args.pSessionKeyHash, *args.pCpukEncSessionKey);
    dialogs::FieldDecipher& decipher = testDecipher_ ? *testDecipher_ : sessionDecipher;
    dialogs::FieldEncipher& encipher = testEncipher_ ? *testEncipher_ : sessionEncipher;
    dialogs::UserInterfaceMessageSink messages(ui_);

    // The transfer-in account.
    WipedText record;
    std::u16string encipheredValues;
    std::u16string encipheredRecord;
    {
        dialogs::TransferAccountDialog dialog(decipher, encipher, messages);
        if (dialog.Open(args.commonInfo)) return result::kWrite69F0;
        const int shown = ui_.RunTransferAccount(dialog);
        if (shown != dialogs::kDialogOk || dialog.outcome() != dialogs::kOutcomeOk)
            return result::kWrite69F0;
        record.text = dialog.TakeAccountRecord();
        encipheredValues = dialog.encipheredTransferValues();
        encipheredRecord = dialog.encipheredAccountRecord();
    }
    const char16_t serviceType = (*args.serviceType)[0];

    // The confirmation, with the processing code chosen from the banks involved.
    std::u16string processingCode;
    {
        dialogs::GuidedTransferIn transferIn(
            {record.text, std::move(encipheredValues), std::move(encipheredRecord), serviceType},
            decipher, encipher);
        dialogs::ConfirmationRequest request{*args.pShowMsg, args.pMoney, args.pAccount,
                                             record.text,
                                             dialogs::ConfirmationMode::GuidedTransfer};
        if (const int32_t rc = RunConfirmation(ui_, engine_.session(), card.slot(),
                                               std::move(request), &transferIn);
            rc != result::kOk)
            return rc;
        // Transfer values that do not decipher leave the kept texts as they
        // were and no processing code for the card.
        if (std::optional<dialogs::GuidedTransferResults> values = transferIn.Results(messages)) {
            processingCode = std::move(values->processingCode);
            clearImportAccount_ = std::move(values->clearTransferValues);
            encImportAccount_ = std::move(values->encipheredTransferValues);
        }
    }

    // The card was taken out and put back: connect it again, in the session
    // that closes on the way out.
    if (const int32_t rc = card.Reconnect(args.pReaderName); rc != result::kOk) return rc;
    const int32_t slot = card.slot();
    dialogs::WaitCursorGuard wait(ui_);
    if (engine_.SelectCardApplication(slot) != result::kOk) return result::kSelectFailed;
    if (pinStep) {
        if (const int32_t rc = card::CheckPinTexts({&args.pPassword}); rc != result::kOk) return rc;
        if (const int32_t rc = engine_.PresentPin(slot, *args.pPassword); rc != result::kOk)
            return rc;
    }

    const dialogs::GuidedRecordLayout layout =
        dialogs::GuidedRecordLayoutFor(serviceType, processingCode);
    if (layout == dialogs::GuidedRecordLayout::kNone) {
        // A ServiceType outside 0-2 asks the card nothing: no SNUM or TAC of
        // an earlier transaction may pass for this one's.
        results = card::TransactionResults{};
        return result::kOk;
    }
    card::TransactionRequest request;
    request.fields.pCode = processingCode;
    request.fields.fdid = args.pFdid;
    request.fields.fdChkCode = args.pFdChkCode;
    request.fields.money = args.pMoney;
    request.fields.account = args.pAccount;
    if (layout == dialogs::GuidedRecordLayout::kTransfer) {
        request.kind = card::TransactionKind::Transfer;
        // The 16-digit transfer-in account that starts the record.
        request.fields.imprtAccnt = record.text.substr(0, dialogs::kAccountDigits);
    } else {
        request.kind = card::TransactionKind::Withdraw;  // the 64-byte record
    }
    const int32_t rc = engine_.Authorise(slot, request, results);
    if (request.fields.imprtAccnt) SecureWipe(*request.fields.imprtAccnt);
    return rc;
}

}  // namespace qorv::procedures
