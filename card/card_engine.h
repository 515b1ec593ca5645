// CCardEngine: the object on which every engine operation of the control
// runs. It addresses the card through the process-wide reader session, either
// by the control's current reader index or by a reader name it connects and
// closes itself, and reaches the person through the user-interface seam.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/results.h"
#include "base/script_value.h"
#include "card/card_commands.h"
#include "card/data_process.h"
#include "card/transaction_records.h"
#include "reader/reader_session.h"

namespace qorv::card {

using ReaderList = std::array<reader::ReaderName, reader::kSlotCount>;

// The control's table of one account list.
inline constexpr std::size_t kAccountTableSlots = 10;
using AccountTable = std::array<std::u16string, kAccountTableSlots>;

// Card bytes an operation hands back for the control to turn into text.
using CardBytes = std::vector<uint8_t>;

// The results of the last transaction, which the control owns and the
// engine replaces when the card has written a record.
struct TransactionResults {
    std::u16string snum;
    std::u16string tac;
    std::u16string dateTime;
    std::u16string issuer;
    std::u16string remark;
    std::u16string account;
};

// The local time at which a transaction record is built.
using TransactionClock = std::function<std::time_t()>;

class CCardEngine {
  public:
    explicit CCardEngine(reader::ReaderSession& session) : session_(session) {}

    reader::ReaderSession& session() { return session_; }

    // Reader methods.
    int32_t ConnectReader();
    int32_t ListReaders(ReaderList& list, int32_t& count);
    // A reader name a card connect takes: 0, 8195 (null) or 8194 (length).
    static int32_t CheckReaderName(const ScriptText& readerName);
    // `readerIndex` is set to 0 first and receives the slot that was connected.
    int32_t ConnectCard(const ScriptText& readerName, int32_t& readerIndex, reader::Atr& atr);
    int32_t CheckCardInsert(int32_t readerIndex);
    int32_t DisconnectCard(int32_t readerIndex);
    int32_t DisconnectReader(int32_t readerIndex);
    int32_t ReleaseSession();

    // Reader and driver information. `attribId` 0-2 selects vendor name, IFD
    // type or IFD version of the reader at `readerIndex`; 0 and the text, or
    // a failure code.
    int32_t ReaderStatus(int32_t readerIndex, int32_t attribId, std::u16string& text);
    // File version, company name and description of the PC/SC library, each
    // at most 127 units; empty items when the library cannot be found.
    std::array<std::u16string, 3> PcscLibraryInfo();

    // Steps every card operation starts with: 0 or 20481.
    int32_t SelectCardApplication(int32_t readerIndex);
    int32_t SelectCardFile(int32_t readerIndex, CardFile file);

    // Card data reads on the card of `readerIndex`.
    int32_t ReadCardSN(int32_t readerIndex, CardBytes& serial);
    int32_t GetIssuerBank(int32_t readerIndex, CardBytes& issuer);
    // Reports 0 when only the record read failed (`remark` is then empty).
    int32_t GetICCRemark(int32_t readerIndex, CardBytes& remark);
    int32_t ListEF1001Accounts(int32_t readerIndex, AccountTable& accounts, int32_t& count);
    int32_t ListEF1002Accounts(int32_t readerIndex, AccountTable& accounts, int32_t& count);

    // PIN typed on the computer.
    int32_t VerifyPIN(int32_t readerIndex, const ScriptText& pin);
    int32_t ChangePIN(int32_t readerIndex, const ScriptText& oldPin, const ScriptText& newPin);
    // Verify PIN with digits that passed CheckPinTexts; verify-status mapping.
    int32_t PresentPin(int32_t readerIndex, std::u16string_view digits);
    // The account a PIN change is tied to must be the card's first account:
    // 0, 20481, the status word of the record read, or 20757.
    int32_t CheckAccount(int32_t readerIndex, const std::u16string& account);

    // Transactions: the card writes the record and answers SNUM and TAC.
    int32_t Authorise(int32_t readerIndex, const TransactionRequest& request,
                      TransactionResults& results);
    // Issuer, remark and account of EF1001 after a transaction.
    int32_t ReadBack(int32_t readerIndex, TransactionResults& results);
    // A record the page supplies, written with P1 P2 from `fileText` ("1080").
    int32_t WriteSuppliedRecord(int32_t readerIndex, const ScriptText& fileText,
                                const ScriptText& command, TransactionResults& results);

    void SetTransactionClock(TransactionClock clock) { clock_ = std::move(clock); }

  private:
    // Select the application, then `file`: 0 or 20481.
    int32_t SelectApplicationAndFile(int32_t readerIndex, CardFile file);
    int32_t ListAccounts(int32_t readerIndex, CardFile file, AccountTable& accounts,
                         int32_t& count);

    reader::ReaderSession& session_;
    CDataProcess dataProcess_;
    TransactionClock clock_ = [] { return std::time(nullptr); };
};

}  // namespace qorv::card
