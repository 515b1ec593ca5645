// The Qt view of the transaction confirmation dialog: shows the logic's view
// (dialogs/confirmation_dialog.h) by control id and feeds it its 250 ms
// ticks and the button presses. The logic decides everything; the window
// ends with the logic's outcome.
#pragma once

#include <QTimer>
#include <array>

#include "dialogs/confirmation_dialog.h"
#include "widgets/dialog_view_base.h"

class QFrame;
class QLabel;
class QVBoxLayout;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace qorv::widgets {

class CSecureStatic;

// Control 1036: a card drawn sliding out of a reader's slot and back in, the
// act the dialog asks for. Runs only while shown; plays no part in the logic.
class CardReaderAnimation final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFrames = 16;
    static constexpr int kFramePeriodMs = 110;

    explicit CardReaderAnimation(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {64, 72}; }
    int frame() const { return frame_; }
    void setFrame(int frame);
    bool running() const { return timer_.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
};

// The window polls the logic every 250 ms while it is shown.
class ConfirmationWindow final : public DialogViewBase {
    Q_OBJECT

  public:
    // `logic` has been opened (its checks before showing passed) and
    // outlives the window.
    explicit ConfirmationWindow(dialogs::ConfirmationDialog& logic, QWidget* parent = nullptr);

    // Escape and the window's close button cancel, as Cancel does.
    void reject() override;

  protected:
    void tickModel() override { logic_.Tick(); }
    void refreshView() override;
    std::optional<int> modelOutcome() const override { return logic_.outcome(); }
    bool modelCounting() const override { return logic_.timerRunning(); }
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    // The window's controls, section by section from the top.
    void Build();
    void BuildHostBlock(QVBoxLayout* layout);
    void BuildHeading(QVBoxLayout* layout);
    void BuildRows(QVBoxLayout* layout, const QColor& background);
    void BuildPrompt(QVBoxLayout* layout);
    void BuildButtons(QVBoxLayout* layout);
    // A label for the summary's tag, kept by tag for refreshView.
    QLabel* TagLabel(int tag, int width, QWidget* parent);
    // The rows area as tall as its shown rows, up to a limit past which
    // it scrolls.
    void FitRows();

    dialogs::ConfirmationDialog& logic_;
    // By tag: entry 0 is Tag1's control; Tag11's and Tag17's entries are null
    // (the secure field and the multi-line edit show them).
    std::array<QLabel*, 19> tagLabels_{};
    std::array<QWidget*, 8> rows_{};
    CSecureStatic* transferIn_ = nullptr;
    QPlainTextEdit* tag17_ = nullptr;
    QLabel* countdown_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    CardReaderAnimation* animation_ = nullptr;
    QFrame* hostBlock_ = nullptr;
    QScrollArea* rowsArea_ = nullptr;
    QWidget* rowsBox_ = nullptr;
};

}  // namespace qorv::widgets
