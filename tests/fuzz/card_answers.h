// A PC/SC provider for the card fuzz target whose cards and readers answer
// from the fuzz input: every SCardTransmit takes its answer (or an error)
// from the answer stream, and so do the answer-to-reset, reader attributes
// and reader control answers. Context, connect and disconnect calls succeed,
// so the input's bytes go to the answers the engine has to make sense of.
//
// Answer stream: per call that answers, a 16-bit little-endian word n, then
//   n < 0xFF00: that many answer bytes (fewer when the input ends);
//   n >= 0xFF00: the call fails with error (n & 0xFF) of kErrors.
// An exhausted stream answers with nothing, which the reader layer treats as
// a failed exchange.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "reader/pcsc_api.h"
#include "reader/pcsc_provider.h"

namespace qorv::fuzz {

namespace pcsc = reader::pcsc;
using reader::PcscContext;
using reader::PcscDword;
using reader::PcscHandle;
using reader::PcscIoRequest;
using reader::PcscLong;

inline constexpr std::array<int32_t, 8> kErrors = {
    pcsc::kRemovedCard,   pcsc::kUnresponsiveCard, pcsc::kResetCardWarning,   pcsc::kCommError,
    pcsc::kNotTransacted, pcsc::kSharingViolation, pcsc::kInsufficientBuffer, pcsc::kNoSmartcard};

// The two readers every run sees, in this order.
inline constexpr const char* kReaderNames[] = {"Fuzz Reader 00 00", "Fuzz Reader 00 01"};

class CardAnswers final : public reader::PcscProvider {
  public:
    CardAnswers(FuzzInput& answers, PcscDword protocol, std::vector<uint8_t> atr)
        : answers_(answers), protocol_(protocol), atr_(std::move(atr)) {
        current_ = this;
        api_.t0Pci = &t0_;
        api_.t1Pci = &t1_;
        api_.rawPci = &raw_;
        api_.establishContext = [](PcscDword, const void*, const void*, PcscContext* c) -> long {
            *c = 0x1000;
            return 0;
        };
        api_.releaseContext = [](PcscContext) -> long { return 0; };
        api_.listReaders = &ListReaders;
        api_.connect = [](PcscContext, const char* reader, PcscDword, PcscDword, PcscHandle* card,
                          PcscDword* protocol) -> long {
            *card = 0x2000 + (std::strcmp(reader, kReaderNames[1]) == 0 ? 1 : 0);
            *protocol = current_->protocol_;
            return 0;
        };
        api_.reconnect = [](PcscHandle, PcscDword, PcscDword, PcscDword,
                            PcscDword* protocol) -> long {
            *protocol = current_->protocol_;
            return 0;
        };
        api_.disconnect = [](PcscHandle, PcscDword) -> long { return 0; };
        api_.status = &Status;
        api_.transmit = [](PcscHandle, const PcscIoRequest*, const unsigned char* send,
                           PcscDword sendLength, PcscIoRequest*, unsigned char* recv,
                           PcscDword* recvLength) -> long {
            FUZZ_CHECK(send != nullptr && sendLength >= 4 && sendLength <= 300);
            return current_->Answer(recv, recvLength);
        };
        api_.getAttrib = [](PcscHandle, PcscDword, unsigned char* attr, PcscDword* length) -> long {
            return current_->Answer(attr, length);
        };
        api_.beginTransaction = [](PcscHandle) -> long { return 0; };
        api_.endTransaction = [](PcscHandle, PcscDword) -> long { return 0; };
        api_.control = [](PcscHandle, PcscDword, const void*, PcscDword, void* recv,
                          PcscDword recvLength, PcscDword* returned) -> long {
            PcscDword length = recvLength;
            const long rc = current_->Answer(static_cast<unsigned char*>(recv), &length);
            if (returned != nullptr) *returned = rc == 0 ? length : 0;
            return rc;
        };
    }
    ~CardAnswers() override { current_ = nullptr; }
    CardAnswers(const CardAnswers&) = delete;
    CardAnswers& operator=(const CardAnswers&) = delete;

    const reader::PcscApi* Load() override { return &api_; }
    void Unload() override {}
    const char* LibraryPath() const override { return "libpcsclite-fuzz.so"; }

  private:
    // The next answer into buffer (capacity *length); the PC/SC result.
    long Answer(unsigned char* buffer, PcscDword* length) {
        const auto word = answers_.Integer<uint16_t>();
        if (word >= 0xFF00) {
            *length = 0;
            return static_cast<uint32_t>(kErrors[(word & 0xFF) % kErrors.size()]);
        }
        const std::size_t count = std::min<std::size_t>(word, answers_.Remaining());
        std::vector<uint8_t> bytes(count);
        for (auto& b : bytes) b = answers_.Byte();
        // As pcsc-lite: an answer that does not fit is an error, nothing is written.
        if (buffer == nullptr || count > *length) {
            *length = count;
            return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
        }
        std::copy(bytes.begin(), bytes.end(), buffer);
        *length = count;
        return 0;
    }

    static long ListReaders(PcscContext, const char*, char* readers, PcscDword* length) {
        std::string multi;
        for (const char* name : kReaderNames) multi.append(name).push_back('\0');
        multi.push_back('\0');
        if (readers == nullptr) {
            *length = multi.size();
            return 0;
        }
        if (*length < multi.size()) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
        std::memcpy(readers, multi.data(), multi.size());
        *length = multi.size();
        return 0;
    }

    static long Status(PcscHandle card, char* names, PcscDword* nameLength, PcscDword* state,
                       PcscDword* protocol, unsigned char* atr, PcscDword* atrLength) {
        const std::string name = kReaderNames[card == 0x2001 ? 1 : 0];
        if (names != nullptr && nameLength != nullptr) {
            if (*nameLength < name.size() + 2)
                return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
            std::memcpy(names, name.c_str(), name.size() + 1);
            names[name.size() + 1] = '\0';
            *nameLength = name.size() + 2;
        } else if (nameLength != nullptr) {
            *nameLength = name.size() + 2;
        }
        if (state != nullptr) *state = 0x34;  // present, powered, specific
        if (protocol != nullptr) *protocol = current_->protocol_;
        const auto& bytes = current_->atr_;
        if (atrLength != nullptr) {
            if (atr != nullptr && *atrLength < bytes.size())
                return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
            if (atr != nullptr) std::copy(bytes.begin(), bytes.end(), atr);
            *atrLength = bytes.size();
        }
        return 0;
    }

    static inline CardAnswers* current_ = nullptr;
    FuzzInput& answers_;
    PcscDword protocol_;
    std::vector<uint8_t> atr_;
    reader::PcscApi api_{};
    PcscIoRequest t0_{pcsc::kProtocolT0, sizeof(PcscIoRequest)};
    PcscIoRequest t1_{pcsc::kProtocolT1, sizeof(PcscIoRequest)};
    PcscIoRequest raw_{4, sizeof(PcscIoRequest)};
};

}  // namespace qorv::fuzz
