// CSecureStatic: the secure display field of the entry dialogs. Its window
// text is scrambled (or asterisks), and it is unscrambled only while the
// field paints. What the customer types into it (setDisplay) reaches
// assistive technology as a count, never as characters; a value the page or
// the host supplied (setText) is no secret, and a screen reader reads it.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <cstdint>

#include "dialogs/secure_keypad.h"

namespace qorv::widgets {

class CSecureStatic : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text)
    Q_PROPERTY(int mode READ mode)

  public:
    static const char16_t kToolTip[];

    // objectName is the control id ("1013").
    explicit CSecureStatic(int controlId, QWidget* parent = nullptr);

    // What the customer has typed: text and display mode (modes as in
    // dialogs/secure_keypad.h). Accessible name: "已輸入 N 個字元".
    void setDisplay(const dialogs::FieldDisplay& display);
    // A value to show (scrambled under the display offset in the scrambled
    // modes, so set the offset first). Its plain text is the accessible
    // name, except in the asterisks mode, which keeps the count.
    void setText(const QString& text, int mode);
    QString text() const { return text_; }
    int mode() const { return mode_; }
    std::size_t characterCount() const { return length_; }

    void setColors(const QColor& text, const QColor& background);
    QColor textColor() const { return textColor_; }
    QColor backgroundColor() const { return background_; }
    void setFieldFont(const QString& family, int pixelSize, bool bold);
    void setDisplayOffset(uint32_t offset);
    // The field's maximum length, for the cell layout.
    void setMaxLength(int length);
    // Horizontal alignment; Qt::AlignVCenter draws a single centred line
    // (else whole texts wrap at words).
    void setAlignment(Qt::Alignment alignment);

    // Width of one character cell for the current mode and size.
    qreal cellWidth() const;

  signals:
    // A mouse button was released over the field (selects its row).
    void released(Qt::MouseButton button);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void updateAccessibleName(const QString& value = {});
    int textFlags() const;

    QString text_;
    int mode_ = dialogs::kModePlainCells;
    std::size_t length_ = 0;
    QColor textColor_{96, 96, 96};
    QColor background_{Qt::white};
    uint32_t displayOffset_ = 0;
    int maxLength_ = 0;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace qorv::widgets
