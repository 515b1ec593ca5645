#include "widgets/confirmation_view.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "widgets/dialog_view_base.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"

namespace qorv::widgets {
namespace {

namespace control = dialogs::confirm_control;

constexpr int kContentWidth = 520;
constexpr int kRowLabelWidth = 150;
constexpr int kRowSpacing = 12;
constexpr int kValueWidth = kContentWidth - kRowLabelWidth - kRowSpacing;
// Taller summaries scroll inside the window instead of growing it.
constexpr int kMaxRowsHeight = 360;
constexpr int kTag11 = 11;
constexpr int kTag17 = 17;

QFont DialogFont(int pixelSize, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans TC"),
                      QStringLiteral("Microsoft JhengHei"), QStringLiteral("PingFang TC")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// A label for the page's texts: always plain text (a summary is never
// markup), wrapped at word boundaries where there are any and anywhere
// else, so a long account number or amount is never cut off.
class SummaryText final : public QLabel {
  public:
    SummaryText(int controlId, int width, QWidget* parent) : QLabel(parent) {
        Named(this, controlId);
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setFixedWidth(width);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const QMargins m = contentsMargins();
        return TextHeight(width - m.left() - m.right()) + m.top() + m.bottom();
    }
    QSize sizeHint() const override { return {width(), heightForWidth(width())}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        const QRect area = contentsRect();
        QTextLayout layout(text(), font());
        Lay(layout, area.width());
        const qreal height = layout.boundingRect().height();
        qreal top = area.top();
        if (alignment() & Qt::AlignVCenter) top += (area.height() - height) / 2;
        layout.draw(&painter, QPointF(area.left(), top));
    }

  private:
    void Lay(QTextLayout& layout, int width) const {
        QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        const qreal leading = QFontMetricsF(font()).leading();
        qreal y = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height() + leading;
        }
        layout.endLayout();
    }
    int TextHeight(int width) const {
        if (text().isEmpty()) return QFontMetrics(font()).height();
        QTextLayout layout(text(), font());
        Lay(layout, width);
        return static_cast<int>(std::ceil(layout.boundingRect().height()));
    }
};

QFrame* Separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

// ---------------------------------------------------------------------------

CardReaderAnimation::CardReaderAnimation(QWidget* parent) : QWidget(parent) {
    Named(this, control::kAnimation);
    setFixedSize(sizeHint());
    timer_.setInterval(kFramePeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] { setFrame((frame_ + 1) % kFrames); });
}

void CardReaderAnimation::setFrame(int frame) {
    frame_ = std::clamp(frame, 0, kFrames - 1);
    update();
}

void CardReaderAnimation::showEvent(QShowEvent*) {
    timer_.start();
}

void CardReaderAnimation::hideEvent(QHideEvent*) {
    timer_.stop();
}

void CardReaderAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Out over the first half of the cycle, back in over the second; a short
    // rest at each end.
    const int half = kFrames / 2;
    const int step = frame_ < half ? frame_ : kFrames - frame_;
    const qreal out = std::clamp((step - 1) / static_cast<qreal>(half - 2), 0.0, 1.0);

    const QRectF reader(6, 44, 52, 24);
    const qreal cardHeight = 40;
    const QRectF card(14, reader.top() - 8 - out * 26, 36, cardHeight);

    // The card first, the reader's front over its lower part.
    painter.setPen(QPen(QColor(30, 70, 140), 1));
    painter.setBrush(QColor(70, 130, 210));
    painter.drawRoundedRect(card, 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(224, 184, 70));
    painter.drawRoundedRect(QRectF(card.left() + 6, card.top() + 7, 10, 8), 1.5, 1.5);
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawRect(QRectF(card.left() + 5, card.top() + 20, 26, 2.5));

    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(90, 96, 104));
    painter.drawRoundedRect(reader, 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 30));
    painter.drawRect(QRectF(reader.left() + 6, reader.top() + 3, reader.width() - 12, 3));
    // The reader's lamp: green while the card is fully in.
    painter.setBrush(out <= 0 ? QColor(60, 200, 90) : QColor(230, 150, 40));
    painter.drawEllipse(QPointF(reader.right() - 9, reader.bottom() - 7), 3, 3);
}

