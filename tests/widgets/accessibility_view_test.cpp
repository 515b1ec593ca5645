// What a screen reader and a keyboard-only customer get from the views,
// offscreen: secure fields say counts for what is typed and read out the
// values they show; keypad captions never reach the accessibility tree;
// every entry is named and document text is plain; a PIN goes in with Tab,
// typing and Enter alone.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QtTest>
#include <memory>

#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/secure_keypad.h"
#include "dialogs/transfer_account_dialog.h"
#include "widgets/accessible_window.h"
#include "widgets/keypad_widget.h"
#include "widgets/multi_field_view.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"
#include "widgets/transfer_account_view.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;
namespace ec = qorv::dialogs::entry_control;

namespace {

QString Scrambled(const QString& plain, uint32_t offset) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(plain.size()) * 2);
    crypto::Utf16ToBytes(plain.toStdU16String(), bytes.data());
    std::u16string scrambled;
    crypto::ScrambleDisplayText(bytes, offset, scrambled);
    return QString::fromStdU16String(scrambled);
}

// Every text of every node of the accessibility tree under `root`.
void TreeTexts(QAccessibleInterface* node, QStringList& texts, int depth = 0) {
    if (node == nullptr || depth > 40) return;
    for (QAccessible::Text t : {QAccessible::Name, QAccessible::Description, QAccessible::Value,
                                QAccessible::Help, QAccessible::Accelerator})
        texts << node->text(t);
    for (int i = 0; i < node->childCount(); ++i) TreeTexts(node->child(i), texts, depth + 1);
}

struct Services final : FieldDecipher, FieldEncipher, CardPinCheck {
    bool Decipher(std::u16string_view, std::u16string& plain) override {
        plain.clear();
        return false;
    }
    bool Encipher(std::u16string_view plain, std::u16string& hex) override {
        hex = u"HEX" + std::u16string(plain.substr(0, 1));
        return true;
    }
    int32_t VerifyPin(std::u16string_view pin) override {
        pins.emplace_back(pin);
        return 0;
    }
    std::vector<std::u16string> pins;
};

class Messages final : public ConfirmationMessageSink {
  public:
    void ShowMessage(const std::u16string&, const std::u16string&) override {}
};

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) qWarning("the window is not active");
}

// A form whose account and PIN rows start on the ordinary keyboard.
const char16_t kKeyboardForm[] =
    u"<FunType>0</FunType><Caption>Qorv銀行 網路ATM</Caption><Title>常用轉入帳號 - 新增</Title>"
    u"<TimeOut>180</TimeOut><KeyOrder>0</KeyOrder><FoxShow>0</FoxShow>"
    u"<AtmNode Name=\"轉入銀行\" Type=\"0\" KeyType=\"0\" Ciph=\"0\" min=\"0\" "
    u"Default=\"1\">004 臺灣銀行%%004;;812 Qorv銀行%%812;;</AtmNode>"
    u"<AtmNode Name=\"轉入帳號\" Type=\"3\" KeyType=\"5\" Ciph=\"0\" min=\"1\" Default=\"16\"/>"
    u"<AtmNode Name=\"晶片卡密碼\" Type=\"6\" KeyType=\"5\" Ciph=\"0\" min=\"6\" Default=\"12\"/>";

// The multi-field view on that form, up and made accessible as the runner does.
struct KeyboardForm {
    KeyboardForm() : model(kKeyboardForm, {services, services, services, messages}) {
        view = std::make_unique<MultiFieldView>(model, viewMessages);
        if (view->start()) qFatal("the form did not open");
        Activate(*view);
        MakeAccessible(*view);
    }
    // Presses Tab until `target` has the focus; false after a full round.
    bool tabTo(QWidget* target) {
        for (int i = 0; i < 30 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(),
                            Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    }
    template <typename T = QWidget>
    T* control(int id) const {
        return view->findChild<T*>(QString::number(id));
    }
    Services services;
    CollectingMessageSink messages;
    CollectingMessageSink viewMessages;
    MultiFieldDialog model;
    std::unique_ptr<MultiFieldView> view;
};

}  // namespace

class AccessibilityViewTest : public QObject {
    Q_OBJECT

  private slots:
    // Typed characters are a count in the interface's language; a value the
    // page or host supplied is read out, unscrambled, unless shown as asterisks.
    void secureFieldsCountWhatIsTypedAndReadWhatIsShown() {
        constexpr uint32_t kOffset = 11;
        CSecureStatic field(1021);
        field.setDisplayOffset(kOffset);
        const struct {
            bool typed;
            QString text;
            int mode;
            QString spoken;
        } cases[] = {
            {true, QStringLiteral("1"), kModePlainText, QStringLiteral("已輸入 1 個字元")},
            {true, Scrambled(QStringLiteral("90210"), kOffset), kModeCells,
             QStringLiteral("已輸入 5 個字元")},
            {true, QString(), kModeAsterisks, QStringLiteral("已輸入 0 個字元")},
            {false, QStringLiteral("0081234567890123"), kModePlainText,
             QStringLiteral("0081234567890123")},
            {false, Scrambled(QStringLiteral("0058100098765432"), kOffset), kModeCells,
             QStringLiteral("0058100098765432")},
            {false, QStringLiteral("******"), kModeAsterisks, QStringLiteral("已輸入 6 個字元")},
        };
        for (const auto& c : cases) {
            if (c.typed) {
                field.setDisplay(
                    {c.text.toStdU16String(), c.mode,
                     c.mode == kModeCells ? 5u : static_cast<std::size_t>(c.text.size())});
            } else {
                field.setText(c.text, c.mode);
            }
            QCOMPARE(QAccessible::queryAccessibleInterface(&field)->text(QAccessible::Name),
                     c.spoken);
        }
    }

