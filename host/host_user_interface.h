// The host's user interface: headless until a message box or dialog is first
// needed, then the Qt dialog module, loaded at that moment, when a display
// can be opened. Pages that never open a dialog never load Qt.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "dialogs/user_interface.h"

namespace qorv::host {

class HostUserInterface final : public dialogs::UserInterface {
  public:
    // `modulePath` is the dialog module; `scriptedPerson` a script file for
    // the module's scripted person (builds with test hooks), or empty.
    HostUserInterface(std::string modulePath, std::string scriptedPerson);
    ~HostUserInterface() override;

    void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
    void SetWaitCursor(bool waiting) override;
    void InputEnded() override;
    void Idle(const std::function<bool()>& arrived) override;
    void WakeIdle() override;
    bool WatchInputBeforeFirstWindow(std::function<void()> watch) override;
    int RunConfirmation(dialogs::ConfirmationDialog& dialog) override;
    int RunTransferAccount(dialogs::TransferAccountDialog& dialog) override;
    int RunMultiField(dialogs::MultiFieldDialog& dialog) override;
#ifdef QORV_TEST_HOOKS
    int RunTestForm(const std::vector<std::u16string>& items, std::u16string& text,
                    int& chosen) override;
#endif

  private:
    dialogs::UserInterface& Active();

    const std::string modulePath_;
    const std::string scriptedPerson_;
    mutable std::mutex mutex_;  // the loaded module, against InputEnded from the reader
    std::unique_ptr<dialogs::UserInterface> module_;
    std::unique_ptr<dialogs::HeadlessUserInterface> headless_;
    std::function<void()> watchInput_;  // run before the first window, on the serving thread
};

// The user interface of a serving host: the module next to the executable
// (the build tree) or in the installed library folder; the scripted person
// from QORV_SCRIPTED_PERSON in builds with test hooks.
std::unique_ptr<dialogs::UserInterface> PickUserInterface();

}  // namespace qorv::host
