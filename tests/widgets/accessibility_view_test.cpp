// What a screen reader and a keyboard-only customer get from the views,
// offscreen: typed characters are a count, shown values are read; keypad
// captions never reach the accessibility tree; entries are named and
// document text is plain; a PIN goes in with Tab, typing and Enter alone.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/transfer_account_dialog.h"
#include "widgets/accessible_window.h"
#include "widgets/keypad_widget.h"
#include "widgets/multi_field_view.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/transfer_account_view.h"

using namespace qorv::dialogs;
using namespace qorv::widgets;
namespace ec = qorv::dialogs::entry_control;

namespace {

struct Services final : FieldDecipher, FieldEncipher, CardPinCheck, MessageSink {
    bool Decipher(std::u16string_view, std::u16string&) override { return false; }
    bool Encipher(std::u16string_view, std::u16string& hex) override {
        return !(hex = u"EE").empty();
    }
    int32_t VerifyPin(std::u16string_view pin) override { return pins.emplace_back(pin), 0; }
    using MessageSink::ShowMessage;
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
    std::vector<std::u16string> pins;
};

QString Spoken(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

void Up(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

}  // namespace

class AccessibilityViewTest : public QObject {
    Q_OBJECT

  private slots:
    void secureFieldsCountWhatIsTypedAndReadWhatIsShown() {
        std::vector<uint8_t> bytes(32);
        qorv::crypto::Utf16ToBytes(u"0058100098765432", bytes.data());
        std::u16string scrambled;
        qorv::crypto::ScrambleDisplayText(bytes, 11, scrambled);
        CSecureStatic field(1021);
        field.setDisplayOffset(11);
        field.setDisplay({u"90210", kModePlainText, 5});
        QCOMPARE(Spoken(&field), QStringLiteral("已輸入 5 個字元"));
        const struct {
            QString text;
            int mode;
            QString spoken;
        } shown[] = {{ToQString(scrambled), kModeCells, "0058100098765432"},
                     {"0081234567890123", kModePlainText, "0081234567890123"},
                     {"******", kModeAsterisks, "已輸入 6 個字元"}};
        for (const auto& c : shown) {
            field.setText(c.text, c.mode);
            QCOMPARE(Spoken(&field), c.spoken);
        }
    }

    void keypadCaptionsNeverReachTheAccessibilityTree() {
        SecureKeypad keypad(KeypadKind::kEntry);
        QCOMPARE(keypad.Open(0), 0);
        KeypadWidget keys(KeypadKind::kEntry);
        QVERIFY(keys.relabel(keypad));
        keys.show();
        // Every text of every node; a caption is one letter or digit, and none is.
        std::vector<QAccessibleInterface*> nodes{QAccessible::queryAccessibleInterface(&keys)};
        for (std::size_t n = 0; n < nodes.size(); ++n) {
            for (int i = 0; i < nodes[n]->childCount(); ++i) nodes.push_back(nodes[n]->child(i));
            for (auto t : {QAccessible::Name, QAccessible::Description, QAccessible::Value,
                           QAccessible::Help, QAccessible::Accelerator})
                QVERIFY2(nodes[n]->text(t).size() != 1, qPrintable(nodes[n]->text(t)));
        }
        QCOMPARE(nodes.size(), keys.characterKeys().size() + 4);  // the keypad, 3 function keys
    }

    void transferViewNamesEveryEntryAndShowsPlainText() {
        Services s;
        TransferAccountDialog model(s, s, s);
        QVERIFY(!model.Open(
            u"<Caption>Qorv銀行</Caption><KeyType>2</KeyType><AtmNode Name=\"約定\" "
            u"Type=\"0\" Ciph=\"0\">台灣銀行%%004||12345678901234;;</AtmNode><AtmNode "
            u"Name=\"常用\" Type=\"0\" Ciph=\"0\">媽媽%%812||0001234567;;</AtmNode>"
            u"<AtmNode Name=\"其他\" Type=\"0\" Ciph=\"0\">004 臺灣銀行%%004;;</AtmNode>"));
        TransferAccountWindow window(model, s);
        Up(window);
        for (QWidget* entry : window.findChildren<QWidget*>())
            if (qobject_cast<QLineEdit*>(entry) || qobject_cast<QComboBox*>(entry))
                QVERIFY2(!Spoken(entry).isEmpty(), qPrintable(entry->objectName()));
        QCOMPARE(Spoken(window.control(transfer_control::kEmailEdit)), QStringLiteral("Email通知"));
        // Focus on an unnamed frame moves to the window, announced by its title.
        window.control(transfer_control::kOtherFrame)->setFocus();
        FocusSomethingAnnounced(window);
        QCOMPARE(QApplication::focusWidget(), &window);
        for (QLabel* label : window.findChildren<QLabel*>())
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    // Where the form allows the keyboard: Tab reaches every control needed
    // (named by its row's label), the PIN is typed, Space on OK sends it
    // (Enter presses nothing, so only a deliberate OK confirms); Escape cancels.
    void aPinGoesInWithTheKeyboardAlone() {
        for (const bool cancel : {false, true}) {
            Services s;
            MultiFieldDialog model(
                u"<FunType>0</FunType><Caption>Qorv銀行</Caption><Title>新增</Title><TimeOut>180"
                u"</TimeOut><AtmNode Name=\"轉入銀行\" Type=\"0\" KeyType=\"0\" Ciph=\"0\" "
                u"min=\"0\" Default=\"0\">004 臺灣銀行%%004;;</AtmNode><AtmNode Name=\"轉入帳號\" "
                u"Type=\"3\" "
                u"KeyType=\"5\" Ciph=\"0\" min=\"1\" Default=\"16\"/><AtmNode Name=\"晶片卡密碼\" "
                u"Type=\"6\" KeyType=\"5\" Ciph=\"0\" min=\"6\" Default=\"12\"/>",
                {s, s, s, s});
            MultiFieldView view(model, s);
            QVERIFY(!view.start());
            Up(view);
            MakeAccessible(view);
            const auto tabTo = [&view](int id, const QString& typed = {}) {
                QWidget* target = view.findChild<QWidget*>(QString::number(id));
                for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClicks(target, typed);
                return QApplication::focusWidget() == target;
            };
            QVERIFY(tabTo(ec::RowDropDown(0)) && tabTo(ec::RowEdit(1), "0058100098765432"));
            QVERIFY(tabTo(ec::RowEdit(2), "123456"));
            QCOMPARE(Spoken(QApplication::focusWidget()), QStringLiteral("晶片卡密碼"));
            // Escape from the PIN's digits edit, which once swallowed it.
            QVERIFY(cancel || tabTo(ec::kOk));
            QTest::keyClick(QApplication::focusWidget(), cancel ? Qt::Key_Escape : Qt::Key_Space);
            QCOMPARE(model.outcome(), std::optional<int>(cancel ? kOutcomeCancelled : kOutcomeOk));
            QCOMPARE(s.pins.size(), cancel ? 0u : 1u);
        }
    }
};

QTEST_MAIN(AccessibilityViewTest)
#include "accessibility_view_test.moc"
