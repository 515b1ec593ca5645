// The Qt view of the multi-field entry dialog (CWebComDlg): it shows the
// model's view state and hands every event to the model. Every control
// carries its template control id as objectName ("1011", "1013", "1091",
// ...), the keypad "keypad" with its keys by id, OK "1" and Cancel "2".
#pragma once

#include <array>
#include <optional>

#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "widgets/dialog_view_base.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qorv::widgets {

class CSecureStatic;
class EntryInputFilter;
class KeypadWidget;

// The countdown ticks every 200 ms from start() on.
class MultiFieldView : public DialogViewBase {
    Q_OBJECT

  public:
    // `messages` shows the input filters' messages (the model has its own sink).
    MultiFieldView(dialogs::MultiFieldDialog& model, dialogs::MessageSink& messages,
                   QWidget* parent = nullptr);

    // Opens the model (unless it is open already) and lays the dialog out. The outcome when the
    // dialog ended right there (nothing to show), else nothing: show it.
    std::optional<int> start();
    // start() then the modal run; the dialog's outcome (1, 2 or 105).
    int run();

    KeypadWidget* keypad() const { return keypad_; }

  protected:
    void tickModel() override { model_.Tick(); }
    void refreshView() override;
    std::optional<int> modelOutcome() const override { return model_.outcome(); }
    // OK stops the countdown for good, even when a row still lacks its value.
    bool modelCounting() const override { return model_.countdownRunning(); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

  private:
    struct Row {
        QLabel* label = nullptr;
        CSecureStatic* field = nullptr;
        QComboBox* dropDown = nullptr;
        QLineEdit* edit = nullptr;
    };

    // The window's controls, section by section from the top.
    void build();
    void buildRows();
    void buildFooter();
    void place();
    void fillLists();
    void refreshRow(std::size_t index);
    void applyFocus();
    void pressKey(int controlId);

    dialogs::MultiFieldDialog& model_;
    dialogs::MessageSink& messages_;
    EntryInputFilter* filter_ = nullptr;
    QLabel* title_ = nullptr;
    std::array<Row, dialogs::kMaxEntryRows> rows_{};
    QLabel* hint_ = nullptr;
    QLabel* countdown_ = nullptr;
    QRadioButton* useKeyboard_ = nullptr;
    QRadioButton* useKeypad_ = nullptr;
    KeypadWidget* keypad_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int appliedFocus_ = -1;
    bool refreshing_ = false;
};

}  // namespace qorv::widgets
