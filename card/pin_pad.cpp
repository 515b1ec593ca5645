// PIN-pad reader classes and the card steps that leave the PIN to the reader.
#include "card/pin_pad.h"

#include <algorithm>

#include "card/card_channel.h"
#include "card/pin_block.h"
#include "card/pin_pad_direct.h"

namespace qorv::card {
namespace {

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Units beyond ASCII never equal a model's (ASCII) character.
bool BeginsWith(std::u16string_view name, std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), name.begin(), [](char p, char16_t n) {
        return AsciiLower(static_cast<char16_t>(static_cast<unsigned char>(p))) == AsciiLower(n);
    });
}

}  // namespace

int32_t ClassifyPinPadReader(const ScriptText& readerName) {
    if (!readerName || readerName->empty()) return result::kArgumentMissing;
    const std::u16string_view name =
        std::u16string_view(*readerName).substr(0, kClassifiedNameUnits);
    for (const PinPadModel& model : kPinPadModels) {
        if (BeginsWith(name, model.prefix)) return model.readerClass;
    }
    return kReaderClassNone;
}

int32_t ClassifyConnectedPinPadReader(CCardEngine& engine, int32_t slot,
                                      const ScriptText& readerName) {
    const int32_t byName = ClassifyPinPadReader(readerName);
    if (byName != kReaderClassNone) return byName;
    return TakesPinDirect(engine.session(), slot) ? kReaderClassPinDirect : kReaderClassNone;
}

int32_t VerifyPinOnPad(CCardEngine& engine, int32_t readerIndex) {
    if (const int32_t rc = engine.SelectCardApplication(readerIndex); rc != 0) return rc;
    if (TakesPinDirect(engine.session(), readerIndex)) {
        return MapVerifyStatus(VerifyPinDirect(engine.session(), readerIndex));
    }
    return MapVerifyStatus(SendCommand(engine.session(), readerIndex, card::VerifyPinOnPad()));
}

int32_t VerifyPinOnPadClass2(CCardEngine& engine, int32_t readerIndex) {
    if (const int32_t rc = engine.SelectCardApplication(readerIndex); rc != 0) return rc;
    return MapVerifyStatus(
        SendCommand(engine.session(), readerIndex, card::VerifyPinOnPadClass2()));
}

int32_t VerifyPinOnPadForClass(CCardEngine& engine, int32_t readerIndex, int32_t readerClass) {
    return readerClass == kReaderClass2 ? VerifyPinOnPadClass2(engine, readerIndex)
                                        : VerifyPinOnPad(engine, readerIndex);
}

int32_t ChangePinOnPad(CCardEngine& engine, int32_t readerIndex) {
    reader::ReaderSession& session = engine.session();
    if (TakesPinChangeDirect(session, readerIndex)) {
        // The card writes the PIN record only once the old PIN is verified.
        if (const int32_t rc = VerifyPinDirect(session, readerIndex); rc != 0) {
            return MapVerifyStatus(rc);
        }
        if (const int32_t rc = engine.SelectCardFile(readerIndex, CardFile::Pin); rc != 0) {
            return rc;
        }
        return MapVerifyStatus(ModifyPinDirect(session, readerIndex));
    }
    if (const int32_t rc = engine.SelectCardFile(readerIndex, CardFile::Pin); rc != 0) return rc;
    return MapVerifyStatus(SendCommand(engine.session(), readerIndex, card::ChangePinOnPad()));
}

int32_t ReplacePin(CCardEngine& engine, int32_t readerIndex, std::u16string_view oldPin,
                   std::u16string_view newPin) {
    if (const int32_t rc = engine.PresentPin(readerIndex, oldPin); rc != 0) return rc;
    if (const int32_t rc = engine.SelectCardFile(readerIndex, CardFile::Pin); rc != 0) return rc;
    PinBlock block;
    PackPinBlock(newPin, block);
    // The card's own status word tells the page why a write was refused.
    return SendCommand(engine.session(), readerIndex,
                       WritePin(PinBlockView(block.data(), block.size())));
}

}  // namespace qorv::card
