#include "widgets/qt_user_interface.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/transfer_account_dialog.h"
#include "widgets/confirmation_view.h"
#include "widgets/multi_field_view.h"
#include "widgets/qt_text.h"
#include "widgets/transfer_account_view.h"

namespace qorv::widgets {

std::unique_ptr<QApplication> MakeApplication(const char* platform) {
    // QApplication keeps a reference to these for its whole life.
    static int argc = 1;
    static char name[] = "qorvclientatm-host";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", platform);
    auto application = std::make_unique<QApplication>(argc, argv);
    // The host's windows come and go; the last one closing ends nothing.
    QApplication::setQuitOnLastWindowClosed(false);
    return application;
}

QtUserInterface::QtUserInterface(std::unique_ptr<QApplication> application)
    : application_(std::move(application)), runner_(std::make_unique<ModalRunner>()) {
#ifdef QORV_TEST_HOOKS
    runner_->SetShownHook([this](QDialog&) {
        if (person_) person_->Wake();
    });
#endif
}

QtUserInterface::~QtUserInterface() {
    SetWaitCursor(false);
#ifdef QORV_TEST_HOOKS
    person_.reset();
#endif
    runner_.reset();
    application_.reset();
}

#ifdef QORV_TEST_HOOKS
void QtUserInterface::SetPerson(std::unique_ptr<ScriptedPerson> person) {
    person_ = std::move(person);
}
#endif

void QtUserInterface::InputEnded() {
    UserInterface::InputEnded();
    runner_->InputEnded();
}

void QtUserInterface::Idle(const std::function<bool()>& arrived) {
    while (!arrived()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtUserInterface::WakeIdle() {
    // An empty call posted to the windows' thread ends its wait for events;
    // posting is safe from any thread.
    QMetaObject::invokeMethod(
        runner_.get(), [] {}, Qt::QueuedConnection);
}

void BuildMessageBox(QMessageBox& box, const QString& text, const QString& caption) {
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    QPushButton* ok = box.addButton(QStringLiteral("確定"), QMessageBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
}

void QtUserInterface::ShowMessage(const std::u16string& text, const std::u16string& caption) {
    QMessageBox box;
    BuildMessageBox(box, ToQString(text), ToQString(caption));
    runner_->Run(box, dialogs::kDialogCancelled);
}

void QtUserInterface::SetWaitCursor(bool waiting) {
    if (waiting == waiting_) return;
    waiting_ = waiting;
    if (waiting) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

int QtUserInterface::RunConfirmation(dialogs::ConfirmationDialog& dialog) {
    if (dialog.phase() == dialogs::ConfirmationPhase::Opening) {
        if (const auto outcome = dialog.Open()) return *outcome;
    }
    if (dialog.outcome()) return *dialog.outcome();
    int shown = dialogs::kConfirmCancelled;
    {
        ConfirmationWindow window(dialog);
        shown = runner_->Run(window, dialogs::kConfirmCancelled);
    }
    // Ended from outside (the page went away): the logic ends as cancelled
    // too, and an OK that raced with the end does not count.
    dialog.PressCancel();
    const int outcome = dialog.outcome().value_or(dialogs::kConfirmCancelled);
    if (outcome == dialogs::kConfirmOk && shown != dialogs::kConfirmOk) {
        return dialogs::kConfirmCancelled;
    }
    return outcome;
}

int QtUserInterface::RunTransferAccount(dialogs::TransferAccountDialog& dialog) {
    if (dialog.outcome()) return *dialog.outcome();
    dialogs::UserInterfaceMessageSink messages(*this);
    int shown = dialogs::kOutcomeCancelled;
    {
        TransferAccountWindow window(dialog, messages);
        shown = runner_->Run(window, dialogs::kOutcomeCancelled);
    }
    // Ended from outside (the page went away): the logic ends as cancelled
    // too, and an OK that raced with the end does not count.
    if (!dialog.outcome()) dialog.PressCancel();
    const int outcome = dialog.outcome().value_or(dialogs::kOutcomeCancelled);
    return shown == dialogs::kOutcomeCancelled ? dialogs::kOutcomeCancelled : outcome;
}

int QtUserInterface::RunMultiField(dialogs::MultiFieldDialog& dialog) {
    dialogs::UserInterfaceMessageSink messages(*this);
    int shown = dialogs::kOutcomeCancelled;
    {
        MultiFieldView view(dialog, messages);
        if (const std::optional<int> ended = view.start()) return *ended;
        shown = runner_->Run(view, dialogs::kOutcomeCancelled);
    }
    if (!dialog.outcome()) dialog.PressCancel();
    const int outcome = dialog.outcome().value_or(dialogs::kOutcomeCancelled);
    return shown == dialogs::kOutcomeCancelled ? dialogs::kOutcomeCancelled : outcome;
}

#ifdef QORV_TEST_HOOKS
int QtUserInterface::RunTestForm(const std::vector<std::u16string>& items, std::u16string& text,
                                 int& chosen) {
    QDialog form;
    form.setWindowTitle(QStringLiteral("Qorv銀行"));
    auto* layout = new QVBoxLayout(&form);
    auto* edit = new QLineEdit(&form);
    edit->setObjectName(QStringLiteral("1001"));
    auto* list = new QComboBox(&form);
    list->setObjectName(QStringLiteral("1002"));
    for (const auto& item : items) list->addItem(ToQString(item));
    auto* buttons = new QDialogButtonBox(&form);
    QPushButton* ok = buttons->addButton(QStringLiteral("確定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    QObject::connect(ok, &QPushButton::clicked, &form, [&form] { form.done(dialogs::kDialogOk); });
    QObject::connect(cancel, &QPushButton::clicked, &form,
                     [&form] { form.done(dialogs::kDialogCancelled); });
    layout->addWidget(edit);
    layout->addWidget(list);
    layout->addWidget(buttons);
    const int outcome = runner_->Run(form, dialogs::kDialogCancelled);
    text = std::u16string(TextView(edit->text()));
    chosen = list->currentIndex();
    // Closing the window (Esc, the title bar) rejects: a cancel.
    return outcome == dialogs::kDialogOk ? dialogs::kDialogOk : dialogs::kDialogCancelled;
}
#endif

}  // namespace qorv::widgets
