// Reading the card's static data: serial number, issuer, remark and the two
// account lists, and the select steps every card operation starts with.
#include <algorithm>

#include "card/card_channel.h"
#include "card/card_engine.h"

namespace qorv::card {
namespace {

constexpr std::size_t kSerialOffset = 4;
constexpr std::size_t kSerialLength = 8;
constexpr std::size_t kIssuerLength = 8;

struct AccountFile {
    uint8_t firstRecord;
    uint8_t lastRecord;
    std::size_t accountLength;
};

constexpr AccountFile AccountFileOf(CardFile file) {
    if (file == CardFile::Accounts2) return {1, 8, 24};
    return {3, 10, kAccountLength};  // records 1 and 2 of EF1001 are issuer and remark
}

// The card leaves unused account records filled with '0' (or blank); a real
// account has a digit as its second character.
bool IsAccountRecord(std::span<const uint8_t> record, std::size_t accountLength) {
    // The whole field must be there: a short record would otherwise be read
    // past what the card returned.
    if (record.size() < kRecordDataOffset + accountLength) return false;
    const auto field = record.subspan(kRecordDataOffset, accountLength);
    if (field[1] < '0' || field[1] > '9') return false;
    return !std::all_of(field.begin(), field.end(), [](uint8_t b) { return b == '0'; });
}

}  // namespace

int32_t CCardEngine::SelectCardApplication(int32_t readerIndex) {
    return SendCommand(session_, readerIndex, SelectApplication()) == 0 ? 0 : result::kSelectFailed;
}

int32_t CCardEngine::SelectCardFile(int32_t readerIndex, CardFile file) {
    return SendCommand(session_, readerIndex, SelectFile(file)) == 0 ? 0 : result::kSelectFailed;
}

int32_t CCardEngine::SelectApplicationAndFile(int32_t readerIndex, CardFile file) {
    if (const int32_t rc = SelectCardApplication(readerIndex); rc != 0) return rc;
    return SelectCardFile(readerIndex, file);
}

int32_t CCardEngine::ReadCardSN(int32_t readerIndex, CardBytes& serial) {
    serial.clear();
    if (const int32_t rc = SelectCardApplication(readerIndex); rc != 0) return rc;
    CardResponse response;
    if (const int32_t rc = SendCommand(session_, readerIndex, ReadCardSerial(), response);
        rc != 0) {
        return rc;
    }
    if (response.length < kSerialOffset + kSerialLength) return result::kFailed;
    const auto bytes = response.data().subspan(kSerialOffset, kSerialLength);
    serial.assign(bytes.begin(), bytes.end());
    return 0;
}

int32_t CCardEngine::GetIssuerBank(int32_t readerIndex, CardBytes& issuer) {
    issuer.clear();
    if (const int32_t rc = SelectApplicationAndFile(readerIndex, CardFile::Accounts1); rc != 0) {
        return rc;
    }
    CardResponse response;
    if (const int32_t rc =
            SendCommand(session_, readerIndex, ReadRecord(1, kIssuerRecordLength), response);
        rc != 0) {
        return rc;
    }
    if (response.length < kIssuerRecordLength) return result::kFailed;
    const auto bytes = response.data().subspan(kRecordDataOffset, kIssuerLength);
    issuer.assign(bytes.begin(), bytes.end());
    return 0;
}

int32_t CCardEngine::GetICCRemark(int32_t readerIndex, CardBytes& remark) {
    remark.clear();
    if (const int32_t rc = SelectApplicationAndFile(readerIndex, CardFile::Accounts1); rc != 0) {
        return rc;
    }
    CardResponse response;
    // 40 bytes asked for; a standard card has 32 and says so (6C20 on T=0).
    if (SendCommand(session_, readerIndex, ReadRecord(2, 0x28), response) == 0 &&
        response.length > kRecordDataOffset) {
        const auto bytes = response.data().subspan(kRecordDataOffset);
        remark.assign(bytes.begin(), bytes.end());
    }
    return 0;
}

int32_t CCardEngine::ListEF1001Accounts(int32_t readerIndex, AccountTable& accounts,
                                        int32_t& count) {
    return ListAccounts(readerIndex, CardFile::Accounts1, accounts, count);
}

int32_t CCardEngine::ListEF1002Accounts(int32_t readerIndex, AccountTable& accounts,
                                        int32_t& count) {
    return ListAccounts(readerIndex, CardFile::Accounts2, accounts, count);
}

int32_t CCardEngine::ListAccounts(int32_t readerIndex, CardFile file, AccountTable& accounts,
                                  int32_t& count) {
    // A failed select leaves the previous list as it was.
    if (const int32_t rc = SelectApplicationAndFile(readerIndex, file); rc != 0) return rc;
    const AccountFile layout = AccountFileOf(file);
    const auto expectedLength = static_cast<uint8_t>(kRecordDataOffset + layout.accountLength);
    count = 0;
    // Slots beyond the new count keep what an earlier listing left; the count
    // says which are current.
    for (uint8_t record = layout.firstRecord; record <= layout.lastRecord; ++record) {
        CardResponse response;
        if (SendCommand(session_, readerIndex, ReadRecord(record, expectedLength), response) != 0) {
            return result::kAccountReadFailed;
        }
        if (!IsAccountRecord(response.data(), layout.accountLength)) continue;
        accounts[static_cast<std::size_t>(count++)] = dataProcess_.BytesToText(
            response.data().subspan(kRecordDataOffset, layout.accountLength));
    }
    return 0;
}

}  // namespace qorv::card