// ---------------------------------------------------------------------------

ConfirmationWindow::ConfirmationWindow(dialogs::ConfirmationDialog& logic, QWidget* parent)
    : DialogViewBase(dialogs::kConfirmationPollPeriod, parent), logic_(logic) {
    Build();
    refreshView();
}

void ConfirmationWindow::Build() {
    setFont(DialogFont(15));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xF6, 0xF8, 0xFB));
    colours.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(8);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The host block first: the values the card or the bank will act on,
    // as the host formats them, wrapped, outside the scrolling rows.
    BuildHostBlock(layout);
    BuildHeading(layout);
    layout->addWidget(Separator(this));
    BuildRows(layout, colours.color(QPalette::Window));
    layout->addWidget(Separator(this));
    BuildPrompt(layout);
    BuildButtons(layout);
}

QLabel* ConfirmationWindow::TagLabel(int tag, int width, QWidget* parent) {
    auto* label = new SummaryText(dialogs::ControlForTag(tag), width, parent);
    tagLabels_[static_cast<std::size_t>(tag - 1)] = label;
    return label;
}

// The title line and the two note lines.
void ConfirmationWindow::BuildHeading(QVBoxLayout* layout) {
    QLabel* title = TagLabel(1, kContentWidth, this);
    title->setFont(DialogFont(18, true));
    title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    title->setStyleSheet(QStringLiteral("color: #1c3f73"));
    layout->addWidget(title);
    for (int tag : {2, 3}) {
        QLabel* note = TagLabel(tag, kContentWidth, this);
        note->setFont(DialogFont(14));
        note->setStyleSheet(QStringLiteral("color: #8a3b12"));
        layout->addWidget(note);
    }
}

// Eight label/value rows, in an area that scrolls past a height.
void ConfirmationWindow::BuildRows(QVBoxLayout* layout, const QColor& background) {
    rowsBox_ = new QWidget;
    rowsBox_->setObjectName(QStringLiteral("rows"));
    auto* rowsLayout = new QVBoxLayout(rowsBox_);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(6);
    for (int row = 0; row < 8; ++row) {
        const int labelTag = 4 + 2 * row;
        const int valueTag = labelTag + 1;
        auto* box = new QWidget(rowsBox_);
        box->setObjectName(QStringLiteral("row%1").arg(row + 1));
        auto* line = new QHBoxLayout(box);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(kRowSpacing);
        QLabel* name = TagLabel(labelTag, kRowLabelWidth, box);
        name->setFont(DialogFont(15));
        name->setStyleSheet(QStringLiteral("color: #4a5566"));
        line->addWidget(name, 0, Qt::AlignTop);
        if (valueTag == kTag11) {
            transferIn_ = new CSecureStatic(control::kTransferInSecureField, box);
            transferIn_->setFixedSize(kValueWidth, 24);
            transferIn_->setColors(QColor(0x10, 0x10, 0x10), background);
            transferIn_->setFieldFont(QStringLiteral("Noto Sans CJK TC"), 15, true);
            transferIn_->setMaxLength(16);
            transferIn_->setToolTip(QString());
            line->addWidget(transferIn_, 0, Qt::AlignTop);
        } else if (valueTag == kTag17) {
            tag17_ = Named(new QPlainTextEdit(box), control::kTag17Value);
            tag17_->setReadOnly(true);
            tag17_->setFocusPolicy(Qt::ClickFocus);
            tag17_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            tag17_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            tag17_->setFixedSize(kValueWidth, 4 * QFontMetrics(font()).lineSpacing() + 12);
            line->addWidget(tag17_, 0, Qt::AlignTop);
        } else {
            QLabel* value = TagLabel(valueTag, kValueWidth, box);
            value->setFont(DialogFont(15, true));
            line->addWidget(value, 0, Qt::AlignTop);
        }
        rows_[static_cast<std::size_t>(row)] = box;
        rowsLayout->addWidget(box);
    }
    rowsArea_ = new QScrollArea(this);
    rowsArea_->setFrameShape(QFrame::NoFrame);
    rowsArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rowsArea_->setWidgetResizable(true);
    rowsArea_->setWidget(rowsBox_);
    rowsArea_->setFixedWidth(kContentWidth + rowsArea_->verticalScrollBar()->sizeHint().width());
    rowsArea_->viewport()->setAutoFillBackground(false);
    rowsBox_->setAutoFillBackground(false);
    layout->addWidget(rowsArea_);
}

