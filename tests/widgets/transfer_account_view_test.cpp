// The transfer account dialog's Qt view driven offscreen as a person uses
// it: every control found by its id, the keypad switching to another
// account, the common list filling the e-mail edit, the typed and pasted
// account and e-mail with their filters, OK, cancel and the countdown.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/message_sink.h"
#include "dialogs/transfer_account_dialog.h"
#include "support/recorded_messages.h"
#include "widgets/keypad_widget.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"
#include "widgets/transfer_account_view.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;
namespace id = qorv::dialogs::transfer_control;

namespace {

class PlainDecipher final : public FieldDecipher {
  public:
    bool Decipher(std::u16string_view, std::u16string& plain) override {
        plain.clear();
        return false;
    }
};

class RecordingEncipher final : public FieldEncipher {
  public:
    bool Encipher(std::u16string_view plain, std::u16string& hex) override {
        hex = u"ENC";
        inputs.emplace_back(plain);
        return true;
    }
    std::vector<std::u16string> inputs;
};

std::u16string Document(int keyType, const char16_t* extra = u"") {
    std::u16string type = u"0";
    type[0] = static_cast<char16_t>(u'0' + keyType);
    return u"<Caption>Qorv銀行 約定轉帳</Caption><KeyType>" + type + u"</KeyType>" + extra +
           u"<AtmNode Name=\"約定帳號\" Type=\"0\" Ciph=\"0\">台灣銀行-薪轉%%004||12345678901234;;"
           u"</AtmNode><AtmNode Name=\"常用帳號\" Type=\"0\" Ciph=\"0\">媽媽%%812||0001234567$$"
           u"mom@mail.tw;;房東%%700||00012345678901;;</AtmNode><AtmNode Name=\"其他帳號\" "
           u"Type=\"0\" Ciph=\"0\">004 臺灣銀行%%004;;812 台新銀行%%812;;</AtmNode>";
}

struct Harness {
    explicit Harness(int keyType, const char16_t* extra = u"")
        : model(decipher, encipher, messages) {
        if (model.Open(Document(keyType, extra))) qFatal("the document did not open");
        window = std::make_unique<TransferAccountWindow>(model, filterMessages);
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("the window is not active");
    }
    template <typename W>
    W* find(int controlId) const {
        return qobject_cast<W*>(window->control(controlId));
    }
    void click(int controlId) const {
        QWidget* widget = window->control(controlId);
        QVERIFY2(widget != nullptr, "no such control");
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }

    PlainDecipher decipher;
    RecordingEncipher encipher;
    qorv::testing::RecordedMessages messages;
    qorv::testing::RecordedMessages filterMessages;
    TransferAccountDialog model;
    std::unique_ptr<TransferAccountWindow> window;
};

}  // namespace

class TransferAccountViewTest : public QObject {
    Q_OBJECT

  private slots:
    void everyControlCarriesItsId() {
        Harness h(3);
        const int ids[] = {1,    2,    1001, 1002, 1011, 1012, 1013, 1014, 1015,
                           1016, 1017, 1018, 1037, 1038, 1039, 1040, 1041, 1042,
                           1051, 1052, 1053, 1081, 1091, 1092, 1093};
        for (int controlId : ids) {
            QWidget* widget = h.window->control(controlId);
            QVERIFY2(widget != nullptr, qPrintable(QString::number(controlId)));
            QCOMPARE(widget->objectName(), QString::number(controlId));
        }
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Qorv銀行 約定轉帳"));
        QCOMPARE(h.find<QRadioButton>(id::kCommonRadio)->text(), QStringLiteral("常用帳號"));
        QCOMPARE(h.find<QComboBox>(id::kBankList)->count(), 2);
        QCOMPARE(h.find<QComboBox>(id::kBankList)->itemText(1), QStringLiteral("812 台新銀行"));
        QVERIFY(h.find<QRadioButton>(id::kKeypadRadio)->isVisible());
        QVERIFY(!h.find<QRadioButton>(id::kKeypadRadio)->isEnabled());
        QVERIFY(!h.find<QLabel>(id::kCountdown)->isVisible());
    }

