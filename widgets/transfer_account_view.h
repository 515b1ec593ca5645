// The Qt view of the transfer account dialog (CTransSet): a thin map from
// the logic's view state to widgets and from the person's actions to the
// logic. Every control carries its template id as objectName ("1093",
// "1015", "1"); the keypad is the dialog kit's KeypadWidget.
//
// The logic must have been opened (TransferAccountDialog::Open returned no
// outcome) before the view is built. The dialog ends with the logic's
// outcome: 1 OK, 2 cancelled or timed out.
#pragma once

#include <memory>

#include "dialogs/message_sink.h"
#include "dialogs/transfer_account_dialog.h"
#include "widgets/dialog_view_base.h"

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

// The countdown ticks every 200 ms from the start.
class TransferAccountWindow final : public DialogViewBase {
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

    void reject() override;

  protected:
    void tickModel() override { model_.Tick(); }
    void refreshView() override;
    std::optional<int> modelOutcome() const override { return model_.outcome(); }
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

    dialogs::TransferAccountDialog& model_;
    std::unique_ptr<EntryInputFilter> filter_;
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
