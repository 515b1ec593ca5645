#include "procedures/common_account.h"

#include "base/results.h"
#include "base/secure_wipe.h"
#include "card/card_channel.h"
#include "card/card_session.h"
#include "card/pin_block.h"
#include "card/pin_pad.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/document_text.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "procedures/confirmation_runner.h"

namespace qorv::procedures {
namespace {

// The PIN of the form's first Type 6 row, presented to the card of the session.
class EnginePinCheck final : public dialogs::CardPinCheck {
  public:
    EnginePinCheck(card::CCardEngine& engine, int32_t slot) : engine_(engine), slot_(slot) {}
    int32_t VerifyPin(std::u16string_view pin) override {
        ScriptText text{std::u16string(pin)};
        const int32_t rc = engine_.VerifyPIN(slot_, text);
        SecureWipe(*text);
        return rc;
    }

  private:
    card::CCardEngine& engine_;
    int32_t slot_;
};

// Runs a dialog whose checks before showing are done: the outcome it ended
// with at once, or the one the person gave it.
template <typename Dialog, typename Run>
int Outcome(Dialog& dialog, Run run) {
    if (const std::optional<int> ended = dialog.Open()) return *ended;
    return run(dialog);
}

}  // namespace

int32_t CommAccountProc(card::CCardEngine& engine, dialogs::UserInterface& ui,
                        const ScriptText& readerName, const ScriptText& sessionKeyHash,
                        const ScriptText& cpukEncSessionKey, const ScriptText& commonInfo,
                        CommonAccountData kept) {
    card::CardSession card(engine, readerName);
    if (const int32_t rc = card.result(); rc != 0) {
        card.KeepSessionAfterFailedConnect();
        return rc;
    }

    const std::u16string_view document = commonInfo ? std::u16string_view(*commonInfo) : u"";
    const bool pinInForm = dialogs::SomeFieldTypeStartsWith(document, u'6') ||
                           dialogs::SomeFieldTypeStartsWith(document, u'7');
    const dialogs::ConfirmationMode mode =
        pinInForm ? dialogs::ConfirmationMode::PinInForm : dialogs::ConfirmationMode::PinOnPad;
    // Only a form without a PIN row needs the reader's pad: only then is the
    // reader asked what it offers.
    const int32_t readerClass =
        pinInForm ? card::kReaderClassNone
                  : card::ClassifyConnectedPinPadReader(engine, card.slot(), readerName);
    if (!pinInForm && readerClass == card::kReaderClassNone) return kPinPadRequired;

    const std::u16string hash = sessionKeyHash.value_or(u"");
    const std::u16string key = cpukEncSessionKey.value_or(u"");
    dialogs::SessionFieldDecipher decipher(hash, key);
    dialogs::SessionFieldEncipher encipher(hash, key);
    EnginePinCheck pinCheck(engine, card.slot());
    dialogs::UserInterfaceMessageSink messages(ui);
    dialogs::ConfirmationRequest request;
    request.mode = mode;
    request.message = u"<Tag2>※請核常用帳號資料，並依畫面指示進行操作。</Tag2>";
    {
        dialogs::MultiFieldDialog entry(commonInfo, {decipher, encipher, pinCheck, messages});
        const int outcome =
            Outcome(entry, [&ui](dialogs::MultiFieldDialog& d) { return ui.RunMultiField(d); });
        if (outcome == dialogs::kOutcomePinRefused) return kPinPadRequired;
        if (outcome != dialogs::kOutcomeOk) return kConfirmationCancelled;
        SecureWipe(kept.clear);
        SecureWipe(kept.enciphered);
        std::u16string pasted;
        entry.ReadResults(pasted, kept.clear, kept.enciphered);
        SecureWipe(pasted);
        // The form's rows go to the confirmation as data, every one of them.
        request.title = entry.confirmationTitle();
        request.produced = entry.confirmationRows();
    }

    const int32_t confirmed =
        RunConfirmation(ui, engine.session(), card.slot(), std::move(request));
    if (confirmed != 0) return kConfirmationCancelled;
    if (pinInForm) return 0;

    return card::VerifyPinOnPadForClass(engine, card.slot(), readerClass);
}

}  // namespace qorv::procedures
