// Short-lived plain forms of scrambled window texts, wiped when they go, and
// drawing of such text without a lasting plain copy.
#pragma once

#include <QRectF>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/qt_text.h"

class QPainter;

namespace qorv::widgets {

// A scrambled window text unscrambled for one use: the bytes and their
// UTF-16 reading, both wiped on destruction. Empty when the text does not
// unscramble under the offset.
class UnscrambledText {
  public:
    UnscrambledText(const QString& scrambled, uint32_t offset);
    ~UnscrambledText();
    UnscrambledText(const UnscrambledText&) = delete;
    UnscrambledText& operator=(const UnscrambledText&) = delete;

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::u16string_view view() const { return text_; }

  private:
    std::vector<uint8_t> bytes_;
    std::u16string text_;
};

// Draws text and wipes the temporary QString the painter needed.
void DrawSecretText(QPainter& painter, const QRectF& rect, int flags, std::u16string_view text);

}  // namespace qorv::widgets
