#include "widgets/secure_static.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "base/secure_wipe.h"
#include "crypto/random.h"
#include "widgets/qt_text.h"
#include "widgets/secure_text.h"

namespace qorv::widgets {
namespace {

using namespace dialogs;

constexpr int kPlainCells = 31;

bool IsScrambledMode(int mode) {
    return mode == kModeCells || mode == kModeTurnedCells || mode == kModeTiltedCells ||
           mode == kModeScrambledText;
}

// The cell count a maximum length gives: below 16 -> 16, 16..23 -> 20,
// 24..29 -> 24, 30 and more unchanged.
int RoundedLength(int maxLength) {
    if (maxLength < 16) return 16;
    if (maxLength < 24) return 20;
    if (maxLength < 30) return 24;
    return maxLength;
}

// An angle of -2.0 to +2.0 degrees (20 minus a random byte modulo 40, in
// tenths of a degree).
qreal RandomAngle() {
    return (20 - crypto::RandomByte() % 40) / 10.0;
}

// Verdana 12 pixels high, its characters drawn width pixels wide.
QFont CellFont() {
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(12);
    return font;
}

}  // namespace

const char16_t CSecureStatic::kToolTip[] =
    u"請將滑鼠移至此欄位或使用滑鼠右鍵點擊欲輸入之欄位 , 以顯示動態鍵盤";

CSecureStatic::CSecureStatic(int controlId, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(controlId));
    setToolTip(ToQString(kToolTip));
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateAccessibleName();
}

void CSecureStatic::setDisplay(const FieldDisplay& display) {
    text_ = ToQString(display.text);
    mode_ = display.mode;
    length_ = display.length;
    updateAccessibleName();
    update();
}

void CSecureStatic::setText(const QString& text, int mode) {
    text_ = text;
    mode_ = mode;
    QString value;
    if (IsScrambledMode(mode)) {
        UnscrambledText plain(text_, displayOffset_);
        length_ = plain.view().size();
        value = ToQString(plain.view());
    } else {
        length_ = static_cast<std::size_t>(text_.size());
        if (mode != kModeAsterisks) value = text_;
    }
    updateAccessibleName(value);
    update();
}

void CSecureStatic::setColors(const QColor& text, const QColor& background) {
    textColor_ = text;
    background_ = background;
    update();
}

void CSecureStatic::setFieldFont(const QString& family, int pixelSize, bool bold) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    setFont(f);
    update();
}

void CSecureStatic::setDisplayOffset(uint32_t offset) {
    displayOffset_ = offset;
    update();
}

void CSecureStatic::setMaxLength(int length) {
    maxLength_ = length;
    update();
}

void CSecureStatic::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void CSecureStatic::updateAccessibleName(const QString& value) {
    setAccessibleName(value.isEmpty() ? QStringLiteral("已輸入 %1 個字元").arg(length_) : value);
}

int CSecureStatic::textFlags() const {
    int flags = static_cast<int>(alignment_ & Qt::AlignHorizontal_Mask);
    if (alignment_ & Qt::AlignVCenter)
        flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    else
        flags |= Qt::AlignTop | Qt::TextWordWrap;
    return flags;
}

qreal CSecureStatic::cellWidth() const {
    const int cells = mode_ == kModePlainCells ? kPlainCells : RoundedLength(maxLength_) + 1;
    return static_cast<qreal>(width()) / cells;
}

void CSecureStatic::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event->button());
    QWidget::mouseReleaseEvent(event);
}

void CSecureStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    painter.setPen(textColor_);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (text_.isEmpty()) return;
    if (mode_ == kModePlainText) {
        painter.setFont(font());
        painter.drawText(rect(), textFlags(), text_);
        return;
    }

    // The bytes to draw: the unscrambled text for the scrambled modes (its
    // UTF-16 bytes, zero high bytes skipped below), else the low byte of
    // each character of the window text. Wiped when this paint ends.
    UnscrambledText unscrambled(IsScrambledMode(mode_) ? text_ : QString(), displayOffset_);
    if (mode_ == kModeScrambledText) {
        painter.setFont(font());
        DrawSecretText(painter, QRectF(rect()), textFlags(), unscrambled.view());
        return;
    }
    std::vector<uint8_t> windowBytes;
    if (!IsScrambledMode(mode_)) {
        windowBytes.reserve(static_cast<std::size_t>(text_.size()));
        for (QChar c : text_) windowBytes.push_back(static_cast<uint8_t>(c.unicode() & 0xFF));
    }
    const std::vector<uint8_t>& bytes = IsScrambledMode(mode_) ? unscrambled.bytes() : windowBytes;
    const auto shown = static_cast<int>(
        std::count_if(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0; }));

    const qreal cell = cellWidth();
    qreal x = 0;
    if (alignment_ & Qt::AlignHCenter) x = (width() - shown * cell) / 2;
    if (alignment_ & Qt::AlignRight) x = width() - shown * cell;

    const bool cellFont =
        mode_ == kModeCells || mode_ == kModeTurnedCells || mode_ == kModeTiltedCells;
    const QFont font = cellFont ? CellFont() : this->font();
    painter.setFont(font);
    // The cell fonts are drawn 11 (upright) or 10 (turned) pixels wide.
    qreal scale = 1;
    if (cellFont) {
        const qreal average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) scale = (mode_ == kModeCells ? 11.0 : 10.0) / average;
        scale = std::clamp(scale, 0.5, 2.0);
    }
    const qreal paintAngle = mode_ == kModeTurnedCells ? RandomAngle() : 0;
    const qreal lineHeight = QFontMetricsF(font).height();

    for (uint8_t byte : bytes) {
        if (byte == 0) continue;
        qreal orientation = paintAngle;
        qreal rise = 0;
        if (mode_ == kModeTiltedCells) {
            const qreal escapement = RandomAngle();
            orientation = RandomAngle();
            rise = escapement * cell / 60;  // the baseline leans with the escapement
        }
        painter.save();
        painter.translate(x + cell / 2, height() / 2.0 - rise);
        painter.rotate(-orientation);
        painter.scale(scale, 1);
        const char16_t character = byte;
        DrawSecretText(painter,
                       QRectF(-cell / scale, -lineHeight / 2, 2 * cell / scale, lineHeight),
                       Qt::AlignCenter, std::u16string_view(&character, 1));
        painter.restore();
        x += cell;
    }
    SecureWipe(windowBytes);
}

}  // namespace qorv::widgets
