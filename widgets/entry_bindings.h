// The glue between the dialog kit's logic and its Qt views, shared by the
// entry dialogs: keypad presses go to the SecureKeypad and their display to
// the active secure field; the countdown's timer ticks drive the Countdown
// and its label.
#pragma once

#include <QObject>
#include <QTimer>

#include "dialogs/countdown.h"
#include "dialogs/message_sink.h"
#include "dialogs/secure_keypad.h"

class QLabel;

namespace qorv::widgets {

class CSecureStatic;
class KeypadWidget;

class KeypadController : public QObject {
    Q_OBJECT

  public:
    // The keypad must be open; the view is relabelled from it.
    KeypadController(dialogs::SecureKeypad& keypad, KeypadWidget* view, QObject* parent = nullptr);

    // The field that the keys act on (nullptr: none).
    void setActiveField(dialogs::EntryField* field, CSecureStatic* display);
    dialogs::EntryField* activeField() const { return field_; }

  public slots:
    void pressKey(int controlId);

  signals:
    // The active entry changed (re-evaluate OK).
    void entryChanged();

  private:
    dialogs::SecureKeypad& keypad_;
    KeypadWidget* view_;
    dialogs::EntryField* field_ = nullptr;
    CSecureStatic* display_ = nullptr;
};

class CountdownController : public QObject {
    Q_OBJECT

  public:
    CountdownController(dialogs::Countdown& countdown, QLabel* label,
                        dialogs::MessageSink& messages, QObject* parent = nullptr);

    // Hides the label and starts the 200 ms timer.
    void start();
    void stop();
    bool timerActive() const { return timer_.isActive(); }

  public slots:
    // One timer tick (tests call it directly instead of waiting).
    void tick();

  signals:
    // The time-out message has been acknowledged: end the dialog as cancelled.
    void expired();

  private:
    dialogs::Countdown& countdown_;
    QLabel* label_;
    dialogs::MessageSink& messages_;
    QTimer timer_;
};

}  // namespace qorv::widgets
