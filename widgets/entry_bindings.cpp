#include "widgets/entry_bindings.h"

#include <QLabel>

#include "base/secure_wipe.h"
#include "widgets/keypad_widget.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"

namespace qorv::widgets {

KeypadController::KeypadController(dialogs::SecureKeypad& keypad, KeypadWidget* view,
                                   QObject* parent)
    : QObject(parent), keypad_(keypad), view_(view) {
    view_->relabel(keypad_);
    connect(view_, &KeypadWidget::keyPressed, this, &KeypadController::pressKey);
}

void KeypadController::setActiveField(dialogs::EntryField* field, CSecureStatic* display) {
    field_ = field;
    display_ = display;
}

void KeypadController::pressKey(int controlId) {
    if (field_ == nullptr) return;
    dialogs::FieldDisplay display;
    const dialogs::KeyOutcome outcome = keypad_.PressKey(*field_, controlId, display);
    if (outcome == dialogs::KeyOutcome::kCaptionsChanged) {
        view_->relabel(keypad_);
    } else if (outcome == dialogs::KeyOutcome::kEntryChanged) {
        if (display_ != nullptr) display_->setDisplay(display);
        emit entryChanged();
    }
    SecureWipe(display.text);
}

CountdownController::CountdownController(dialogs::Countdown& countdown, QLabel* label,
                                         dialogs::MessageSink& messages, QObject* parent)
    : QObject(parent), countdown_(countdown), label_(label), messages_(messages) {
    timer_.setInterval(dialogs::kCountdownTickMs);
    connect(&timer_, &QTimer::timeout, this, &CountdownController::tick);
}

void CountdownController::start() {
    if (label_ != nullptr) label_->hide();
    countdown_.Start();
    timer_.start();
}

void CountdownController::stop() {
    countdown_.Stop();
    timer_.stop();
}

void CountdownController::tick() {
    const dialogs::TickEvent event = countdown_.Tick();
    if (event == dialogs::TickEvent::kNone) return;
    if (label_ != nullptr) {
        label_->setText(ToQString(countdown_.labelText()));
        label_->setVisible(countdown_.labelVisible());
    }
    if (event == dialogs::TickEvent::kExpired) {
        timer_.stop();
        messages_.ShowMessage(dialogs::kMsgTimedOut);
        emit expired();
    }
}

}  // namespace qorv::widgets
