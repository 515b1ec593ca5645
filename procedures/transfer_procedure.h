// TransferProc and TransferProcSnd: a whole guided transfer in one call. The
// customer chooses the transfer-in account in the transfer account dialog,
// confirms the transaction in the confirmation dialog by taking the card out
// of the reader and putting it back, and the card authorises it. The page
// never sees the transfer-in account in clear: it gets the transfer values
// in clear (bank code, account, category, processing code) and enciphered
// under the session key, to relay to the bank.
#pragma once

#include <cstdint>
#include <string>

#include "base/script_value.h"
#include "card/card_engine.h"
#include "dialogs/config_document.h"
#include "dialogs/transfer_account_dialog.h"
#include "dialogs/user_interface.h"

namespace qorv::procedures {

struct TransferProcArguments {
    ScriptText pPCode;  // checked for its length only
    ScriptText pFdid;
    ScriptText pFdChkCode;
    ScriptText pMoney;
    ScriptText pAccount;
    ScriptText pReaderName;
    ScriptText pPassword;  // TransferProc only
    ScriptText pShowMsg;
    ScriptText pSessionKeyHash;
    ScriptText pCpukEncSessionKey;
    ScriptText commonInfo;
    ScriptText serviceType;
};

inline constexpr std::size_t kMinTransferFieldElements = 3;

class TransferProcedure {
  public:
    TransferProcedure(card::CCardEngine& engine, dialogs::UserInterface& ui)
        : engine_(engine), ui_(ui) {}

    // Result codes as the page sees them; the transaction results of a
    // successful authorisation go to `results`.
    int32_t TransferProc(const TransferProcArguments& args, card::TransactionResults& results);
    // For PIN-pad readers: no PIN step of its own (pPassword is not looked at).
    int32_t TransferProcSnd(const TransferProcArguments& args, card::TransactionResults& results);

    // The values of the last confirmed transfer: the transfer values with the
    // processing code that went into the card record, and their enciphered
    // form (hexadecimal). They change only when a confirmation yields them.
    const std::u16string& GetClearImportAccount() const { return clearImportAccount_; }
    const std::u16string& GetEncImportAccount() const { return encImportAccount_; }

    // Tests replace the session ciphers of the dialogs (nullptr: the session's).
    void SetCiphersForTesting(dialogs::FieldDecipher* decipher, dialogs::FieldEncipher* encipher) {
        testDecipher_ = decipher;
        testEncipher_ = encipher;
    }

  private:
    int32_t Run(const TransferProcArguments& args, bool pinStep, card::TransactionResults& results);

    card::CCardEngine& engine_;
    dialogs::UserInterface& ui_;
    std::u16string clearImportAccount_;
    std::u16string encImportAccount_;
    dialogs::FieldDecipher* testDecipher_ = nullptr;
    dialogs::FieldEncipher* testEncipher_ = nullptr;
};

}  // namespace qorv::procedures
