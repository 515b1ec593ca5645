#include "widgets/transfer_account_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/entry_input_filter.h"
#include "widgets/keypad_widget.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"

namespace qorv::widgets {
namespace {

using namespace dialogs;
namespace id = dialogs::transfer_control;

constexpr TransferCategory kCategories[] = {TransferCategory::kAgreed, TransferCategory::kCommon,
                                            TransferCategory::kOther};
constexpr int kListWidth = 300;

QFrame* Frame(int controlId, QWidget* parent) {
    auto* frame = Named(new QFrame(parent), controlId);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

// Labels show document text: never read as markup.
QLabel* PlainLabel(int controlId, QWidget* parent) {
    auto* label = Named(new QLabel(parent), controlId);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Sets a widget's text only when it changed (an edit keeps its cursor).
void SetText(QLineEdit* edit, const std::u16string& text) {
    const QString wanted = ToQString(text);
    if (edit->text() != wanted) edit->setText(wanted);
}

}  // namespace

TransferAccountWindow::TransferAccountWindow(TransferAccountDialog& model, MessageSink& messages,
                                             QWidget* parent)
    : DialogViewBase(std::chrono::milliseconds(kCountdownTickMs), parent),
      model_(model),
      filter_(std::make_unique<EntryInputFilter>(messages)) {
    setObjectName(QStringLiteral("CTransSet"));
    build();
    refreshView();
    if (!model_.outcome()) startTicking();
}

TransferAccountWindow::~TransferAccountWindow() = default;

void TransferAccountWindow::build() {
    auto* layout = new QVBoxLayout(this);
    buildListedCategories(layout);
    buildOtherAccount(layout);
    auto* categoryGroup = new QButtonGroup(this);
    for (QRadioButton* radio : categoryRadios_) categoryGroup->addButton(radio);
    buildFooter(layout);
    connectActions();
}

// Agreed and common accounts: a radio and its list in a frame each.
void TransferAccountWindow::buildListedCategories(QVBoxLayout* layout) {
    for (int c = 0; c < 2; ++c) {
        QFrame* frame = Frame(id::kAgreedFrame + c, this);
        auto* row = new QHBoxLayout(frame);
        categoryRadios_[c] = Named(new QRadioButton(frame), id::kAgreedRadio + c);
        lists_[c] = Named(new QComboBox(frame), ListControlFor(kCategories[c]));
        lists_[c]->setMinimumWidth(kListWidth);
        row->addWidget(categoryRadios_[c]);
        row->addWidget(lists_[c], 1);
        layout->addWidget(frame);
    }
}

// Another account: the bank list, the account entry, the check box, the
// keyboard choice and the keypad.
void TransferAccountWindow::buildOtherAccount(QVBoxLayout* layout) {
    QFrame* other = Frame(id::kOtherFrame, this);
    auto* grid = new QGridLayout(other);
    categoryRadios_[2] = Named(new QRadioButton(other), id::kOtherRadio);
    lists_[2] = Named(new QComboBox(other), id::kBankList);
    lists_[2]->setMinimumWidth(kListWidth);
    grid->addWidget(categoryRadios_[2], 0, 0);
    grid->addWidget(lists_[2], 0, 1, 1, 2);
    grid->addWidget(PlainLabel(id::kAccountLabel, other), 1, 0);
    keypadField_ = new CSecureStatic(id::kKeypadField, other);
    keypadField_->setMinimumSize(220, 26);
    keypadField_->setMaxLength(static_cast<int>(kMaxTransferKeypadEntry));
    keypadField_->setDisplayOffset(model_.keypad().displayOffset());
    keypadField_->setColors(Qt::white, QColor(51, 153, 255));
    accountEdit_ = Named(new QLineEdit(other), id::kAccountEdit);
    auto* entry = new QHBoxLayout;
    entry->addWidget(keypadField_, 1);
    entry->addWidget(accountEdit_, 1);
    grid->addLayout(entry, 1, 1);
    addToCommon_ = Named(new QCheckBox(other), id::kAddToCommon);
    grid->addWidget(addToCommon_, 1, 2);
    auto* keyboards = new QHBoxLayout;
    keypadRadio_ = Named(new QRadioButton(other), id::kKeypadRadio);
    keyboardRadio_ = Named(new QRadioButton(other), id::kKeyboardRadio);
    auto* keyboardGroup = new QButtonGroup(this);
    keyboardGroup->addButton(keypadRadio_);
    keyboardGroup->addButton(keyboardRadio_);
    keyboards->addWidget(keypadRadio_);
    keyboards->addWidget(keyboardRadio_);
    keyboards->addStretch();
    grid->addLayout(keyboards, 2, 1, 1, 2);
    keypad_ = new KeypadWidget(KeypadKind::kTransfer, other);
    keypad_->relabel(model_.keypad());
    grid->addWidget(keypad_, 3, 1, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    layout->addWidget(other);
}

// E-mail notification, the countdown and the buttons.
void TransferAccountWindow::buildFooter(QVBoxLayout* layout) {
    auto* email = new QHBoxLayout;
    email->addWidget(PlainLabel(id::kEmailLabel, this));
    emailEdit_ = Named(new QLineEdit(this), id::kEmailEdit);
    email->addWidget(emailEdit_, 1);
    layout->addLayout(email);
    auto* note = PlainLabel(id::kEmailNote, this);
    note->setWordWrap(true);
    layout->addWidget(note);
    countdown_ = PlainLabel(id::kCountdown, this);
    countdown_->setStyleSheet(QStringLiteral("color: red"));
    layout->addWidget(countdown_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = Named(new QPushButton(this), id::kOk);
    cancel_ = Named(new QPushButton(this), id::kCancel);
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
}

// The person's actions go to the logic; the view then shows its state.
void TransferAccountWindow::connectActions() {
    for (int c = 0; c < 3; ++c) {
        const TransferCategory category = kCategories[c];
        connect(categoryRadios_[c], &QRadioButton::clicked, this, [this, category] {
            model_.SelectCategory(category);
            showModel();
        });
        const int listId = ListControlFor(category);
        connect(lists_[c], &QComboBox::activated, this, [this, listId](int index) {
            model_.Focus(listId);
            model_.SelectListItem(listId, index);
            showModel();
        });
        lists_[c]->installEventFilter(this);
    }
    connect(keypadRadio_, &QRadioButton::clicked, this, [this] {
        model_.ChooseKeypad(true);
        showModel();
    });
    connect(keyboardRadio_, &QRadioButton::clicked, this, [this] {
        model_.ChooseKeypad(false);
        showModel();
    });
    connect(addToCommon_, &QCheckBox::clicked, this, [this](bool checked) {
        model_.SetAddToCommon(checked);
        showModel();
    });
    connect(keypad_, &KeypadWidget::keyPressed, this, [this](int key) {
        model_.PressKey(key);
        showModel();
    });
    connect(keypadField_, &CSecureStatic::released, this, [this] {
        model_.Focus(id::kKeypadField);
        showModel();
    });
    // The OK rule sees each key before the edit does; the input filter
    // (installed after, so it runs first) has already dropped refused keys.
    accountEdit_->installEventFilter(this);
    filter_->watchEdit(accountEdit_, EditKind::kTransferAccount,
                       static_cast<int>(kMaxTransferAccount));
    filter_->watchEdit(emailEdit_, EditKind::kTransferEmail, static_cast<int>(kMaxTransferEmail));
    connect(accountEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetAccountText(TextView(text));
        showModel();
    });
    connect(emailEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetEmailText(TextView(text));
        showModel();
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        model_.PressOk();
        showModel();
    });
    connect(cancel_, &QPushButton::clicked, this, &TransferAccountWindow::reject);
    filter_->watchDialog(this);
}

bool TransferAccountWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int c = 0; c < 3; ++c) {
            if (watched == lists_[c]) {
                model_.Focus(ListControlFor(kCategories[c]));
                refreshView();
            }
        }
        if (watched == accountEdit_) {
            model_.Focus(id::kAccountEdit);
            refreshView();
        }
    } else if (event->type() == QEvent::KeyPress && watched == accountEdit_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace) {
            model_.AccountKey(AccountEditKey::kBackspace);
        } else if (key->key() == Qt::Key_Delete) {
            model_.AccountKey(AccountEditKey::kDelete);
        } else if (key->matches(QKeySequence::Paste) || !key->text().isEmpty()) {
            model_.AccountKey(AccountEditKey::kCharacter);
        }
        refreshView();
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* TransferAccountWindow::control(int controlId) const {
    if (controlId >= kFirstKeyId && controlId <= kTransferClearKeyId)
        return keypad_->key(controlId);
    return findControl(controlId);
}

void TransferAccountWindow::refreshView() {
    if (refreshing_) return;
    refreshing_ = true;
    const dialogs::TransferAccountView& state = model_.view();
    setWindowTitle(ToQString(state.caption));
    const auto apply = [&state](QWidget* widget, int controlId) {
        widget->setVisible(state.IsVisible(controlId));
        widget->setEnabled(state.IsEnabled(controlId));
    };
    for (int c = 0; c < 3; ++c) {
        const int radioId = id::kAgreedRadio + c;
        categoryRadios_[c]->setText(ToQString(state.TextOf(radioId)));
        categoryRadios_[c]->setChecked(state.IsChecked(radioId));
        const TransferListView* list = state.List(ListControlFor(kCategories[c]));
        QComboBox* combo = lists_[c];
        if (combo->count() != static_cast<int>(list->items.size())) {
            const QSignalBlocker block(combo);
            combo->clear();
            for (const std::u16string& item : list->items) combo->addItem(ToQString(item));
        }
        if (combo->currentIndex() != list->selected) {
            const QSignalBlocker block(combo);
            combo->setCurrentIndex(list->selected);
        }
    }
    for (QRadioButton* radio : {keypadRadio_, keyboardRadio_}) {
        const int radioId = radio == keypadRadio_ ? id::kKeypadRadio : id::kKeyboardRadio;
        radio->setText(ToQString(state.TextOf(radioId)));
        radio->setChecked(state.IsChecked(radioId));
        apply(radio, radioId);
    }
    addToCommon_->setText(ToQString(state.TextOf(id::kAddToCommon)));
    addToCommon_->setChecked(state.IsChecked(id::kAddToCommon));
    apply(addToCommon_, id::kAddToCommon);

    for (int key = kFirstKeyId; key <= kTransferClearKeyId; ++key)
        if (QWidget* button = keypad_->key(key)) button->setVisible(state.IsVisible(key));
    keypad_->setVisible(state.IsVisible(kFirstKeyId));
    keypadField_->setDisplay(state.keypadField);
    keypadField_->setVisible(state.IsVisible(id::kKeypadField));
    accountEdit_->setVisible(state.IsVisible(id::kAccountEdit));
    SetText(accountEdit_, state.TextOf(id::kAccountEdit));
    SetText(emailEdit_, state.TextOf(id::kEmailEdit));

    for (const int labelId : {id::kAccountLabel, id::kEmailLabel, id::kEmailNote}) {
        if (auto* label = findChild<QLabel*>(ControlName(labelId)))
            label->setText(ToQString(state.TextOf(labelId)));
    }
    nameControls(state);
    countdown_->setText(ToQString(state.TextOf(id::kCountdown)));
    countdown_->setVisible(state.IsVisible(id::kCountdown));
    ok_->setText(ToQString(state.TextOf(id::kOk)));
    ok_->setEnabled(state.IsEnabled(id::kOk));
    cancel_->setText(ToQString(state.TextOf(id::kCancel)));

    if (state.focusSerial != focusSerial_) {
        focusSerial_ = state.focusSerial;
        if (QWidget* target = control(state.focusControl)) target->setFocus();
    }
    refreshing_ = false;
}

// What a screen reader says for each entry: the words beside it on the
// screen (a list's radio, an edit's label), in the interface's language.
void TransferAccountWindow::nameControls(const dialogs::TransferAccountView& state) {
    for (int c = 0; c < 2; ++c)
        lists_[c]->setAccessibleName(ToQString(state.TextOf(id::kAgreedRadio + c)));
    lists_[2]->setAccessibleName(QStringLiteral("轉入銀行"));
    const QString account = ToQString(state.TextOf(id::kAccountLabel));
    accountEdit_->setAccessibleName(account);
    keypadField_->setAccessibleDescription(account);
    emailEdit_->setAccessibleName(ToQString(state.TextOf(id::kEmailLabel)));
    emailEdit_->setAccessibleDescription(ToQString(state.TextOf(id::kEmailNote)));
}

void TransferAccountWindow::reject() {
    model_.PressCancel();
    finishIfEnded();
}

int RunTransferAccountWindow(TransferAccountDialog& model, MessageSink& messages, QWidget* parent) {
    if (const std::optional<int> ended = model.outcome()) return *ended;
    TransferAccountWindow window(model, messages, parent);
    window.exec();
    return model.outcome().value_or(kOutcomeCancelled);
}

}  // namespace qorv::widgets