    void aKeypadDigitSelectsAnotherAccountAndOkBuildsIt() {
        Harness h(1);
        QVERIFY(!h.find<QRadioButton>(id::kKeypadRadio)->isVisible());
        QVERIFY(h.find<QRadioButton>(id::kAgreedRadio)->isChecked());
        QVERIFY(!h.find<QLineEdit>(id::kAccountEdit)->isVisible());
        // Six digits: the field's window text is Base64 of the scrambled
        // entry, where two given digits turn up by chance once in ~400 runs.
        for (const char* digit : {"4", "2", "7", "1", "9", "0"}) {
            const int key = h.window->keypad()->keyIdForCharacter(QString::fromLatin1(digit));
            QVERIFY(key >= kFirstKeyId);
            QTest::mouseClick(h.window->keypad()->key(key), Qt::LeftButton);
        }
        QVERIFY(h.find<QRadioButton>(id::kOtherRadio)->isChecked());
        QVERIFY(!h.find<QRadioButton>(id::kAgreedRadio)->isChecked());
        auto* field = h.find<CSecureStatic>(id::kKeypadField);
        QCOMPARE(field->characterCount(), std::size_t{6});
        QVERIFY(!field->text().contains(QStringLiteral("427190")));
        QVERIFY(!QAccessible::queryAccessibleInterface(field)
                     ->text(QAccessible::Name)
                     .contains(QStringLiteral("427190")));

        h.find<QComboBox>(id::kBankList)->setFocus();
        QTest::keyClick(h.find<QComboBox>(id::kBankList), Qt::Key_Down);
        h.click(id::kAddToCommon);
        QVERIFY(h.find<QCheckBox>(id::kAddToCommon)->isChecked());
        QTest::mouseClick(h.find<QPushButton>(id::kOk), Qt::LeftButton);
        QCOMPARE(h.window->result(), kOutcomeOk);
        QCOMPARE(ToQString(h.model.transferValues()), QStringLiteral("812||427190||3||2523||"));
        QCOMPARE(h.encipher.inputs.size(), std::size_t{2});
    }

    void theCommonListFillsTheEmailEdit() {
        Harness h(1);
        h.click(id::kCommonRadio);
        QVERIFY(h.find<QRadioButton>(id::kCommonRadio)->isChecked());
        QCOMPARE(h.find<QLineEdit>(id::kEmailEdit)->text(), QStringLiteral("mom@mail.tw"));
        auto* common = h.find<QComboBox>(id::kCommonList);
        common->setFocus();
        QTest::keyClick(common, Qt::Key_Down);
        QCOMPARE(h.find<QLineEdit>(id::kEmailEdit)->text(), QString());
        // Typed addresses pass the e-mail filter.
        QTest::keyClicks(h.find<QLineEdit>(id::kEmailEdit), QStringLiteral("a b@@c"));
        QCOMPARE(h.find<QLineEdit>(id::kEmailEdit)->text(), QStringLiteral("ab@c"));
        QTest::mouseClick(h.find<QPushButton>(id::kOk), Qt::LeftButton);
        QCOMPARE(ToQString(h.model.transferValues()),
                 QStringLiteral("700||00012345678901||1||2523||ab@c||"));
    }

    void theTypedAccountIsFilteredAndFollowsTheOkRules() {
        Harness h(5);
        auto* edit = h.find<QLineEdit>(id::kAccountEdit);
        QVERIFY(edit->isVisible());
        QVERIFY(!h.window->keypad()->isVisible());
        QVERIFY(h.find<QRadioButton>(id::kAgreedRadio)->isChecked());  // no focus taken at start
        edit->setFocus();
        QVERIFY(h.find<QRadioButton>(id::kOtherRadio)->isChecked());
        QTest::keyClicks(edit, QStringLiteral("12a3"));
        QCOMPARE(edit->text(), QStringLiteral("123"));
        QVERIFY(h.find<QPushButton>(id::kOk)->isEnabled());
        QTest::keyClick(edit, Qt::Key_Return);  // Enter never presses OK
        QVERIFY(h.window->isVisible());
        for (int i = 0; i < 3; ++i) QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(!h.find<QPushButton>(id::kOk)->isEnabled());
        QTest::keyClicks(edit, QStringLiteral("987654321"));
        QVERIFY(h.find<QPushButton>(id::kOk)->isEnabled());
        // Back to the keypad and again to the keyboard: the edit starts empty.
        h.click(id::kKeypadRadio);
        QVERIFY(h.window->keypad()->isVisible());
        QVERIFY(!edit->isVisible());
        h.click(id::kKeyboardRadio);
        QCOMPARE(edit->text(), QString());
        QVERIFY(edit->hasFocus());
        QTest::keyClicks(edit, QStringLiteral("987654321"));
        QTest::mouseClick(h.find<QPushButton>(id::kOk), Qt::LeftButton);
        QCOMPARE(h.window->result(), kOutcomeOk);
        const std::u16string record = h.model.TakeAccountRecord();
        QCOMPARE(ToQString(record.substr(0, 17)), QStringLiteral("00000009876543212"));
    }