// The picture and the countdown message.
void ConfirmationWindow::BuildPrompt(QVBoxLayout* layout) {
    auto* prompt = new QHBoxLayout;
    prompt->setSpacing(12);
    animation_ = new CardReaderAnimation(this);
    prompt->addWidget(animation_, 0, Qt::AlignVCenter);
    countdown_ = new SummaryText(control::kCountdown, kContentWidth - 64 - 12, this);
    countdown_->setFont(DialogFont(16, true));
    countdown_->setStyleSheet(QStringLiteral("color: #b3261e"));
    countdown_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Room for the longest message, so the window keeps its size as the
    // message changes.
    countdown_->setMinimumHeight(2 * QFontMetrics(countdown_->font()).lineSpacing() + 8);
    prompt->addWidget(countdown_, 1);
    layout->addLayout(prompt);
}

// OK and Cancel: only a click confirms, never Enter.
void ConfirmationWindow::BuildButtons(QVBoxLayout* layout) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = Named(new QPushButton(this), control::kOk);
    cancel_ = Named(new QPushButton(this), control::kCancel);
    const auto& rgb = logic_.view().buttonColour;
    const QString face = QColor(rgb[0], rgb[1], rgb[2]).name();
    for (QPushButton* button : {ok_, cancel_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setMinimumSize(110, 36);
        button->setFont(DialogFont(16, true));
        button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: #202020;"
                                             " border: 1px solid #b89a86; border-radius: 4px;"
                                             " padding: 4px 20px; }"
                                             "QPushButton:hover { border-color: #8a6248; }"
                                             "QPushButton:pressed { background: #f1d9c8; }"
                                             "QPushButton:disabled { color: #a8a8a8;"
                                             " border-color: #d8cfc8; }"
                                             "QPushButton:focus { border: 2px solid #8a6248; }")
                                  .arg(face));
        buttons->addWidget(button);
        buttons->addSpacing(16);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, [this] {
        logic_.PressOk();
        showModel();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        logic_.PressCancel();
        showModel();
    });
}

void ConfirmationWindow::BuildHostBlock(QVBoxLayout* layout) {
    const dialogs::HostBlock& block = logic_.view().hostBlock;
    hostBlock_ = new QFrame(this);
    hostBlock_->setObjectName(QStringLiteral("hostBlock"));
    hostBlock_->setFrameShape(QFrame::StyledPanel);
    hostBlock_->setStyleSheet(QStringLiteral(
        "QFrame#hostBlock { background: #ffffff; border: 2px solid #1c3f73; border-radius: 4px; }"
        "QFrame#hostBlock:focus { border-color: #b3261e; }"));
    // Not a secret: a screen reader reads the whole block when it opens.
    hostBlock_->setFocusPolicy(Qt::StrongFocus);
    hostBlock_->setAccessibleName(QStringLiteral("交易確認資料"));
    QStringList spoken;
    auto* rows = new QVBoxLayout(hostBlock_);
    rows->setContentsMargins(10, 8, 10, 8);
    rows->setSpacing(4);
    auto* heading = new SummaryText(0, kContentWidth - 24, hostBlock_);
    heading->setObjectName(QStringLiteral("hostBlockHeading"));
    heading->setFont(DialogFont(13));
    heading->setStyleSheet(QStringLiteral("color: #1c3f73; border: none"));
    heading->setText(QStringLiteral("本程式核對之交易資料（以此為準）"));
    rows->addWidget(heading);
    for (const dialogs::HostRow& row : block) {
        auto* line = new QHBoxLayout;
        line->setSpacing(kRowSpacing);
        auto* name = new SummaryText(0, kRowLabelWidth - 12, hostBlock_);
        name->setObjectName(QStringLiteral("hostLabel"));
        name->setStyleSheet(QStringLiteral("color: #4a5566; border: none"));
        name->setText(ToQString(row.label));
        auto* value = new SummaryText(0, kValueWidth - 12, hostBlock_);
        value->setObjectName(QStringLiteral("hostValue"));
        value->setFont(DialogFont(16, true));
        value->setStyleSheet(QStringLiteral("color: #101010; border: none"));
        value->setText(ToQString(row.value));
        line->addWidget(name, 0, Qt::AlignTop);
        line->addWidget(value, 0, Qt::AlignTop);
        rows->addLayout(line);
        spoken << ToQString(row.label) + QStringLiteral("：") + ToQString(row.value);
    }
    hostBlock_->setAccessibleDescription(spoken.join(QStringLiteral("；")));
    hostBlock_->setVisible(!block.empty());
    layout->addWidget(hostBlock_);
}

