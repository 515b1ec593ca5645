#include "widgets/modal_run.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "widgets/accessible_window.h"

namespace qorv::widgets {

void CentreOnPointerScreen(QWidget& widget) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    widget.ensurePolished();
    widget.adjustSize();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    widget.move(area.center() - QPoint(widget.width() / 2, widget.height() / 2));
}

void ModalRunner::InputEnded() {
    inputEnded_.store(true);
    // Queued to the thread of the windows; posting is safe from any thread.
    // (Qt owns the queued call; the analyzer does not see it freed.)
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    QMetaObject::invokeMethod(
        this, [this] { emit ended(); }, Qt::QueuedConnection);
}

int ModalRunner::Run(QDialog& dialog, int cancelled) {
    if (inputEnded()) return cancelled;
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setWindowModality(Qt::ApplicationModal);
    CentreOnPointerScreen(dialog);

    // A person is asked for something: the arrow, not the wait cursor, for
    // the time the window is up.
    int overrides = 0;
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
        ++overrides;
    }
    const QMetaObject::Connection onEnd = connect(this, &ModalRunner::ended, &dialog,
                                                  [&dialog, cancelled] { dialog.done(cancelled); });
    // Once the window is up; the timer goes with this call, so a window never
    // shown is never touched later.
    QTimer shown;
    shown.setSingleShot(true);
    // A Wayland compositor may leave the focus where it was (a client cannot
    // take it): then the window asks for attention rather than wait unseen.
    QTimer attention;
    attention.setSingleShot(true);
    connect(&attention, &QTimer::timeout, &dialog, [&dialog] {
        const bool active = dialog.isActiveWindow();
        if (!active) QApplication::alert(&dialog);
#ifdef QORV_TEST_HOOKS
        if (std::getenv("QORV_REPORT_WINDOWS") != nullptr) {
            std::fprintf(stderr, "qorvclientatm-host: %s \"%s\" on %s\n",
                         active ? "active" : "asks for attention",
                         dialog.windowTitle().toUtf8().constData(),
                         QGuiApplication::platformName().toUtf8().constData());
        }
#endif
    });
    connect(&shown, &QTimer::timeout, &dialog, [this, &dialog, &attention] {
        MakeAccessible(dialog);
        dialog.raise();
        dialog.activateWindow();
        attention.start(500);
#ifdef QORV_TEST_HOOKS
        if (std::getenv("QORV_REPORT_WINDOWS") != nullptr) {
            std::fprintf(stderr, "qorvclientatm-host: shown \"%s\"\n",
                         dialog.windowTitle().toUtf8().constData());
            // A message box's text too: the tests read which message came up.
            if (const auto* box = qobject_cast<const QMessageBox*>(&dialog)) {
                std::fprintf(stderr, "qorvclientatm-host: message \"%s\"\n",
                             box->text().toUtf8().constData());
            }
        }
#endif
        if (shownHook_) shownHook_(dialog);
    });
    shown.start(0);
    // The end may have come between the check above and the connection.
    const int result = inputEnded() ? cancelled : dialog.exec();
    disconnect(onEnd);
    dialog.hide();
    // Let the window system see the window go before the caller goes on
    // (to the card, for minutes perhaps) without running the event loop.
    QCoreApplication::processEvents();
    for (int i = 0; i < overrides; ++i) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return inputEnded() ? cancelled : result;
}

}  // namespace qorv::widgets
