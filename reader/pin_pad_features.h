// Secure PIN entry that a reader announces itself (PC/SC part 10): the
// reader lists its features as TLVs (tag, length 4, big-endian control
// code) in answer to the feature request, and takes each feature through
// SCardControl with that code. Asked once per card connection and kept with
// the reader session; a feature the reader did not list is never sent.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "reader/pcsc_api.h"

namespace qorv::reader {

class ReaderSession;

inline constexpr PcscDword kGetFeatureRequest = 0x42000000 + 3400;  // SCARD_CTL_CODE(3400)

namespace feature {
inline constexpr uint8_t kVerifyPinDirect = 0x06;
inline constexpr uint8_t kModifyPinDirect = 0x07;
inline constexpr uint8_t kIfdPinProperties = 0x0A;
inline constexpr uint8_t kGetTlvProperties = 0x12;
}  // namespace feature

// What the reader says of its keypad and display (GET_TLV_PROPERTIES, or
// the older IFD_PIN_PROPERTIES for the first three).
struct PinPadProperties {
    std::optional<uint16_t> lcdLayout{};  // 0xXXYY: XX lines, YY characters
    std::optional<uint8_t> entryValidation{};
    std::optional<uint8_t> timeOut2{};
    std::optional<uint8_t> minPinSize{};
    std::optional<uint8_t> maxPinSize{};
};

struct PinPadFeatures {
    std::optional<PcscDword> verifyPinDirect;
    std::optional<PcscDword> modifyPinDirect;
    std::optional<PcscDword> ifdPinProperties;
    std::optional<PcscDword> getTlvProperties;
    PinPadProperties properties;
};

// The feature list of the feature request's answer; entries with another
// length, and a truncated last entry, are skipped.
PinPadFeatures ParseFeatureList(std::span<const uint8_t> tlv);
// GET_TLV_PROPERTIES' answer: tag, length, little-endian value.
void ParseTlvProperties(std::span<const uint8_t> tlv, PinPadProperties& properties);
// IFD_PIN_PROPERTIES' answer: wLcdLayout, bEntryValidationCondition, bTimeOut2.
void ParsePinProperties(std::span<const uint8_t> answer, PinPadProperties& properties);

// The features of the reader whose card is connected in a slot, asked the
// first time they are needed after each connect.
class PinPadFeatureCache {
  public:
    // Nothing offered when the slot has no card handle or the reader does not
    // answer the feature request.
    const PinPadFeatures& For(ReaderSession& session, int32_t slot);
    void Forget() { known_.reset(); }

  private:
    struct Known {
        int32_t slot;
        PcscHandle handle;
        PinPadFeatures features;
    };
    std::optional<Known> known_;
    PinPadFeatures none_;
};

}  // namespace qorv::reader
