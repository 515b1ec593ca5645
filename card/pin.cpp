// PIN verification and change with a PIN typed on the computer, and the
// account check that ties a PIN change to the card's first account.
#include "card/card_channel.h"
#include "card/card_engine.h"
#include "card/pin_block.h"
#include "card/pin_pad.h"

namespace qorv::card {
namespace {

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

}  // namespace

int32_t CCardEngine::PresentPin(int32_t readerIndex, std::u16string_view digits) {
    PinBlock block;
    PackPinBlock(digits, block);
    const int32_t rc =
        SendCommand(session_, readerIndex, VerifyPin(PinBlockView(block.data(), block.size())));
    return MapVerifyStatus(rc);
}

int32_t CCardEngine::VerifyPIN(int32_t readerIndex, const ScriptText& pin) {
    if (const int32_t rc = CheckPinTexts({&pin}); rc != 0) return rc;
    if (const int32_t rc = SelectCardApplication(readerIndex); rc != 0) return rc;
    return PresentPin(readerIndex, *pin);
}

int32_t CCardEngine::ChangePIN(int32_t readerIndex, const ScriptText& oldPin,
                               const ScriptText& newPin) {
    // Both PINs are checked before the card is touched.
    if (const int32_t rc = CheckPinTexts({&oldPin, &newPin}); rc != 0) return rc;
    if (const int32_t rc = SelectCardApplication(readerIndex); rc != 0) return rc;
    return ReplacePin(*this, readerIndex, *oldPin, *newPin);
}

int32_t CCardEngine::CheckAccount(int32_t readerIndex, const std::u16string& account) {
    if (const int32_t rc = SelectCardFile(readerIndex, CardFile::Accounts1); rc != 0) return rc;
    CardResponse response;
    if (const int32_t rc =
            SendCommand(session_, readerIndex, ReadRecord(3, kAccountRecordLength), response);
        rc != 0) {
        return rc;
    }
    // A short account text or a short record cannot match the card's account.
    if (account.size() < kAccountLength || response.length < kRecordDataOffset + kAccountLength) {
        return result::kAccountMismatch;
    }
    for (std::size_t i = 0; i < kAccountLength; ++i) {
        const char16_t onCard = response.bytes[kRecordDataOffset + i];
        if (AsciiLower(account[i]) != AsciiLower(onCard)) return result::kAccountMismatch;
    }
    return 0;
}

}  // namespace qorv::card
