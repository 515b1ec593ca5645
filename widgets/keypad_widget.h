// The graphical keypad of an entry dialog: the shaded character keys (ids
// 1042..) in their template places and the function keys. The keys show the
// captions that the dialog's SecureKeypad gives them; a key press is passed
// on by control id. objectName "keypad".
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "dialogs/secure_keypad.h"

namespace qorv::widgets {

class ShadedKeyButton;

class KeypadWidget : public QWidget {
    Q_OBJECT

  public:
    explicit KeypadWidget(dialogs::KeypadKind kind, QWidget* parent = nullptr);

    dialogs::KeypadKind kind() const { return kind_; }

    // Sets every character key's scrambled caption from the keypad (after it
    // opened, and again after the case key). false when a caption failed.
    bool relabel(const dialogs::SecureKeypad& keypad);

    // The key with that control id, or nullptr.
    ShadedKeyButton* key(int controlId) const;
    const std::vector<ShadedKeyButton*>& characterKeys() const { return characterKeys_; }

    // Rows that take digits only hide the letter keys and the case key; the
    // keyboard choice hides the digit keys with correction and clear.
    void setLetterKeysVisible(bool visible);
    void setDigitKeysVisible(bool visible);

    // For automation: the control id of the key that now carries character
    // (one character), -1 when no key does.
    Q_INVOKABLE int keyIdForCharacter(const QString& character) const;

  signals:
    void keyPressed(int controlId);

  private:
    ShadedKeyButton* addKey(int controlId);

    dialogs::KeypadKind kind_;
    std::vector<ShadedKeyButton*> characterKeys_;
    std::vector<ShadedKeyButton*> functionKeys_;
};

}  // namespace qorv::widgets
