// A key of the graphical keypad: a push button drawn with a shaded face.
// A character key keeps only its scrambled caption (its window text is the
// scrambled form) and unscrambles it only while it paints; a function key
// ("更正", "清除", "大/小寫") keeps its plain caption.
#pragma once

#include <QPushButton>
#include <cstdint>

namespace qorv::widgets {

class ShadedKeyButton : public QPushButton {
    Q_OBJECT

  public:
    // objectName is the control id ("1042").
    ShadedKeyButton(int controlId, QWidget* parent = nullptr);

    int controlId() const { return controlId_; }

    // A character key's caption, scrambled under the key's own offset.
    void setScrambledCaption(const QString& scrambled, uint32_t captionOffset);
    // A function key's caption.
    void setPlainCaption(const QString& caption);
    bool hasScrambledCaption() const { return scrambled_; }

    // Whether the caption (unscrambled for the comparison only) is character.
    bool carries(char16_t character) const;

    // Two shading parameters, 0..15 each.
    void setShading(int tint, int depth);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int controlId_;
    bool scrambled_ = false;
    uint32_t captionOffset_ = 0;
    int tint_ = 0;
    int depth_ = 0;
};

}  // namespace qorv::widgets
