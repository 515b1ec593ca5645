// What the dialog views share: a timer that ticks the dialog's logic and
// then shows its state, the end of the window with the logic's outcome, and
// widgets named by the template's control ids ("1", "1015"), which is how
// the tests, the scripted person and accessibility tools find them.
#pragma once

#include <QDialog>
#include <QTimer>
#include <chrono>
#include <optional>

namespace qorv::widgets {

// The object name of a control: its id in decimal.
QString ControlName(int controlId);

template <typename W>
W* Named(W* widget, int controlId) {
    widget->setObjectName(ControlName(controlId));
    return widget;
}

class DialogViewBase : public QDialog {
    Q_OBJECT

  public:
    bool tickTimerRunning() const { return tickTimer_.isActive(); }

  public slots:
    // One timer period (tests call it instead of waiting): ticks the
    // logic, then as showModel.
    void tick();

  protected:
    DialogViewBase(std::chrono::milliseconds tickPeriod, QWidget* parent);

    virtual void tickModel() = 0;
    // Shows the logic's state as it stands.
    virtual void refreshView() = 0;
    virtual std::optional<int> modelOutcome() const = 0;
    // Whether the logic still wants ticks; the timer stops once it does not.
    virtual bool modelCounting() const { return true; }

    void startTicking() { tickTimer_.start(); }
    void stopTicking() { tickTimer_.stop(); }
    // After the logic changed: shows it, stops the timer when the logic no
    // longer counts and ends the window once the logic has ended.
    void showModel();
    // Ends the window with the logic's outcome if it has one; whether it had.
    bool finishIfEnded();
    // Stops the timer and ends a shown window with `outcome` (done runs
    // once: the window is hidden after it); a hidden window only keeps it
    // as its result.
    void finish(int outcome);
    // The child named by that control id, or nullptr.
    QWidget* findControl(int controlId) const;

  private:
    QTimer tickTimer_;
    // A time-out shows its message box from inside the logic's tick; the
    // timer may fire again in that box's event loop.
    bool ticking_ = false;
};

}  // namespace qorv::widgets
