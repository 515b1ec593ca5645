// The one stand-in for the person in front of the screen in tests without
// windows: records every message box ("caption|text"), the wait cursor and
// the order of what was shown, and ends each secure dialog with what its test
// says (a function that may drive the dialog) or, without one, with
// `confirmAnswer` for the confirmation and cancelled for the others.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/transfer_account_dialog.h"
#include "dialogs/user_interface.h"

namespace qorv::testing {

class RecordingUserInterface final : public dialogs::UserInterface {
  public:
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override {
        messages.push_back(caption + u"|" + text);
        Note("message");
        if (goneAfterMessage) InputEnded();
    }
    void SetWaitCursor(bool waiting) override {
        cursor.push_back(waiting);
        Note(waiting ? "wait" : "arrow");
    }
    int RunConfirmation(dialogs::ConfirmationDialog& dialog) override {
        shown.push_back(dialog.request());
        Note("dialog");
        return confirm ? confirm(dialog) : confirmAnswer;
    }
    int RunTransferAccount(dialogs::TransferAccountDialog& dialog) override {
        ++transferDialogs;
        return transferAccount ? transferAccount(dialog) : dialogs::kDialogCancelled;
    }
    int RunMultiField(dialogs::MultiFieldDialog& dialog) override {
        ++entryDialogs;
        return multiField ? multiField(dialog) : dialogs::kDialogCancelled;
    }

    // What each dialog does; empty: the defaults above.
    std::function<int(dialogs::ConfirmationDialog&)> confirm;
    std::function<int(dialogs::TransferAccountDialog&)> transferAccount;
    std::function<int(dialogs::MultiFieldDialog&)> multiField;
    int confirmAnswer = dialogs::kDialogCancelled;
    // The page goes away as soon as a message box was shown.
    bool goneAfterMessage = false;
    // Appended to each event, e.g. how far the card's exchange had come.
    std::function<std::string()> eventDetail;

    std::vector<std::u16string> messages;
    std::vector<bool> cursor;
    std::vector<dialogs::ConfirmationRequest> shown;
    // "message", "wait", "arrow" or "dialog", each with its eventDetail.
    std::vector<std::string> events;
    int transferDialogs = 0;
    int entryDialogs = 0;

  private:
    void Note(const std::string& what) {
        events.push_back(what + (eventDetail ? eventDetail() : ""));
    }
};

}  // namespace qorv::testing
