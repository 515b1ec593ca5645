#include "widgets/secure_text.h"

#include <QPainter>

#include "base/secure_wipe.h"
#include "crypto/value_protection.h"

namespace qorv::widgets {

UnscrambledText::UnscrambledText(const QString& scrambled, uint32_t offset) {
    if (scrambled.isEmpty() ||
        crypto::UnscrambleDisplayText(TextView(scrambled), offset, bytes_) != 0) {
        SecureWipe(bytes_);
        return;
    }
    // Built in place, so no temporary copy is left behind.
    text_.resize(bytes_.size() / 2);
    for (std::size_t i = 0; i < text_.size(); ++i)
        text_[i] = static_cast<char16_t>(bytes_[2 * i] | (bytes_[2 * i + 1] << 8));
}

UnscrambledText::~UnscrambledText() {
    SecureWipe(bytes_);
    SecureWipe(text_);
}

void DrawSecretText(QPainter& painter, const QRectF& rect, int flags, std::u16string_view text) {
    if (text.empty()) return;
    QString plain(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    for (std::size_t i = 0; i < text.size(); ++i) plain[static_cast<qsizetype>(i)] = QChar(text[i]);
    painter.drawText(rect, flags, plain);
    SecureWipe(plain.data(), static_cast<std::size_t>(plain.size()) * sizeof(QChar));
}

}  // namespace qorv::widgets
