// The user interface on a display: Qt Widgets windows run through the one
// ModalRunner, the wait cursor as Qt's override cursor.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <memory>

#include "dialogs/user_interface.h"
#include "widgets/modal_run.h"
#ifdef QORV_TEST_HOOKS
#include "widgets/scripted_person.h"
#endif

namespace qorv::widgets {

class QtUserInterface final : public dialogs::UserInterface {
  public:
    // Takes an application made by the caller on a display that opened
    // (MakeApplication), or runs on the one that exists (tests).
    explicit QtUserInterface(std::unique_ptr<QApplication> application = nullptr);
    ~QtUserInterface() override;

    void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
    void SetWaitCursor(bool waiting) override;
    void InputEnded() override;
    // Runs the application's events until `arrived`: the accessibility bus
    // (and the window system) keep getting answers between dialogs.
    void Idle(const std::function<bool()>& arrived) override;
    void WakeIdle() override;
    int RunConfirmation(dialogs::ConfirmationDialog& dialog) override;
    int RunTransferAccount(dialogs::TransferAccountDialog& dialog) override;
    int RunMultiField(dialogs::MultiFieldDialog& dialog) override;
#ifdef QORV_TEST_HOOKS
    int RunTestForm(const std::vector<std::u16string>& items, std::u16string& text,
                    int& chosen) override;
#endif

    ModalRunner& runner() {
        return *runner_;
    }
#ifdef QORV_TEST_HOOKS
    // The scripted person acts in every window from now on.
    void SetPerson(std::unique_ptr<ScriptedPerson> person);
    ScriptedPerson* person() {
        return person_.get();
    }
#endif

  private:
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<ModalRunner> runner_;
#ifdef QORV_TEST_HOOKS
    std::unique_ptr<ScriptedPerson> person_;
#endif
    bool waiting_ = false;
};

// The message box of the system: the text as plain text, the caption, one
// OK button ("確定", objectName "1"), no icon.
void BuildMessageBox(QMessageBox& box, const QString& text, const QString& caption);

// The application on `platform` ("xcb", "wayland", "offscreen"), which the
// caller has found to open.
std::unique_ptr<QApplication> MakeApplication(const char* platform);

}  // namespace qorv::widgets
