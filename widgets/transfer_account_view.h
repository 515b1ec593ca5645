// The Qt view of the transfer account dialog (CTransSet): a thin map from
// the logic's view state to widgets and from the person's actions to the
// logic. Every control carries its template id as objectName ("1093",
// "1015", "1"); the keypad is the dialog kit's KeypadWidget.
//
// The logic must have been opened (TransferAccountDialog::Open returned no
// outcome) before the view is built. The dialog ends with the logic's
// outcome: 1 OK, 2 cancelled or timed out.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "dialogs/message_sink.h"
#include "dialogs/transfer_account_dialog.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace qorv::widgets {

class CSecureStatic;
class EntryInputFilter;
class KeypadWidget;

class TransferAccountWindow : public QDialog {
    Q_OBJECT

  public:
    // messages: where the input filters' messages go (the logic reports
    // its own through the sink it was given).
    TransferAccountWindow(dialogs::TransferAccountDialog& model, dialogs::MessageSink& messages,
                          QWidget* parent = nullptr);
    ~TransferAccountWindow() override;

    dialogs::TransferAccountDialog& model() { return model_; }
    KeypadWidget* keypad() const { return keypad_; }
    // The widget of a control id, or nullptr.
    QWidget* control(int id) const;
    bool countdownRunning() const { return timer_.isActive(); }

  public slots:
    // Shows the logic's current state.
    void refresh();
    // One countdown tick (tests call it instead of waiting).
    void tick();
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The window's controls, section by section from the top, then what
    // each action does.
    void build();
    void buildListedCategories(QVBoxLayout* layout);
    void buildOtherAccount(QVBoxLayout* layout);
    void buildFooter(QVBoxLayout* layout);
    void connectActions();
    void nameControls(const dialogs::TransferAccountView& state);
    void finishIfEnded();

    dialogs::TransferAccountDialog& model_;
    std::unique_ptr<EntryInputFilter> filter_;
    QTimer timer_;
    unsigned focusSerial_ = 0;
    bool refreshing_ = false;

    QRadioButton* categoryRadios_[3] = {};
    QComboBox* lists_[3] = {};
    QRadioButton* keypadRadio_ = nullptr;
    QRadioButton* keyboardRadio_ = nullptr;
    QCheckBox* addToCommon_ = nullptr;
    CSecureStatic* keypadField_ = nullptr;
    QLineEdit* accountEdit_ = nullptr;
    QLineEdit* emailEdit_ = nullptr;
    KeypadWidget* keypad_ = nullptr;
    QLabel* countdown_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the logic in a modal window until it ends (the user interface's
// RunTransferAccount); returns its outcome, 2 when it ended otherwise.
int RunTransferAccountWindow(dialogs::TransferAccountDialog& model, dialogs::MessageSink& messages,
                             QWidget* parent = nullptr);

}  // namespace qorv::widgets