    // Only what the account and e-mail edits let through from the keyboard
    // and the clipboard reaches the logic: a refused key or paste changes
    // neither the text nor OK.
    void theEditsPassOnlyWhatTheirFiltersTake() {
        const std::string full(16, '1');
        const struct {
            int edit;
            bool okEnabled;         // checked for the account edit
            std::string typed;      // '\b' is backspace
            std::string clipboard;  // pasted after typing when not empty
            std::string expected;
            const char16_t* message;  // the refused paste's message
        } cases[] = {
            {id::kAccountEdit, false, "1\bx", "", "", nullptr},
            {id::kAccountEdit, true, "12\b", "", "1", nullptr},
            {id::kAccountEdit, true, full + "7", "", full, nullptr},
            {id::kAccountEdit, false, "\b", "45x6", "", kMsgMustBeDigits},
            {id::kAccountEdit, true, "123", "45678901234567890", "1234567890123456", nullptr},
            {id::kEmailEdit, false, "a@b", "x@y.z;w@v.u", "a@b", kMsgMustBeEmailCharacters},
            {id::kEmailEdit, false, "a@b", "x y", "a@b", kMsgMustBeEmailCharacters},
            {id::kEmailEdit, false, "a@b;", "x@y.z", "a@b;x@y.z", nullptr},
            {id::kEmailEdit, false, std::string(149, 'a'), "ddd", std::string(149, 'a') + "d",
             nullptr},
        };
        for (const auto& c : cases) {
            Harness h(5);
            auto* edit = h.find<QLineEdit>(c.edit);
            edit->setFocus();
            for (char key : c.typed) {
                if (key == '\b') {
                    QTest::keyClick(edit, Qt::Key_Backspace);
                } else {
                    QTest::keyClicks(edit, QString(QChar::fromLatin1(key)));
                }
            }
            if (!c.clipboard.empty()) {
                QGuiApplication::clipboard()->setText(QString::fromStdString(c.clipboard));
                QTest::keySequence(edit, QKeySequence::Paste);
            }
            const QString expected = QString::fromStdString(c.expected);
            QCOMPARE(edit->text(), expected);
            QCOMPARE(ToQString(h.model.view().TextOf(c.edit)), expected);
            if (c.edit == id::kAccountEdit)
                QCOMPARE(h.find<QPushButton>(id::kOk)->isEnabled(), c.okEnabled);
            const auto messages = c.message != nullptr ? std::vector<std::u16string>{c.message}
                                                       : std::vector<std::u16string>{};
            QCOMPARE(h.filterMessages.messages, messages);
        }
        QGuiApplication::clipboard()->clear();
    }

    void cancelAndTheCountdownEndTheDialogAsCancelled() {
        Harness cancelled(1);
        QTest::mouseClick(cancelled.find<QPushButton>(id::kCancel), Qt::LeftButton);
        QCOMPARE(cancelled.window->result(), kOutcomeCancelled);
        QVERIFY(!cancelled.window->tickTimerRunning());
        QVERIFY(cancelled.encipher.inputs.empty());

        Harness timed(1, u"<TimeOut>2</TimeOut>");
        QVERIFY(timed.window->tickTimerRunning());
        for (int i = 0; i < kTicksPerSecond; ++i) timed.window->tick();
        QVERIFY(timed.find<QLabel>(id::kCountdown)->isVisible());
        QCOMPARE(timed.find<QLabel>(id::kCountdown)->text(), QStringLiteral("  1 秒後自動登出"));
        for (int i = 0; i < kTicksPerSecond; ++i) timed.window->tick();
        QCOMPARE(timed.window->result(), kOutcomeCancelled);
        QVERIFY(!timed.window->isVisible());
        QCOMPARE(timed.messages.messages.size(), std::size_t{1});
        QCOMPARE(ToQString(timed.messages.messages[0]),
                 QStringLiteral("交易時間逾時，請重新執行交易 !"));
    }

    void runningTheWindowReturnsTheOutcome() {
        PlainDecipher decipher;
        RecordingEncipher encipher;
        qorv::testing::RecordedMessages messages;
        qorv::testing::RecordedMessages filterMessages;
        TransferAccountDialog model(decipher, encipher, messages);
        QVERIFY(!model.Open(Document(1)));
        QTimer::singleShot(0, [] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* ok = top->findChild<QPushButton*>(QStringLiteral("1"));
                    ok != nullptr && top->isVisible())
                    QTest::mouseClick(ok, Qt::LeftButton);
            }
        });
        QCOMPARE(RunTransferAccountWindow(model, filterMessages), kOutcomeOk);
        QCOMPARE(ToQString(model.transferValues()),
                 QStringLiteral("004||12345678901234||0||2523||"));
    }
};

QTEST_MAIN(TransferAccountViewTest)
#include "transfer_account_view_test.moc"
