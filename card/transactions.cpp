// Transaction authorisation: the card writes the transaction data record and
// answers the transaction serial number (SNUM) and authentication code (TAC);
// issuer, remark and account are then read back for the bank server.
#include "card/card_channel.h"
#include "card/card_engine.h"
#include "card/pin_pad_direct.h"
#include "card/transaction_records.h"
#include "crypto/hex.h"
#include "crypto/text_bytes.h"

namespace qorv::card {
namespace {

// Answer to a transaction write: byte 0, SNUM in bytes 1-8, bytes 9-10, TAC
// in bytes 11-18.
constexpr std::size_t kSnumOffset = 1;
constexpr std::size_t kSnumLength = 8;
constexpr std::size_t kTacOffset = 11;
constexpr std::size_t kTacLength = 8;
constexpr std::size_t kWriteAnswerLength = kTacOffset + kTacLength;

constexpr std::size_t kIssuerCodeLength = 3;  // the bank code

// EF1001 records 1-3 (issuer, remark, first account) read in one go.
constexpr std::size_t kReadAllIssuerOffset = kRecordDataOffset;
constexpr std::size_t kReadAllRemarkOffset = kIssuerRecordLength + kRecordDataOffset;
constexpr std::size_t kReadAllRemarkLength = kRemarkRecordLength - kRecordDataOffset;
constexpr std::size_t kReadAllAccountOffset =
    kIssuerRecordLength + kRemarkRecordLength + kRecordDataOffset;
constexpr std::size_t kReadAllLength =
    kIssuerRecordLength + kRemarkRecordLength + kAccountRecordLength;

constexpr std::size_t kSuppliedFileTextLength = 4;

// The card's answer to a transaction write before any PIN was verified.
constexpr int32_t kPinNotVerified = 0x6982;

// Sends a record write. A card that wants a PIN first answers 69 82; a
// reader with secure PIN entry of its own then lets the customer type it on
// its keys (as a model's keypad does inside the write) and the write goes again.
int32_t SendWrite(reader::ReaderSession& session, int32_t readerIndex, const CardCommand& write,
                  CardResponse& response) {
    int32_t rc = SendCommand(session, readerIndex, write, response);
    if (rc == kPinNotVerified && TakesPinDirect(session, readerIndex)) {
        rc = VerifyPinDirect(session, readerIndex);
        if (rc == 0) rc = SendCommand(session, readerIndex, write, response);
    }
    return rc;
}

int32_t MapWriteStatus(int32_t rc) {
    if (rc == 0x6610) return result::kWrite6610;
    if (rc == 0x69F0) return result::kWrite69F0;
    return result::kFailed;
}

// Keeps SNUM and TAC; false when the card's answer is too short to hold them
// (the previous results then stay, as after any failed write).
bool KeepWriteAnswer(const CDataProcess& convert, std::span<const uint8_t> answer,
                     TransactionResults& results) {
    if (answer.size() < kWriteAnswerLength) return false;
    results.snum = convert.BytesToText(answer.subspan(kSnumOffset, kSnumLength));
    results.tac = convert.BytesToHex(answer.subspan(kTacOffset, kTacLength));
    return true;
}

}  // namespace

int32_t CCardEngine::Authorise(int32_t readerIndex, const TransactionRequest& request,
                               TransactionResults& results) {
    if (const int32_t rc = CheckTransactionArguments(request); rc != 0) return rc;
    std::string dateTime;
    if (CarriesDateTime(request.kind)) {
        dateTime = FormatTransactionDateTime(clock_());
        // A record without its date-time would be authorised for no time at all.
        if (dateTime.empty()) return result::kFailed;
    }
    TransactionRecord record;
    BuildTransactionRecord(request, dateTime, record);

    CardResponse response;
    const int32_t rc =
        SendWrite(session_, readerIndex, WriteTransactionRecord(record.data()), response);
    if (rc != 0) return MapWriteStatus(rc);
    if (!KeepWriteAnswer(dataProcess_, response.data(), results)) return result::kFailed;
    // An inquiry carries no date-time, so none is kept for it.
    results.dateTime = dataProcess_.BytesToText(
        {reinterpret_cast<const uint8_t*>(dateTime.data()), dateTime.size()});
    // The card has authorised the transaction; a failed read-back only leaves
    // the values it could not read empty.
    ReadBack(readerIndex, results);
    return 0;
}

int32_t CCardEngine::ReadBack(int32_t readerIndex, TransactionResults& results) {
    // Values of an earlier transaction (perhaps another card) must never be
    // sent along with this transaction's TAC.
    results.issuer.clear();
    results.remark.clear();
    results.account.clear();

    if (const int32_t rc = SendCommand(session_, readerIndex, SelectFile(CardFile::Accounts1));
        rc != 0) {
        return rc;
    }
    ExtendedResponse all;
    // Too short an answer is not records 1-3 of standard length: read them one by one.
    if (ReadAllRecords(session_, readerIndex, all) == 0 && all.length >= kReadAllLength) {
        const auto data = all.data();
        results.issuer =
            dataProcess_.BytesToText(data.subspan(kReadAllIssuerOffset, kIssuerCodeLength));
        results.remark =
            dataProcess_.BytesToHex(data.subspan(kReadAllRemarkOffset, kReadAllRemarkLength));
        results.account =
            dataProcess_.BytesToText(data.subspan(kReadAllAccountOffset, kAccountLength));
        return 0;
    }

    CardResponse response;
    if (const int32_t rc = SendCommand(session_, readerIndex, ReadRecord(1, 0x08), response);
        rc != 0) {
        return rc;
    }
    if (response.length < kRecordDataOffset + kIssuerCodeLength) return result::kFailed;
    results.issuer =
        dataProcess_.BytesToText(response.data().subspan(kRecordDataOffset, kIssuerCodeLength));

    if (const int32_t rc =
            SendCommand(session_, readerIndex, ReadRecord(2, kRemarkRecordLength), response);
        rc != 0) {
        return rc;
    }
    if (response.length > kRecordDataOffset) {
        results.remark = dataProcess_.BytesToHex(response.data().subspan(kRecordDataOffset));
    }

    if (const int32_t rc =
            SendCommand(session_, readerIndex, ReadRecord(3, kAccountRecordLength), response);
        rc != 0) {
        return rc;
    }
    if (response.length < kRecordDataOffset + kAccountLength) return result::kFailed;
    results.account =
        dataProcess_.BytesToText(response.data().subspan(kRecordDataOffset, kAccountLength));
    return 0;
}

int32_t CCardEngine::WriteSuppliedRecord(int32_t readerIndex, const ScriptText& fileText,
                                         const ScriptText& command, TransactionResults& results) {
    if (!fileText || !command) return result::kArgumentMissing;
    if (fileText->size() != kSuppliedFileTextLength) return result::kBadLength;
    std::array<uint8_t, 2> p1p2{};
    if (!crypto::HexDecode(std::u16string_view(*fileText), p1p2.data()))
        return result::kHexDecodeFailed;
    // Lc is one byte: a longer record would go to the card cut short, and a
    // character beyond one byte would go to it as another character.
    if (command->size() > 0xFF || !FitsOneBytePerCharacter(*command)) return result::kBadLength;

    const std::vector<uint8_t> record = crypto::NarrowText(*command);
    CardResponse response;
    const int32_t rc = SendWrite(session_, readerIndex,
                                 WriteTransactionRecord(record, p1p2[0], p1p2[1]), response);
    if (rc != 0) return rc;
    // The date-time is the page's own, inside its record: it is left as it was.
    return KeepWriteAnswer(dataProcess_, response.data(), results) ? 0 : result::kFailed;
}

}  // namespace qorv::card
