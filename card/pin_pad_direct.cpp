#include "card/pin_pad_direct.h"

#include <vector>

#include "base/results.h"
#include "card/pin_entry_structures.h"
#include "card/pin_pad.h"

namespace qorv::card {
namespace {

bool InModelTable(reader::ReaderSession& session, int32_t slot) {
    const std::u16string name = session.slotName(slot);
    return !name.empty() && ClassifyPinPadReader(name) != kReaderClassNone;
}

template <std::size_t N>
int32_t SendStructure(reader::ReaderSession& session, int32_t slot, reader::PcscDword code,
                      std::array<uint8_t, N> structure, const PinEntryFields& fields) {
    if (!FitToReader(structure, fields, session.pinPadFeatures(slot).properties)) {
        return result::kFailed;
    }
    std::vector<uint8_t> answer;
    const int32_t rc = session.ControlReader(slot, code, structure, answer);
    return PadAnswerResult(rc, answer);
}

}  // namespace

template <std::size_t N>
bool FitToReader(std::array<uint8_t, N>& structure, const PinEntryFields& fields,
                 const reader::PinPadProperties& reader) {
    // wPINMaxExtraDigit: the most digits in its low byte, the fewest in its high.
    uint8_t& most = structure[fields.maxExtraDigit];
    uint8_t& fewest = structure[fields.maxExtraDigit + 1];
    if (reader.minPinSize && *reader.minPinSize > fewest) fewest = *reader.minPinSize;
    if (reader.maxPinSize && *reader.maxPinSize < most) most = *reader.maxPinSize;
    // A reader without a display takes no prompts to show.
    if (reader.lcdLayout == 0) structure[fields.numberMessage] = 0;
    return fewest <= most;
}
template bool FitToReader(PinVerifyStructure&, const PinEntryFields&,
                          const reader::PinPadProperties&);
template bool FitToReader(PinModifyStructure&, const PinEntryFields&,
                          const reader::PinPadProperties&);

bool TakesPinDirect(reader::ReaderSession& session, int32_t slot) {
    if (InModelTable(session, slot)) return false;
    return session.pinPadFeatures(slot).verifyPinDirect.has_value();
}

bool TakesPinChangeDirect(reader::ReaderSession& session, int32_t slot) {
    return TakesPinDirect(session, slot) &&
           session.pinPadFeatures(slot).modifyPinDirect.has_value();
}

int32_t PadAnswerResult(int32_t controlResult, std::span<const uint8_t> answer) {
    // A reader that refuses the structure has not verified anything.
    if (controlResult != 0 || answer.size() < 2) return result::kFailed;
    const int32_t status = (answer[answer.size() - 2] << 8) | answer[answer.size() - 1];
    return status == 0x9000 ? 0 : status;
}

int32_t VerifyPinDirect(reader::ReaderSession& session, int32_t slot) {
    static constexpr PinVerifyStructure kStructure = VerifyPinStructure();
    const auto& code = session.pinPadFeatures(slot).verifyPinDirect;
    if (!code) return result::kFailed;
    return SendStructure(session, slot, *code, kStructure, kVerifyFields);
}

int32_t ModifyPinDirect(reader::ReaderSession& session, int32_t slot) {
    static constexpr PinModifyStructure kStructure = ModifyPinStructure();
    const auto& code = session.pinPadFeatures(slot).modifyPinDirect;
    if (!code) return result::kFailed;
    return SendStructure(session, slot, *code, kStructure, kModifyFields);
}

std::u16string_view PinPadPathName(reader::ReaderSession& session, int32_t slot) {
    switch (ClassifyPinPadReader(session.slotName(slot))) {
        case kReaderClass1:
            return u"model table, class 1";
        case kReaderClass2:
            return u"model table, class 2";
        case kReaderClass3:
            return u"model table, class 3";
        default:
            break;
    }
    return TakesPinDirect(session, slot) ? u"part 10" : u"none";
}

}  // namespace qorv::card
