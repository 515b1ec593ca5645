#include "widgets/multi_field_view.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "widgets/entry_input_filter.h"
#include "widgets/keypad_widget.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/secure_text.h"

namespace qorv::widgets {
namespace {

using namespace dialogs;
namespace ec = entry_control;

QColor Colour(const Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

void Place(QWidget* widget, const Rect& rect) {
    widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

QPushButton* Button(int controlId, QWidget* parent) {
    auto* button = Named(new QPushButton(parent), controlId);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

MultiFieldView::MultiFieldView(MultiFieldDialog& model, MessageSink& messages, QWidget* parent)
    : DialogViewBase(std::chrono::milliseconds(kCountdownTickMs), parent),
      model_(model),
      messages_(messages) {
    setObjectName(QStringLiteral("multi-field-dialog"));
    build();
}

void MultiFieldView::build() {
    // The title and the row names are the page's text: plain, never markup.
    title_ = Named(new QLabel(this), ec::kTitle);
    title_->setTextFormat(Qt::PlainText);
    QFont titleFont = title_->font();
    titleFont.setPixelSize(18);
    titleFont.setBold(true);
    title_->setFont(titleFont);

    buildRows();
    buildFooter();

    filter_ = new EntryInputFilter(messages_, this);
    filter_->watchDialog(this);
}

// Each row's label, secure field, drop-down and edit; refresh shows those
// the row's view asks for.
void MultiFieldView::buildRows() {
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        Row& row = rows_[i];
        row.label = Named(new QLabel(this), ec::RowLabel(i));
        row.label->setTextFormat(Qt::PlainText);
        row.label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.field = new CSecureStatic(ec::RowSecureField(i), this);
        row.dropDown = Named(new QComboBox(this), ec::RowDropDown(i));
        row.dropDown->installEventFilter(this);
        row.edit = Named(new QLineEdit(this), ec::RowEdit(i));
        row.edit->installEventFilter(this);
        connect(row.dropDown, &QComboBox::activated, this, [this, i](int index) {
            model_.ChooseListItem(i, index);
            showModel();
        });
        connect(row.edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            model_.SetEditText(i, TextView(text));
            showModel();
        });
        connect(row.field, &CSecureStatic::released, this, [this, i](Qt::MouseButton button) {
            if (button != Qt::LeftButton && button != Qt::RightButton) return;
            const QPoint at = rows_[i].field->geometry().center();
            model_.ReleaseMouse(at.x(), at.y());
            showModel();
        });
    }
}

// The hint, the keyboard choice, the keypad, the countdown and the buttons.
void MultiFieldView::buildFooter() {
    hint_ = Named(new QLabel(this), ec::kHint);
    hint_->setTextFormat(Qt::PlainText);
    QFont hintFont(QStringLiteral("Verdana"));
    hintFont.setPointSize(9);
    hint_->setFont(hintFont);
    hint_->setStyleSheet(QStringLiteral("color: red"));

    useKeyboard_ = Named(new QRadioButton(ToQString(kUseKeyboardCaption), this), ec::kUseKeyboard);
    useKeypad_ = Named(new QRadioButton(ToQString(kUseKeypadCaption), this), ec::kUseKeypad);
    connect(useKeyboard_, &QRadioButton::clicked, this, [this] {
        model_.UseKeyboard(true);
        showModel();
    });
    connect(useKeypad_, &QRadioButton::clicked, this, [this] {
        model_.UseKeyboard(false);
        showModel();
    });

    keypad_ = new KeypadWidget(KeypadKind::kEntry, this);
    connect(keypad_, &KeypadWidget::keyPressed, this, &MultiFieldView::pressKey);

    countdown_ = Named(new QLabel(this), ec::kCountdown);
    countdown_->setTextFormat(Qt::PlainText);
    ok_ = Button(ec::kOk, this);
    cancel_ = Button(ec::kCancel, this);
    connect(ok_, &QPushButton::clicked, this, [this] {
        model_.PressOk();
        showModel();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        model_.PressCancel();
        showModel();
    });
    for (QPushButton* button : {ok_, cancel_})
        button->setStyleSheet(QStringLiteral("background: #FEEEE2"));
}

std::optional<int> MultiFieldView::start() {
    if (!model_.opened()) {
        if (const std::optional<int> ended = model_.Open()) return ended;
    } else if (model_.outcome()) {
        return model_.outcome();
    }
    keypad_->relabel(model_.keypad());
    const MultiFieldViewModel& view = model_.view();
    for (std::size_t i = 0; i < model_.rowCount(); ++i) {
        const EntryRowView& row = view.rows[i];
        rows_[i].field->setDisplayOffset(model_.keypad().displayOffset());
        rows_[i].field->setMaxLength(row.fieldMaxLength);
        filter_->watchEdit(rows_[i].edit,
                           row.editDigitsOnly ? EditKind::kEntryDigits : EditKind::kEntryText,
                           row.editMaxLength);
        if (row.editSecret) rows_[i].edit->setEchoMode(QLineEdit::Password);
    }
    fillLists();
    place();
    refreshView();
    startTicking();
    return std::nullopt;
}

int MultiFieldView::run() {
    if (const std::optional<int> ended = start()) return *ended;
    return exec();
}

void MultiFieldView::fillLists() {
    const MultiFieldViewModel& view = model_.view();
    for (std::size_t i = 0; i < model_.rowCount(); ++i) {
        QComboBox* dropDown = rows_[i].dropDown;
        dropDown->clear();
        for (const std::u16string& item : view.rows[i].items) dropDown->addItem(ToQString(item));
        dropDown->setCurrentIndex(view.rows[i].selectedIndex);
    }
}

void MultiFieldView::place() {
    const EntryLayout& layout = model_.view().layout;
    setFixedSize(layout.width, layout.height);
    Place(title_, layout.title);
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        Place(rows_[i].label, layout.labels[i]);
        for (QWidget* control :
             {static_cast<QWidget*>(rows_[i].field), static_cast<QWidget*>(rows_[i].dropDown),
              static_cast<QWidget*>(rows_[i].edit)})
            Place(control, layout.fields[i]);
    }
    Place(hint_, layout.hint);
    Place(useKeyboard_, layout.useKeyboard);
    Place(useKeypad_, layout.useKeypad);
    keypad_->move(layout.keypad.x, layout.keypad.y);
    Place(countdown_, layout.countdown);
    Place(ok_, layout.ok);
    Place(cancel_, layout.cancel);
}

void MultiFieldView::refreshRow(std::size_t index) {
    const EntryRowView& view = model_.view().rows[index];
    Row& row = rows_[index];
    row.label->setText(ToQString(view.label));
    row.label->setVisible(view.visible);

    row.field->setVisible(view.visible && view.fieldVisible);
    row.field->setEnabled(view.fieldEnabled);
    row.field->setColors(Colour(view.fieldText), Colour(view.fieldBackground));
    if (TextView(row.field->text()) != std::u16string_view(view.field.text) ||
        row.field->mode() != view.field.mode)
        row.field->setDisplay(view.field);

    row.dropDown->setVisible(view.visible && view.dropDownVisible);
    row.dropDown->setEnabled(view.dropDownEnabled);
    if (row.dropDown->currentIndex() != view.selectedIndex)
        row.dropDown->setCurrentIndex(view.selectedIndex);

    row.edit->setVisible(view.visible && view.editVisible);
    row.edit->setEnabled(view.editEnabled);
    const std::u16string_view text = model_.editText(index);
    if (TextView(row.edit->text()) != text) row.edit->setText(ToQString(text));
}

void MultiFieldView::refreshView() {
    refreshing_ = true;
    const MultiFieldViewModel& view = model_.view();
    setWindowTitle(ToQString(view.caption));
    title_->setText(ToQString(view.title));
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) refreshRow(i);
    hint_->setText(ToQString(view.hint));
    hint_->setVisible(!view.hint.empty());
    useKeyboard_->setVisible(view.radiosVisible);
    useKeypad_->setVisible(view.radiosVisible);
    useKeyboard_->setChecked(view.keyboardChecked);
    useKeypad_->setChecked(!view.keyboardChecked);
    keypad_->setDigitKeysVisible(view.digitKeysVisible);
    keypad_->setLetterKeysVisible(view.letterKeysVisible);
    keypad_->setVisible(view.digitKeysVisible || view.letterKeysVisible);
    // A digits keypad is one line of keys, not the letters' three.
    keypad_->adjustSize();
    countdown_->setText(ToQString(view.countdown));
    countdown_->setVisible(view.countdownVisible);
    ok_->setText(ToQString(view.okText));
    ok_->setEnabled(view.okEnabled);
    cancel_->setText(ToQString(view.cancelText));
    applyFocus();
    refreshing_ = false;
}

// The edit or drop-down of a keyboard or list row takes the focus; a keypad
// row takes it away from them.
void MultiFieldView::applyFocus() {
    const int control = model_.view().focusControl;
    if (control == appliedFocus_) return;
    appliedFocus_ = control;
    if (control == 0) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    if (QWidget* widget = findControl(control)) widget->setFocus(Qt::OtherFocusReason);
}

void MultiFieldView::pressKey(int controlId) {
    if (model_.PressKey(controlId) == KeyOutcome::kCaptionsChanged)
        keypad_->relabel(model_.keypad());
    showModel();
}

void MultiFieldView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        const QPoint at = event->position().toPoint();
        model_.ReleaseMouse(at.x(), at.y());
        showModel();
    }
    QDialog::mouseReleaseEvent(event);
}

bool MultiFieldView::eventFilter(QObject* watched, QEvent* event) {
    for (std::size_t i = 0; i < model_.rowCount(); ++i) {
        const Row& row = rows_[i];
        if (watched != row.dropDown && watched != row.edit) continue;
        if (event->type() == QEvent::FocusIn && !refreshing_) {
            model_.FocusRow(i);
            showModel();
        }
        // No typed character reaches a drop-down (its keyboard search would
        // change the choice); the arrow keys still move it.
        if (watched == row.dropDown && event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (!text.isEmpty() && text.at(0).isPrint()) return true;
        }
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void MultiFieldView::reject() {
    // Escape and the window's close button cancel like the Cancel button.
    model_.PressCancel();
    finish(model_.outcome().value_or(kOutcomeCancelled));
}

}  // namespace qorv::widgets