    void keypadCaptionsNeverReachTheAccessibilityTree() {
        for (KeypadKind kind : {KeypadKind::kEntry, KeypadKind::kTransfer}) {
            SecureKeypad keypad(kind);
            QVERIFY(keypad.Open(0) == 0);
            QWidget window;
            auto* keys = new KeypadWidget(kind, &window);
            QVERIFY(keys->relabel(keypad));
            window.show();
            QStringList texts;
            TreeTexts(QAccessible::queryAccessibleInterface(&window), texts);
            QVERIFY(texts.contains(QStringLiteral("虛擬鍵盤按鍵")));
            for (const QString& text : texts) {
                // A caption is one letter or digit; no text of the tree is one.
                QVERIFY2(!(text.size() == 1 && text.at(0).isLetterOrNumber()), qPrintable(text));
                for (ShadedKeyButton* key : keys->characterKeys())
                    for (char16_t c = u'0'; c <= u'z'; ++c)
                        if (key->carries(c) && text.size() <= 2) QVERIFY(!text.contains(QChar(c)));
            }
        }
    }

    // Lists and edits say what they are for; labels never read markup.
    void transferViewNamesEveryEntryAndShowsPlainText() {
        Services services;
        Messages messages;
        CollectingMessageSink filterMessages;
        TransferAccountDialog model(services, services, messages);
        QVERIFY(!model.Open(
            u"<Caption>Qorv銀行 約定轉帳</Caption><KeyType>2</KeyType>"
            u"<AtmNode Name=\"<b>約定</b>\" Type=\"0\" Ciph=\"0\">台灣銀行%%004||12345678901234;;"
            u"</AtmNode><AtmNode Name=\"常用帳號\" Type=\"0\" Ciph=\"0\">媽媽%%812||0001234567;;"
            u"</AtmNode><AtmNode Name=\"其他帳號\" Type=\"0\" Ciph=\"0\">004 臺灣銀行%%004;;"
            u"</AtmNode>"));
        TransferAccountWindow window(model, filterMessages);
        Activate(window);
        for (QWidget* entry : window.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(entry) && !qobject_cast<QComboBox*>(entry)) continue;
            QVERIFY2(!entry->accessibleName().isEmpty(), qPrintable(entry->objectName()));
        }
        QCOMPARE(window.control(transfer_control::kEmailEdit)->accessibleName(),
                 QStringLiteral("Email通知"));
        for (QLabel* label : window.findChildren<QLabel*>())
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    // The rules every run window gets: an unnamed edit takes its label's
    // words, focus leaves an unnamed scroll area for the window, and Enter
    // presses the focused button.
    void runWindowsNameEditsFocusAnnouncedThingsAndTakeEnter() {
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Qorv銀行"));
        auto* grid = new QGridLayout(&dialog);
        auto* scroll = new QScrollArea(&dialog);
        scroll->setFocusPolicy(Qt::StrongFocus);
        grid->addWidget(scroll, 0, 0, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("帳號暱稱："), &dialog), 1, 0);
        auto* nickname = new QLineEdit(&dialog);
        grid->addWidget(nickname, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("別的一行"), &dialog), 2, 0);
        auto* ok = new QPushButton(QStringLiteral("確定"), &dialog);
        ok->setAutoDefault(false);
        grid->addWidget(ok, 3, 1);
        int pressed = 0;
        connect(ok, &QPushButton::clicked, [&pressed] { ++pressed; });
        Activate(dialog);
        scroll->setFocus();
        MakeAccessible(dialog);
        QCOMPARE(nickname->accessibleName(), QStringLiteral("帳號暱稱"));
        QCOMPARE(QApplication::focusWidget(), &dialog);
        QTest::keyClick(nickname, Qt::Key_Return);
        QCOMPARE(pressed, 0);
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Return);
        QCOMPARE(pressed, 1);
    }

    // The ordinary keyboard where the form allows it: Tab reaches every
    // control needed, the PIN is typed, Enter on OK sends it; Escape cancels.
    void aPinGoesInWithTheKeyboardAlone() {
        {
            KeyboardForm form;
            for (int id : {ec::RowDropDown(0), ec::RowEdit(1), ec::RowEdit(2), ec::kCancel})
                QVERIFY2(form.tabTo(form.control(id)), qPrintable(QString::number(id)));
            QCOMPARE(form.control(ec::RowEdit(2))->accessibleName(), QStringLiteral("晶片卡密碼"));
            QVERIFY(form.tabTo(form.control(ec::RowEdit(1))));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0058100098765432"));
            QVERIFY(form.tabTo(form.control(ec::RowEdit(2))));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("123456"));
            QVERIFY(form.tabTo(form.control(ec::kOk)));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(form.model.outcome(), std::optional<int>(kOutcomeOk));
            QCOMPARE(form.services.pins, std::vector<std::u16string>{u"123456"});
        }
        KeyboardForm form;
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.view.get(),
                        Qt::Key_Escape);
        QCOMPARE(form.model.outcome(), std::optional<int>(kOutcomeCancelled));
    }
};

QTEST_MAIN(AccessibilityViewTest)
#include "accessibility_view_test.moc"
