// A PC/SC whose every answer comes from a byte string: the reader names,
// whether each call succeeds, the ATR, the card's answer to each command and
// the reader's answer to each control code. Fuzz targets feed it their input
// and tests can replay an answer string. An exhausted string answers every
// call with success and every command with 90 00.
//
// Layout, read front to back as the calls come:
//   at Load: reader count (0-3, else the two standard names), then per
//            reader a length byte and that many name bytes;
//   every call: one byte, 0xF0 and above picks a failure code;
//   transmit, getattrib, control, status ATR: a length byte, then the data
//            (length 0 answers 90 00 to a transmit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "reader/pcsc_provider.h"

namespace qorv::testing {

class FuzzPcsc final : public reader::PcscProvider {
  public:
    FuzzPcsc();
    ~FuzzPcsc() override;
    FuzzPcsc(const FuzzPcsc&) = delete;
    FuzzPcsc& operator=(const FuzzPcsc&) = delete;

    // The answers for what follows; the readers are decided at the next Load.
    void Reset(std::span<const uint8_t> answers);

    const reader::PcscApi* Load() override;
    void Unload() override {}
    const char* LibraryPath() const override { return "libpcsclite-fuzz.so"; }

    // Entry points (public for the function table).
    reader::PcscLong Outcome();
    reader::PcscLong ListReaders(char* buffer, reader::PcscDword* length);
    reader::PcscLong Connect(reader::PcscHandle* card, reader::PcscDword* protocol);
    reader::PcscLong Reconnect(reader::PcscDword* protocol);
    reader::PcscLong Status(char* name, reader::PcscDword* nameLength, reader::PcscDword* state,
                            reader::PcscDword* protocol, unsigned char* atr,
                            reader::PcscDword* atrLength);
    reader::PcscLong Transmit(unsigned char* recv, reader::PcscDword* recvLength);
    reader::PcscLong Data(void* out, reader::PcscDword capacity, reader::PcscDword* length);

    static FuzzPcsc* instance;

  private:
    uint8_t Byte();
    std::vector<uint8_t> Bytes(std::size_t count);

    std::span<const uint8_t> answers_;
    std::size_t at_ = 0;
    std::string readers_;  // the multi-string
    reader::PcscApi api_{};
    reader::PcscIoRequest t0_{reader::pcsc::kProtocolT0, sizeof(reader::PcscIoRequest)};
    reader::PcscIoRequest t1_{reader::pcsc::kProtocolT1, sizeof(reader::PcscIoRequest)};
};

}  // namespace qorv::testing
