#include "widgets/shaded_key_button.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <vector>

#include "base/secure_wipe.h"
#include "crypto/value_protection.h"
#include "widgets/secure_text.h"

namespace qorv::widgets {

ShadedKeyButton::ShadedKeyButton(int controlId, QWidget* parent)
    : QPushButton(parent), controlId_(controlId) {
    setObjectName(QString::number(controlId));
    setFocusPolicy(Qt::NoFocus);  // keys never take the focus from the entry
    setAttribute(Qt::WA_Hover);
}

void ShadedKeyButton::setScrambledCaption(const QString& scrambled, uint32_t captionOffset) {
    scrambled_ = true;
    captionOffset_ = captionOffset;
    setText(scrambled);
    // What assistive technology reads: never the key's character.
    setAccessibleName(QStringLiteral("虛擬鍵盤按鍵"));
    update();
}

void ShadedKeyButton::setPlainCaption(const QString& caption) {
    scrambled_ = false;
    setText(caption);
    setAccessibleName(caption);
    update();
}

bool ShadedKeyButton::carries(char16_t character) const {
    if (!scrambled_) return false;
    UnscrambledText caption(text(), captionOffset_);
    const std::u16string_view plain = caption.view();
    return plain.size() == 1 && plain[0] == character;
}

void ShadedKeyButton::setShading(int tint, int depth) {
    tint_ = tint & 15;
    depth_ = depth & 15;
    update();
}

void ShadedKeyButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(1, 1, -1, -1);

    // A blue-grey face whose tone and depth vary a little per key.
    QColor top = QColor::fromHsv(205 + tint_, 40 + depth_ * 2, 250);
    QColor bottom = QColor::fromHsv(210 + tint_, 110 + depth_ * 4, 200 - depth_ * 2);
    if (!isEnabled()) {
        top = QColor(235, 235, 235);
        bottom = QColor(200, 200, 200);
    } else if (isDown()) {
        std::swap(top, bottom);
    } else if (underMouse()) {
        top = top.lighter(108);
        bottom = bottom.lighter(115);
    }
    QLinearGradient gradient(face.topLeft(), face.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    QPainterPath path;
    path.addRoundedRect(face, 5, 5);
    painter.fillPath(path, gradient);
    painter.setPen(QPen(bottom.darker(140), 1));
    painter.drawPath(path);

    painter.setFont(font());
    painter.setPen(isEnabled() ? QColor(16, 32, 64) : QColor(140, 140, 140));
    const QRectF textRect = isDown() ? face.translated(1, 1) : face;
    if (!scrambled_) {
        painter.drawText(textRect, Qt::AlignCenter, text());
        return;
    }
    UnscrambledText caption(text(), captionOffset_);
    DrawSecretText(painter, textRect, Qt::AlignCenter, caption.view());
}

}  // namespace qorv::widgets
