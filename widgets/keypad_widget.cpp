#include "widgets/keypad_widget.h"

#include <QGridLayout>

#include "base/secure_wipe.h"
#include "crypto/random.h"
#include "widgets/qt_text.h"
#include "widgets/shaded_key_button.h"

namespace qorv::widgets {
namespace {

using namespace dialogs;

constexpr int kKeySize = 38;
constexpr int kEntryColumns = 14;
constexpr int kTransferColumns = 6;

QFont KeyFont(bool bold) {
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(20);
    font.setBold(bold);
    return font;
}

QFont FunctionKeyFont() {
    QFont font;
    font.setPixelSize(14);
    return font;
}

}  // namespace

KeypadWidget::KeypadWidget(KeypadKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setObjectName(QStringLiteral("keypad"));
    // Its keys move at random and never say their characters: a screen
    // reader learns what it is and which way to enter instead.
    setAccessibleName(QStringLiteral("虛擬鍵盤"));
    setAccessibleDescription(
        QStringLiteral("按鍵位置隨機，不朗讀字元；請以讀卡機的密碼鍵盤或一般鍵盤輸入"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);

    const std::size_t keys = CharacterKeyCount(kind);
    for (std::size_t k = 0; k < keys; ++k) {
        ShadedKeyButton* key = addKey(kFirstKeyId + static_cast<int>(k));
        key->setFont(KeyFont(k < kDigitKeys));
        key->setFixedSize(kKeySize, kKeySize);
        // Shading drawn at random for every key when the keypad opens.
        key->setShading(crypto::RandomByte() % 16, crypto::RandomByte() % 16);
        characterKeys_.push_back(key);
        int row = 0;
        int column = 0;
        if (kind == KeypadKind::kEntry) {
            // Digits on the first row, letters A..M and N..Z below.
            row = k < kDigitKeys ? 0 : 1 + static_cast<int>((k - kDigitKeys) / 13);
            column = k < kDigitKeys ? static_cast<int>(k) : static_cast<int>((k - kDigitKeys) % 13);
        } else {
            row = static_cast<int>(k / 5);
            column = static_cast<int>(k % 5);
        }
        grid->addWidget(key, row, column);
    }

    auto addFunctionKey = [&](int id, const char16_t* caption, int row, int column, int rowSpan,
                              int columnSpan) {
        ShadedKeyButton* key = addKey(id);
        key->setPlainCaption(ToQString(caption));
        key->setFont(FunctionKeyFont());
        key->setShading(crypto::RandomByte() % 16, crypto::RandomByte() % 16);
        key->setMinimumSize(kKeySize, kKeySize);
        key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        functionKeys_.push_back(key);
        grid->addWidget(key, row, column, rowSpan, columnSpan);
    };
    if (kind == KeypadKind::kEntry) {
        addFunctionKey(kEntryCorrectionKeyId, kCorrectionCaption, 0, 10, 1, 2);
        addFunctionKey(kEntryClearKeyId, kClearCaption, 0, 12, 1, 2);
        addFunctionKey(kEntryCaseKeyId, kCaseCaption, 1, 13, 2, 1);
        grid->setColumnMinimumWidth(kEntryColumns - 1, kKeySize + 12);
    } else {
        addFunctionKey(kTransferCorrectionKeyId, kCorrectionCaption, 0, kTransferColumns - 1, 1, 1);
        addFunctionKey(kTransferClearKeyId, kClearCaption, 1, kTransferColumns - 1, 1, 1);
        grid->setColumnMinimumWidth(kTransferColumns - 1, kKeySize + 12);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ShadedKeyButton* KeypadWidget::addKey(int controlId) {
    auto* key = new ShadedKeyButton(controlId, this);
    connect(key, &QPushButton::clicked, this, [this, controlId] { emit keyPressed(controlId); });
    return key;
}

bool KeypadWidget::relabel(const SecureKeypad& keypad) {
    std::vector<std::u16string> captions;
    const bool ok =
        keypad.ScrambledCaptions(captions) == 0 && captions.size() == characterKeys_.size();
    for (std::size_t k = 0; ok && k < characterKeys_.size(); ++k) {
        characterKeys_[k]->setScrambledCaption(ToQString(captions[k]), keypad.captionOffset(k));
    }
    for (std::u16string& caption : captions) SecureWipe(caption);
    return ok;
}

ShadedKeyButton* KeypadWidget::key(int controlId) const {
    for (ShadedKeyButton* key : characterKeys_)
        if (key->controlId() == controlId) return key;
    for (ShadedKeyButton* key : functionKeys_)
        if (key->controlId() == controlId) return key;
    return nullptr;
}

void KeypadWidget::setLetterKeysVisible(bool visible) {
    for (std::size_t k = kDigitKeys; k < characterKeys_.size(); ++k)
        characterKeys_[k]->setVisible(visible);
    if (ShadedKeyButton* caseKey = key(kEntryCaseKeyId)) caseKey->setVisible(visible);
}

void KeypadWidget::setDigitKeysVisible(bool visible) {
    for (std::size_t k = 0; k < kDigitKeys && k < characterKeys_.size(); ++k)
        characterKeys_[k]->setVisible(visible);
    if (ShadedKeyButton* correction = key(CorrectionKeyId(kind_))) correction->setVisible(visible);
    if (ShadedKeyButton* clear = key(ClearKeyId(kind_))) clear->setVisible(visible);
}

int KeypadWidget::keyIdForCharacter(const QString& character) const {
    if (character.size() != 1) return -1;
    const char16_t wanted = character.at(0).unicode();
    for (ShadedKeyButton* key : characterKeys_)
        if (key->carries(wanted)) return key->controlId();
    return -1;
}

}  // namespace qorv::widgets
