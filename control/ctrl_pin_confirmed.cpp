// Handlers of the PIN methods that confirm first or leave the PIN to a
// PIN-pad reader. They work on the current reader and leave its session open.
#include "card/pin_block.h"
#include "card/pin_pad.h"
#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/card_confirmation.h"

namespace qorv::control {
namespace {

constexpr char16_t kVerifyOnPadPrompt[] = u"請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵";
constexpr char16_t kChangeOnPadPrompt[] =
    u"請於晶片讀卡機上輸入晶片舊密碼與新密碼後，按下『確認』鍵";

}  // namespace

bool CQorvClientATMCtrl::Prompt(const char16_t* text) {
    ui_.ShowMessage(text, dialogs::kMessageCaption);
    // The page went away while the box was shown: nobody is at the reader
    // to type the PIN or check the data, so the card is not asked.
    return !ui_.PersonGone();
}

int32_t CQorvClientATMCtrl::Confirm(int32_t slot, dialogs::ConfirmationRequest request) {
    dialogs::CardConfirmation confirmation(ui_, engine_.session(), slot, std::move(request));
    return confirmation.Run();
}

int32_t CQorvClientATMCtrl::VerifyPINEx(const ScriptText& pPwdStr, const ScriptText& pShowMsgStr) {
    if (const int32_t rc = card::CheckPinTexts({&pPwdStr}); rc != 0) return rc;
    if (!pShowMsgStr) return result::kArgumentMissing;
    if (const int32_t rc = Confirm(currentReaderIndex_,
                                   dialogs::SummaryRequest(*pShowMsgStr, dialogs::kModeVerifyPin));
        rc != 0) {
        return result::kWrite69F0;
    }
    if (const int32_t rc = engine_.SelectCardApplication(currentReaderIndex_); rc != 0) return rc;
    return engine_.PresentPin(currentReaderIndex_, *pPwdStr);
}

int32_t CQorvClientATMCtrl::VerifyPINSnd() {
    if (!Prompt(kVerifyOnPadPrompt)) return result::kWrite69F0;
    return card::VerifyPinOnPad(engine_, currentReaderIndex_);
}

int32_t CQorvClientATMCtrl::VerifyPINSndEx(const ScriptText& pShowMsgStr) {
    if (!pShowMsgStr) return result::kArgumentMissing;
    if (const int32_t rc =
            Confirm(currentReaderIndex_,
                    dialogs::SummaryRequest(*pShowMsgStr, dialogs::kModeVerifyPinOnPad));
        rc != 0) {
        return result::kWrite69F0;
    }
    return card::VerifyPinOnPad(engine_, currentReaderIndex_);
}

int32_t CQorvClientATMCtrl::ChangePINEx(const ScriptText& pOldPwdStr, const ScriptText& pNewPwdStr,
                                        const ScriptText& pShowMsgStr,
                                        const ScriptText& pAccountNo) {
    if (!pOldPwdStr || !pNewPwdStr || !pShowMsgStr || !pAccountNo) {
        return result::kArgumentMissing;
    }
    if (const int32_t rc = card::CheckPinTexts({&pOldPwdStr, &pNewPwdStr}); rc != 0) return rc;
    if (const int32_t rc = Confirm(currentReaderIndex_,
                                   dialogs::SummaryRequest(*pShowMsgStr, dialogs::kModeVerifyPin));
        rc != 0) {
        return result::kWrite69F0;
    }
    if (const int32_t rc = engine_.SelectCardApplication(currentReaderIndex_); rc != 0) return rc;
    // The PIN is tied to the card's first account: a page that names another
    // account never gets the old PIN presented.
    if (const int32_t rc = engine_.CheckAccount(currentReaderIndex_, *pAccountNo); rc != 0) {
        return rc;
    }
    return card::ReplacePin(engine_, currentReaderIndex_, *pOldPwdStr, *pNewPwdStr);
}

int32_t CQorvClientATMCtrl::ChangePINSnd(const ScriptText& pAccountNo) {
    if (!pAccountNo) return result::kArgumentMissing;
    if (!Prompt(kChangeOnPadPrompt)) return result::kWrite69F0;
    if (const int32_t rc = engine_.SelectCardApplication(currentReaderIndex_); rc != 0) return rc;
    if (const int32_t rc = engine_.CheckAccount(currentReaderIndex_, *pAccountNo); rc != 0) {
        return rc;
    }
    return card::ChangePinOnPad(engine_, currentReaderIndex_);
}

int32_t CQorvClientATMCtrl::ChangePINSndEx(const ScriptText& pShowMsgStr,
                                           const ScriptText& pAccountNo) {
    if (!pShowMsgStr || !pAccountNo) return result::kArgumentMissing;
    if (const int32_t rc =
            Confirm(currentReaderIndex_,
                    dialogs::SummaryRequest(*pShowMsgStr, dialogs::kModeVerifyPinOnPad));
        rc != 0) {
        return result::kWrite69F0;
    }
    if (const int32_t rc = engine_.SelectCardApplication(currentReaderIndex_); rc != 0) return rc;
    if (const int32_t rc = engine_.CheckAccount(currentReaderIndex_, *pAccountNo); rc != 0) {
        return rc;
    }
    return card::ChangePinOnPad(engine_, currentReaderIndex_);
}

}  // namespace qorv::control
