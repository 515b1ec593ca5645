// Key press to repainted secure field: a real mouse click on a key of the
// graphical keypad (through Qt's event delivery, the keypad controller, the
// enciphered slot store and the scrambled display text) until the field has
// painted again. A plain QLineEdit taking a typed character and repainting
// is timed in turn as the reference, so the ratio means something on a busy
// machine. Runs offscreen: the figures are the product's work, not the X
// server's.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include "bench_stats.h"
#include "dialogs/secure_keypad.h"
#include "widgets/entry_bindings.h"
#include "widgets/keypad_widget.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"

namespace {

using qorv::dialogs::EntryField;
using qorv::dialogs::KeypadKind;
using qorv::dialogs::SecureKeypad;
using qorv::widgets::CSecureStatic;
using qorv::widgets::KeypadController;
using qorv::widgets::KeypadWidget;

constexpr int kFieldLength = 16;
constexpr int kPresses = 2000;

// The multi-field dialog's keypad row: a secure field over the keypad.
struct KeypadPanel {
    KeypadPanel() : keypad(KeypadKind::kEntry), window(std::make_unique<QWidget>()) {
        if (keypad.Open(0) != 0) {
            std::fprintf(stderr, "the keypad did not open\n");
            std::exit(1);
        }
        auto* layout = new QVBoxLayout(window.get());
        field = new CSecureStatic(1013, window.get());
        field->setFixedSize(360, 28);
        field->setDisplayOffset(keypad.displayOffset());
        field->setMaxLength(kFieldLength);
        view = new KeypadWidget(KeypadKind::kEntry, window.get());
        layout->addWidget(field);
        layout->addWidget(view);
        entry.setMaxLength(kFieldLength);
        controller = std::make_unique<KeypadController>(keypad, view);
        controller->setActiveField(&entry, field);
        window->show();
        digit = view->key(view->keyIdForCharacter(QStringLiteral("7")));
        clear = view->key(qorv::dialogs::ClearKeyId(KeypadKind::kEntry));
    }

    // One press of a digit key until the field has painted it; every 16th
    // press also clears the full field (too rare to move the median).
    void PressAndRepaint() {
        QTest::mouseClick(digit, Qt::LeftButton);
        field->repaint();
    }

    void ClearIfFull(int press) {
        if (press % kFieldLength == kFieldLength - 1) QTest::mouseClick(clear, Qt::LeftButton);
    }

    SecureKeypad keypad;
    EntryField entry;
    std::unique_ptr<QWidget> window;
    CSecureStatic* field = nullptr;
    KeypadWidget* view = nullptr;
    QPushButton* digit = nullptr;
    QPushButton* clear = nullptr;
    std::unique_ptr<KeypadController> controller;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    KeypadPanel panel;
    QLineEdit plain;
    plain.setMaxLength(kFieldLength);
    plain.show();

    int press = 0;
    const auto medians = qorv::bench::MedianMicrosPaired(
        kPresses,
        [&] {
            panel.PressAndRepaint();
            panel.ClearIfFull(press++);
        },
        [&] {
            if (plain.text().size() >= kFieldLength) plain.clear();
            QTest::keyClick(&plain, Qt::Key_7);
            plain.repaint();
        });

    std::printf("median of %d presses, offscreen; the target is under 2000 us\n", kPresses);
    qorv::bench::PrintRatio("key press to repainted secure field", medians,
                            "typed into a QLineEdit");
    return 0;
}
