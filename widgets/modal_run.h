// The one way every window of the host is run: above the browser (there is
// no browser window to parent it to), activated, centred on the screen that
// shows the pointer, modal; ended as cancelled when the page goes away.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

class QDialog;

namespace qorv::widgets {

class ModalRunner final : public QObject {
    Q_OBJECT

  public:
    ModalRunner() = default;

    // Runs `dialog` to its end and returns its result. `cancelled` is the
    // result when the input ended before or while it was shown: then it is
    // not shown at all, or closed at once.
    int Run(QDialog& dialog, int cancelled);

    // The page went away. Safe from any thread.
    void InputEnded();
    bool inputEnded() const { return inputEnded_.load(); }

    // Told each time a window has been shown (the scripted person acts then).
    void SetShownHook(std::function<void(QDialog&)> hook) { shownHook_ = std::move(hook); }

  signals:
    void ended();

  private:
    std::atomic<bool> inputEnded_{false};
    std::function<void(QDialog&)> shownHook_;
};

// Places `widget` centred on the screen under the pointer (the primary
// screen when none is).
void CentreOnPointerScreen(QWidget& widget);

}  // namespace qorv::widgets
