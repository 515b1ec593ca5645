#include "procedures/common_account.h"

#include "base/results.h"
#include "base/secure_wipe.h"
#include "card/card_channel.h"
#include "card/card_session.h"
#include "card/pin_block.h"
#include "card/pin_pad.h"
#include "dialogs/card_confirmation.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/document_text.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "reader/pcsc_api.h"

namespace qorv::procedures {
namespace {

// The result catalogue's codes this procedure returns.
constexpr int32_t kPinPadRequired = result::kWrite6610;   // 20486: a PIN-pad reader is needed
constexpr int32_t kDialogCancelled = result::kWrite69F0;  // 20756: a dialog was not confirmed

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

class ConfirmationMessages final : public dialogs::ConfirmationMessageSink {
  public:
    explicit ConfirmationMessages(dialogs::UserInterface& ui) : ui_(ui) {}
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override {
        ui_.ShowMessage(text, caption);
    }

  private:
    dialogs::UserInterface& ui_;
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
    if (card.result() != 0) return card.result();

    const std::u16string_view document = commonInfo ? std::u16string_view(*commonInfo) : u"";
    const bool pinInForm = dialogs::SomeFieldTypeStartsWith(document, u'6') ||
                           dialogs::SomeFieldTypeStartsWith(document, u'7');
    const int mode = pinInForm ? kModePinInForm : kModePinOnPad;
    const int32_t readerClass = card::ClassifyPinPadReader(readerName);
    if (mode == kModePinOnPad && readerClass == 0) return kPinPadRequired;

    const std::u16string hash = sessionKeyHash.value_or(u"");
    const std::u16string key = cpukEncSessionKey.value_or(u"");
    dialogs::SessionFieldDecipher decipher(hash, key);
    dialogs::SessionFieldEncipher encipher(hash, key);
    EnginePinCheck pinCheck(engine, card.slot());
    dialogs::UserInterfaceMessageSink messages(ui);
    std::u16string summary;
    {
        dialogs::MultiFieldDialog entry(commonInfo, {decipher, encipher, pinCheck, messages});
        const int outcome =
            Outcome(entry, [&ui](dialogs::MultiFieldDialog& d) { return ui.RunMultiField(d); });
        if (outcome == dialogs::kOutcomePinRefused) return kPinPadRequired;
        if (outcome != dialogs::kOutcomeOk) return kDialogCancelled;
        SecureWipe(kept.clear);
        SecureWipe(kept.enciphered);
        entry.ReadResults(summary, kept.clear, kept.enciphered);
    }

    reader::ReaderSession& session = engine.session();
    const int32_t slot = card.slot();
    // Polled by the reader's name: the handle of a card taken out answers
    // "removed" for ever, so the card put back would never be seen.
    dialogs::ReaderCardProbe probe(session, slot);
    ConfirmationMessages confirmationMessages(ui);
    dialogs::ConfirmationRequest request{summary, std::nullopt, std::nullopt, kept.enciphered,
                                         mode};
    dialogs::ConfirmationDialog confirmation(std::move(request), probe, confirmationMessages);
    const int confirmed = Outcome(
        confirmation, [&ui](dialogs::ConfirmationDialog& d) { return ui.RunConfirmation(d); });
    if (confirmed != dialogs::kConfirmOk) return kDialogCancelled;
    if (mode == kModePinInForm) return 0;

    return card::VerifyPinOnPadForClass(engine, slot, readerClass);
}

}  // namespace qorv::procedures
