#include "reader/pin_pad_features.h"

#include <vector>

#include "reader/reader_session.h"

namespace qorv::reader {
namespace {

std::optional<PcscDword>* FeatureSlot(PinPadFeatures& features, uint8_t tag) {
    switch (tag) {
        case feature::kVerifyPinDirect:
            return &features.verifyPinDirect;
        case feature::kModifyPinDirect:
            return &features.modifyPinDirect;
        case feature::kIfdPinProperties:
            return &features.ifdPinProperties;
        case feature::kGetTlvProperties:
            return &features.getTlvProperties;
        default:
            return nullptr;
    }
}

// Tags of GET_TLV_PROPERTIES' answer.
constexpr uint8_t kPropertyLcdLayout = 1;
constexpr uint8_t kPropertyEntryValidation = 2;
constexpr uint8_t kPropertyTimeOut2 = 3;
constexpr uint8_t kPropertyMinPinSize = 6;
constexpr uint8_t kPropertyMaxPinSize = 7;

}  // namespace

PinPadFeatures ParseFeatureList(std::span<const uint8_t> tlv) {
    PinPadFeatures features;
    for (std::size_t at = 0; at + 2 <= tlv.size();) {
        const uint8_t tag = tlv[at];
        const std::size_t length = tlv[at + 1];
        if (at + 2 + length > tlv.size()) break;
        if (length == 4) {
            const auto v = tlv.subspan(at + 2, 4);
            const PcscDword code = (PcscDword{v[0]} << 24U) | (PcscDword{v[1]} << 16U) |
                                   (PcscDword{v[2]} << 8U) | PcscDword{v[3]};
            if (auto* slot = FeatureSlot(features, tag)) *slot = code;
        }
        at += 2 + length;
    }
    return features;
}

void ParseTlvProperties(std::span<const uint8_t> tlv, PinPadProperties& properties) {
    for (std::size_t at = 0; at + 2 <= tlv.size();) {
        const uint8_t tag = tlv[at];
        const std::size_t length = tlv[at + 1];
        if (at + 2 + length > tlv.size()) break;
        const auto v = tlv.subspan(at + 2, length);
        if (length == 2 && tag == kPropertyLcdLayout) {
            properties.lcdLayout = static_cast<uint16_t>(v[0] | (v[1] << 8U));
        } else if (length == 1) {
            switch (tag) {
                case kPropertyEntryValidation:
                    properties.entryValidation = v[0];
                    break;
                case kPropertyTimeOut2:
                    properties.timeOut2 = v[0];
                    break;
                case kPropertyMinPinSize:
                    properties.minPinSize = v[0];
                    break;
                case kPropertyMaxPinSize:
                    properties.maxPinSize = v[0];
                    break;
                default:
                    break;
            }
        }
        at += 2 + length;
    }
}

void ParsePinProperties(std::span<const uint8_t> answer, PinPadProperties& properties) {
    if (answer.size() < 4) return;
    properties.lcdLayout = static_cast<uint16_t>(answer[0] | (answer[1] << 8U));
    properties.entryValidation = answer[2];
    properties.timeOut2 = answer[3];
}

const PinPadFeatures& PinPadFeatureCache::For(ReaderSession& session, int32_t slot) {
    const std::optional<PcscHandle> handle = session.slotHandle(slot);
    if (!handle) return none_;
    if (known_ && known_->slot == slot && known_->handle == *handle) return known_->features;
    std::vector<uint8_t> answer;
    PinPadFeatures features;
    if (session.ControlReader(slot, kGetFeatureRequest, {}, answer) == 0) {
        features = ParseFeatureList(answer);
    }
    // The properties only refine the entry; a reader that fails them still
    // takes the PIN.
    if (features.getTlvProperties &&
        session.ControlReader(slot, *features.getTlvProperties, {}, answer) == 0) {
        ParseTlvProperties(answer, features.properties);
    } else if (features.ifdPinProperties &&
               session.ControlReader(slot, *features.ifdPinProperties, {}, answer) == 0) {
        ParsePinProperties(answer, features.properties);
    }
    known_ = Known{slot, *handle, features};
    return known_->features;
}

}  // namespace qorv::reader
