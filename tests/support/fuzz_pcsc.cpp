#include "support/fuzz_pcsc.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qorv::testing {

using reader::PcscContext;
using reader::PcscDword;
using reader::PcscHandle;
using reader::PcscIoRequest;
using reader::PcscLong;
namespace pcsc = reader::pcsc;

FuzzPcsc* FuzzPcsc::instance = nullptr;

namespace {

// The failures a reader, a card or pcscd can answer.
constexpr int32_t kFailures[] = {
    pcsc::kRemovedCard,        pcsc::kNoSmartcard,        pcsc::kSharingViolation,
    pcsc::kInvalidHandle,      pcsc::kCommError,          pcsc::kResetCardWarning,
    pcsc::kNotTransacted,      pcsc::kUnknownReader,      pcsc::kNoReadersAvailable,
    pcsc::kUnsupportedFeature, pcsc::kInsufficientBuffer, -1};

FuzzPcsc& Live() {
    return *FuzzPcsc::instance;
}

PcscLong FEstablish(PcscDword, const void*, const void*, PcscContext* c) {
    *c = 0x1000;
    return Live().Outcome();
}
PcscLong FRelease(PcscContext) {
    return Live().Outcome();
}
PcscLong FList(PcscContext, const char*, char* b, PcscDword* l) {
    return Live().ListReaders(b, l);
}
PcscLong FConnect(PcscContext, const char*, PcscDword, PcscDword, PcscHandle* h, PcscDword* p) {
    return Live().Connect(h, p);
}
PcscLong FReconnect(PcscHandle, PcscDword, PcscDword, PcscDword, PcscDword* p) {
    return Live().Reconnect(p);
}
PcscLong FDisconnect(PcscHandle, PcscDword) {
    return Live().Outcome();
}
PcscLong FStatus(PcscHandle, char* n, PcscDword* nl, PcscDword* s, PcscDword* p, unsigned char* a,
                 PcscDword* al) {
    return Live().Status(n, nl, s, p, a, al);
}
PcscLong FTransmit(PcscHandle, const PcscIoRequest*, const unsigned char*, PcscDword,
                   PcscIoRequest*, unsigned char* rb, PcscDword* rl) {
    return Live().Transmit(rb, rl);
}
PcscLong FGetAttrib(PcscHandle, PcscDword, unsigned char* a, PcscDword* l) {
    return Live().Data(a, *l, l);
}
PcscLong FControl(PcscHandle, PcscDword, const void*, PcscDword, void* r, PcscDword rl,
                  PcscDword* returned) {
    return Live().Data(r, rl, returned);
}
PcscLong FEnd(PcscHandle, PcscDword) {
    return Live().Outcome();
}
PcscLong FBegin(PcscHandle) {
    return Live().Outcome();
}

}  // namespace

FuzzPcsc::FuzzPcsc() {
    if (instance != nullptr) throw std::logic_error("one FuzzPcsc at a time");
    instance = this;
    api_.t0Pci = &t0_;
    api_.t1Pci = &t1_;
    api_.establishContext = FEstablish;
    api_.releaseContext = FRelease;
    api_.listReaders = FList;
    api_.connect = FConnect;
    api_.reconnect = FReconnect;
    api_.disconnect = FDisconnect;
    api_.status = FStatus;
    api_.transmit = FTransmit;
    api_.getAttrib = FGetAttrib;
    api_.endTransaction = FEnd;
    api_.beginTransaction = FBegin;
    api_.control = FControl;
}

FuzzPcsc::~FuzzPcsc() {
    instance = nullptr;
}

void FuzzPcsc::Reset(std::span<const uint8_t> answers) {
    answers_ = answers;
    at_ = 0;
    readers_.clear();
}

uint8_t FuzzPcsc::Byte() {
    return at_ < answers_.size() ? answers_[at_++] : 0;
}

std::vector<uint8_t> FuzzPcsc::Bytes(std::size_t count) {
    count = std::min(count, answers_.size() - at_);
    std::vector<uint8_t> out(answers_.begin() + static_cast<std::ptrdiff_t>(at_),
                             answers_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
    at_ += count;
    return out;
}

const reader::PcscApi* FuzzPcsc::Load() {
    if (readers_.empty()) {
        const uint8_t count = Byte();
        if (count == 0 || count > 3) {
            readers_ = std::string("Virtual PCD 00 00\0Virtual PCD 00 01\0", 36);
        } else {
            for (uint8_t i = 0; i < count; ++i) {
                std::vector<uint8_t> name = Bytes(Byte());
                std::replace(name.begin(), name.end(), uint8_t{0}, uint8_t{'?'});
                if (name.empty()) name.push_back('R');
                readers_.append(name.begin(), name.end());
                readers_.push_back('\0');
            }
        }
        readers_.push_back('\0');
    }
    return &api_;
}

PcscLong FuzzPcsc::Outcome() {
    const uint8_t choice = Byte();
    if (choice < 0xF0) return 0;
    return static_cast<uint32_t>(kFailures[(choice - 0xF0) % std::size(kFailures)]);
}

PcscLong FuzzPcsc::ListReaders(char* buffer, PcscDword* length) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    if (buffer == nullptr) {
        *length = readers_.size();
        return 0;
    }
    if (*length < readers_.size()) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    std::memcpy(buffer, readers_.data(), readers_.size());
    *length = readers_.size();
    return 0;
}

PcscLong FuzzPcsc::Connect(PcscHandle* card, PcscDword* protocol) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    *card = 0x2000;
    *protocol = (Byte() & 1) != 0 ? pcsc::kProtocolT1 : pcsc::kProtocolT0;
    return 0;
}

PcscLong FuzzPcsc::Reconnect(PcscDword* protocol) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    *protocol = (Byte() & 1) != 0 ? pcsc::kProtocolT1 : pcsc::kProtocolT0;
    return 0;
}

PcscLong FuzzPcsc::Status(char* name, PcscDword* nameLength, PcscDword* state, PcscDword* protocol,
                          unsigned char* atr, PcscDword* atrLength) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    const std::size_t first = std::strlen(readers_.c_str());
    const std::vector<uint8_t> answer = Bytes(Byte() % 34);
    if (*nameLength < first + 2 || *atrLength < answer.size()) {
        return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    }
    std::memcpy(name, readers_.c_str(), first + 1);
    name[first + 1] = '\0';
    *nameLength = first + 2;
    *state = 0x34;
    *protocol = (Byte() & 1) != 0 ? pcsc::kProtocolT1 : pcsc::kProtocolT0;
    if (!answer.empty()) std::memcpy(atr, answer.data(), answer.size());
    *atrLength = answer.size();
    return 0;
}

PcscLong FuzzPcsc::Transmit(unsigned char* recv, PcscDword* recvLength) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    std::vector<uint8_t> answer = Bytes(Byte());
    if (answer.empty()) answer = {0x90, 0x00};
    if (answer.size() > *recvLength) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    std::memcpy(recv, answer.data(), answer.size());
    *recvLength = answer.size();
    return 0;
}

PcscLong FuzzPcsc::Data(void* out, PcscDword capacity, PcscDword* length) {
    if (const PcscLong rc = Outcome(); rc != 0) return rc;
    const std::vector<uint8_t> answer = Bytes(Byte());
    if (answer.size() > capacity) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    if (!answer.empty() && out != nullptr) std::memcpy(out, answer.data(), answer.size());
    *length = answer.size();
    return 0;
}

}  // namespace qorv::testing
