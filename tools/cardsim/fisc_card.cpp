#include "tools/cardsim/fisc_card.h"

#include <algorithm>
#include <cstdio>

namespace qorv::cardsim {

namespace {

constexpr uint8_t kInsSelect = 0xA4;
constexpr uint8_t kInsReadBinary = 0xB0;
constexpr uint8_t kInsReadRecord = 0xB2;
constexpr uint8_t kInsVerify = 0x20;
constexpr uint8_t kInsWriteRecord = 0xD2;
constexpr uint8_t kInsWriteTransaction = 0xE2;
constexpr uint8_t kInsGetResponse = 0xC0;

constexpr uint8_t kAid[] = {0xA0, 0x00, 0x00, 0x01, 0x72, 0x95, 0x00, 0x01};
constexpr uint8_t kPinReference = 0x10;
constexpr size_t kTransparentLength = 16;
constexpr size_t kSerialOffset = 4;

// T=0 only: no interface bytes beyond TB1/TC1, historical bytes "QORVFISC".
constexpr uint8_t kAtrT0[] = {0x3B, 0x68, 0x00, 0x00, 'Q', 'O', 'R', 'V', 'F', 'I', 'S', 'C'};

std::vector<uint8_t> AtrT1() {
    // TD1 = 01 offers T=1 alone; TCK closes the ATR as T=1 requires.
    std::vector<uint8_t> atr{0x3B, 0x88, 0x01, 'Q', 'O', 'R', 'V', 'F', 'I', 'S', 'C'};
    uint8_t tck = 0;
    for (size_t i = 1; i < atr.size(); ++i) {
        tck ^= atr[i];
    }
    atr.push_back(tck);
    return atr;
}

uint8_t LowByte(size_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

FiscCard::FiscCard(CardProfile profile, Protocol protocol)
    : profile_(std::move(profile)), protocol_(protocol), maxPinTries_(profile_.pinTries) {}

std::vector<uint8_t> FiscCard::Atr() const {
    if (protocol_ == Protocol::T0) {
        return {std::begin(kAtrT0), std::end(kAtrT0)};
    }
    return AtrT1();
}

std::vector<uint8_t> FiscCard::Process(std::span<const uint8_t> bytes) {
    const auto command = ParseCommandApdu(bytes);
    if (!command) {
        session_.pendingResponse.clear();
        return StatusOnly(sw::kWrongLength);
    }
    if (command->ins != kInsGetResponse) {
        session_.pendingResponse.clear();
    }
    return Dispatch(*command);
}

std::vector<uint8_t> FiscCard::Dispatch(const CommandApdu& command) {
    if (command.cla != 0x00) {
        return StatusOnly(sw::kClaNotSupported);
    }
    // Only the read-all command takes an extended Le, and only on T=1.
    const bool readAll = command.ins == kInsReadRecord && (command.p2 & 0x07) == 0x05;
    if (command.extended && (protocol_ == Protocol::T0 || !readAll || !command.data.empty() ||
                             profile_.faults.refuseExtendedRead)) {
        return StatusOnly(sw::kWrongLength);
    }
    switch (command.ins) {
        case kInsSelect:
            return Select(command);
        case kInsReadBinary:
            return ReadBinary(command);
        case kInsReadRecord:
            return ReadRecord(command);
        case kInsVerify:
            return Verify(command);
        case kInsWriteRecord:
            return WritePinRecord(command);
        case kInsWriteTransaction:
            return WriteTransaction(command);
        case kInsGetResponse:
            return GetResponse(command);
        default:
            return StatusOnly(sw::kInsNotSupported);
    }
}

std::vector<uint8_t> FiscCard::AnswerData(const CommandApdu& command, std::vector<uint8_t> data) {
    if (data.empty()) {
        return StatusOnly(sw::kSuccess);
    }
    if (protocol_ == Protocol::T1) {
        if (command.le && *command.le < data.size()) {
            data.resize(*command.le);
        }
        return ResponseApdu(data, sw::kSuccess);
    }
    // T=0 cannot carry both command data and response data in one exchange.
    if (!command.data.empty()) {
        const auto status = static_cast<uint16_t>(0x6100 | LowByte(data.size()));
        session_.pendingResponse = std::move(data);
        return StatusOnly(status);
    }
    if (!command.le || *command.le != data.size()) {
        return StatusOnly(static_cast<uint16_t>(0x6C00 | LowByte(data.size())));
    }
    return ResponseApdu(data, sw::kSuccess);
}

std::vector<uint8_t> FiscCard::GetResponse(const CommandApdu& command) {
    if (command.p1 != 0 || command.p2 != 0) {
        return StatusOnly(sw::kWrongP1P2);
    }
    auto& pending = session_.pendingResponse;
    if (pending.empty()) {
        return StatusOnly(sw::kConditionsNotSatisfied);
    }
    // A longer Le than what is pending still gets the pending data.
    const size_t wanted = command.le.value_or(256);
    if (wanted >= pending.size()) {
        auto response = ResponseApdu(pending, sw::kSuccess);
        pending.clear();
        return response;
    }
    auto response = ResponseApdu(std::span(pending).first(wanted), 0);
    pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(wanted));
    response[response.size() - 2] = 0x61;
    response[response.size() - 1] = LowByte(pending.size());
    return response;
}

std::vector<uint8_t> FiscCard::Select(const CommandApdu& command) {
    if (command.p1 == 0x04) {
        if (command.p2 != 0x00) {
            return StatusOnly(sw::kWrongP1P2);
        }
        if (!std::equal(command.data.begin(), command.data.end(), std::begin(kAid),
                        std::end(kAid))) {
            return StatusOnly(sw::kFileNotFound);
        }
        if (profile_.faults.selectApplication) {
            return StatusOnly(*profile_.faults.selectApplication);
        }
        // Selecting the application again keeps a verified PIN: only a card
        // reset ends the card session.
        session_.applicationSelected = true;
        session_.currentFile.reset();
        std::vector<uint8_t> fci{0x6F, sizeof(kAid) + 2, 0x84, sizeof(kAid)};
        fci.insert(fci.end(), std::begin(kAid), std::end(kAid));
        if (protocol_ == Protocol::T1 && !command.le) {
            return StatusOnly(sw::kSuccess);
        }
        return AnswerData(command, std::move(fci));
    }
    if (command.p1 != 0x02 || (command.p2 != 0x00 && command.p2 != 0x0C)) {
        return StatusOnly(sw::kWrongP1P2);
    }
    if (command.data.size() != 2) {
        return StatusOnly(sw::kWrongLength);
    }
    const auto fileId = static_cast<uint16_t>(command.data[0] << 8 | command.data[1]);
    if (!session_.applicationSelected ||
        (fileId != kEf1001 && fileId != kEf1002 && fileId != kPinFile)) {
        return StatusOnly(sw::kFileNotFound);
    }
    session_.currentFile = fileId;
    const auto* records = CurrentRecords();
    const size_t recordCount = records != nullptr ? records->size() : 1;
    // File control parameters: identifier, linear fixed structure, record count.
    std::vector<uint8_t> fcp{0x62,
                             0x0E,
                             0x83,
                             0x02,
                             command.data[0],
                             command.data[1],
                             0x82,
                             0x02,
                             0x02,
                             0x00,
                             0x80,
                             0x02,
                             0x00,
                             LowByte(recordCount),
                             0x88,
                             0x00};
    if (command.p2 == 0x0C || (protocol_ == Protocol::T1 && !command.le)) {
        return StatusOnly(sw::kSuccess);
    }
    return AnswerData(command, std::move(fcp));
}

std::vector<uint8_t> FiscCard::ReadBinary(const CommandApdu& command) {
    if (!session_.applicationSelected) {
        return StatusOnly(sw::kNoCurrentFile);
    }
    if (session_.currentFile) {
        return StatusOnly(sw::kWrongFileType);  // a record file is current
    }
    if (profile_.faults.readBinary) {
        return StatusOnly(*profile_.faults.readBinary);
    }
    const size_t offset = static_cast<size_t>(command.p1 & 0x7F) << 8 | command.p2;
    if ((command.p1 & 0x80) != 0 || offset >= kTransparentLength) {
        return StatusOnly(sw::kWrongP1P2);
    }
    std::vector<uint8_t> transparent(kTransparentLength, 0x00);
    transparent[1] = 0x01;  // data version
    transparent[3] = static_cast<uint8_t>(profile_.serial.size());
    std::copy(profile_.serial.begin(), profile_.serial.end(), transparent.begin() + kSerialOffset);
    transparent.erase(transparent.begin(), transparent.begin() + static_cast<ptrdiff_t>(offset));
    return AnswerData(command, std::move(transparent));
}

const std::vector<std::vector<uint8_t>>* FiscCard::CurrentRecords() const {
    if (session_.currentFile == kEf1001) {
        return &profile_.ef1001;
    }
    if (session_.currentFile == kEf1002) {
        return &profile_.ef1002;
    }
    return nullptr;
}

std::vector<uint8_t> FiscCard::ReadRecord(const CommandApdu& command) {
    if (!session_.currentFile) {
        return StatusOnly(sw::kNoCurrentFile);
    }
    const uint8_t mode = command.p2 & 0x07;
    if ((command.p2 & 0xF8) != 0 || (mode != 0x04 && mode != 0x05)) {
        return StatusOnly(sw::kWrongP1P2);  // no short file identifiers on this card
    }
    const auto* records = CurrentRecords();
    if (records == nullptr) {
        return StatusOnly(sw::kSecurityNotSatisfied);  // the PIN file is never readable
    }
    const size_t first = command.p1;
    if (first < 1 || first > records->size()) {
        return StatusOnly(sw::kRecordNotFound);
    }
    const size_t last =
        mode == 0x04 ? first : std::min(records->size(), first + profile_.readAllRecordCount - 1);
    std::vector<uint8_t> data;
    for (size_t n = first; n <= last; ++n) {
        const auto fault = profile_.faults.readRecord.find({*session_.currentFile, n});
        if (fault != profile_.faults.readRecord.end()) {
            return StatusOnly(fault->second);
        }
        data.insert(data.end(), (*records)[n - 1].begin(), (*records)[n - 1].end());
    }
    return AnswerData(command, std::move(data));
}

std::vector<uint8_t> FiscCard::Verify(const CommandApdu& command) {
    if (!session_.applicationSelected) {
        return StatusOnly(sw::kConditionsNotSatisfied);
    }
    if (command.p1 != 0x00 || command.p2 != kPinReference) {
        return StatusOnly(sw::kWrongP1P2);
    }
    if (profile_.pinLocked) {
        return StatusOnly(profile_.lockedPinStatus);
    }
    const auto triesLeft = [this] {
        return static_cast<uint16_t>(0x63C0 | std::clamp(profile_.pinTries, 0, 15));
    };
    if (command.data.empty()) {
        return StatusOnly(triesLeft());  // asks for the tries left
    }
    if (command.data.size() != profile_.pinBlock.size()) {
        return StatusOnly(sw::kWrongLength);
    }
    if (std::equal(command.data.begin(), command.data.end(), profile_.pinBlock.begin())) {
        session_.pinVerified = true;
        profile_.pinTries = maxPinTries_;
        return StatusOnly(sw::kSuccess);
    }
    session_.pinVerified = false;
    profile_.pinTries -= 1;
    if (profile_.pinTries <= 0) {
        profile_.pinLocked = true;
    }
    return StatusOnly(profile_.wrongPinStatus.withTriesLeft ? triesLeft()
                                                            : profile_.wrongPinStatus.status);
}

void FiscCard::Remember(const CommandApdu& command, uint16_t status) {
    written_.push_back({command.ins, command.p1, command.p2, command.data, status});
    if (written_.size() > kWrittenRecordsKept) {
        written_.pop_front();
    }
}

std::vector<uint8_t> FiscCard::WritePinRecord(const CommandApdu& command) {
    if (!session_.applicationSelected) {
        return StatusOnly(sw::kConditionsNotSatisfied);
    }
    if (!session_.currentFile) {
        return StatusOnly(sw::kNoCurrentFile);
    }
    if (*session_.currentFile != kPinFile) {
        return StatusOnly(sw::kSecurityNotSatisfied);  // account files are read-only
    }
    if (command.p1 != 0x01) {
        return StatusOnly(sw::kRecordNotFound);
    }
    if (command.p2 != 0x04) {
        return StatusOnly(sw::kWrongP1P2);
    }
    if (command.data.size() != profile_.pinBlock.size()) {
        return StatusOnly(sw::kWrongLength);
    }
    uint16_t status = sw::kSuccess;
    if (!session_.pinVerified) {
        status = sw::kSecurityNotSatisfied;
    } else if (profile_.faults.writePin) {
        status = *profile_.faults.writePin;
    } else {
        std::copy(command.data.begin(), command.data.end(), profile_.pinBlock.begin());
    }
    Remember(command, status);
    return StatusOnly(status);
}

std::vector<uint8_t> FiscCard::WriteTransaction(const CommandApdu& command) {
    if (command.p1 != 0x10 || command.p2 != 0x80) {
        return StatusOnly(sw::kWrongP1P2);
    }
    if (command.data.empty()) {
        return StatusOnly(sw::kWrongLength);
    }
    uint16_t status = sw::kSuccess;
    if (!session_.applicationSelected) {
        status = sw::kConditionsNotSatisfied;
    } else if (!session_.pinVerified) {
        status = sw::kSecurityNotSatisfied;
    } else if (profile_.faults.transactionWrite) {
        status = *profile_.faults.transactionWrite;
    }
    char snum[kSnumLength + 1];
    std::snprintf(snum, sizeof snum, "%08u", static_cast<unsigned>(profile_.snum));
    Tac tac{};
    if (status == sw::kSuccess && !ComputeTac(profile_.tacKey, snum, command.data, &tac)) {
        status = 0x6F00;  // no precise diagnosis
    }
    Remember(command, status);
    if (status != sw::kSuccess) {
        return StatusOnly(status);
    }
    // 00, SNUM (8 characters), key version, 00, TAC (8 bytes).
    std::vector<uint8_t> response{0x00};
    response.insert(response.end(), snum, snum + kSnumLength);
    response.push_back(profile_.tacKeyVersion);
    response.push_back(0x00);
    response.insert(response.end(), tac.begin(), tac.end());
    profile_.snum = (profile_.snum + 1) % 100000000;
    return AnswerData(command, std::move(response));
}

}  // namespace qorv::cardsim