void ConfirmationWindow::refreshView() {
    const dialogs::ConfirmationView& view = logic_.view();
    setWindowTitle(ToQString(view.caption));
    bool rowsChanged = false;
    auto show = [&rowsChanged](QWidget* widget, bool visible) {
        if (widget->isHidden() == visible) {
            widget->setVisible(visible);
            rowsChanged = true;
        }
    };
    for (std::size_t i = 0; i < view.tagLabels.size(); ++i) {
        const dialogs::ViewLabel& label = view.tagLabels[i];
        if (QLabel* widget = tagLabels_[i]) {
            widget->setText(ToQString(label.text));
            show(widget, label.visible);
        }
    }
    const dialogs::ViewLabel& tag17 = view.tagLabels[kTag17 - 1];
    if (tag17_->toPlainText() != ToQString(tag17.text)) tag17_->setPlainText(ToQString(tag17.text));
    show(tag17_, tag17.visible);
    if (transferIn_->text() != ToQString(view.transferInField.text) ||
        transferIn_->mode() != view.transferInField.mode) {
        transferIn_->setDisplayOffset(view.transferInField.displayOffset);
        transferIn_->setText(ToQString(view.transferInField.text), view.transferInField.mode);
    }
    show(transferIn_, view.transferInFieldVisible);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const std::size_t labelIndex = 3 + 2 * row;
        bool visible = view.tagLabels[labelIndex].visible || view.tagLabels[labelIndex + 1].visible;
        if (labelIndex + 2 == kTag11) visible = visible || view.transferInFieldVisible;
        show(rows_[row], visible);
    }
    if (rowsChanged) FitRows();

    countdown_->setText(ToQString(view.countdown));
    ok_->setText(ToQString(view.okText));
    cancel_->setText(ToQString(view.cancelText));
    ok_->setVisible(view.okVisible);
    ok_->setEnabled(view.okEnabled);
}

void ConfirmationWindow::FitRows() {
    const bool any =
        std::any_of(rows_.begin(), rows_.end(), [](QWidget* row) { return !row->isHidden(); });
    rowsArea_->setVisible(any);
    if (!any) return;
    rowsBox_->ensurePolished();
    for (QWidget* child : rowsBox_->findChildren<QWidget*>()) child->ensurePolished();
    rowsBox_->layout()->invalidate();
    rowsBox_->layout()->activate();
    const int height = rowsBox_->layout()->totalSizeHint().height();
    rowsArea_->setFixedHeight(std::min(height, kMaxRowsHeight));
}

void ConfirmationWindow::reject() {
    logic_.PressCancel();
    showModel();
}

void ConfirmationWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        logic_.PressEnter();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ConfirmationWindow::showEvent(QShowEvent* event) {
    FitRows();
    QDialog::showEvent(event);
    // Focus opens on what the customer confirms, never on a button.
    if (!hostBlock_->isHidden()) hostBlock_->setFocus(Qt::OtherFocusReason);
    if (logic_.timerRunning()) startTicking();
}

void ConfirmationWindow::hideEvent(QHideEvent* event) {
    stopTicking();
    QDialog::hideEvent(event);
}

}  // namespace qorv::widgets
