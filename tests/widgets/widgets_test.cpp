// The dialog kit's Qt views, driven offscreen the way a person uses them.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/countdown.h"
#include "dialogs/message_sink.h"
#include "dialogs/secure_keypad.h"
#include "support/recorded_messages.h"
#include "widgets/dialog_view_base.h"
#include "widgets/entry_bindings.h"
#include "widgets/entry_input_filter.h"
#include "widgets/keypad_widget.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;

namespace {

// A keypad with one secure field, as an entry dialog lays them out.
struct Panel {
    explicit Panel(KeypadKind kind, int selector = 0, int displayType = 1)
        : keypad(kind), window(new QWidget) {
        if (keypad.Open(selector) != 0) qFatal("keypad did not open");
        auto* layout = new QVBoxLayout(window.get());
        field = new CSecureStatic(1013, window.get());
        field->setFixedSize(360, 28);
        field->setDisplayOffset(keypad.displayOffset());
        field->setMaxLength(16);
        view = new KeypadWidget(kind, window.get());
        layout->addWidget(field);
        layout->addWidget(view);
        entry.setMaxLength(16);
        entry.setDisplayType(displayType);
        controller = std::make_unique<KeypadController>(keypad, view);
        controller->setActiveField(&entry, field);
        window->show();
    }

    void type(const QString& characters) {
        for (QChar c : characters) {
            const int id = view->keyIdForCharacter(QString(c));
            QVERIFY2(id >= kFirstKeyId, "no key carries the character");
            QTest::mouseClick(view->key(id), Qt::LeftButton);
        }
    }

    QString entered() const {
        std::u16string text;
        keypad.Read(entry, text);
        return ToQString(text);
    }

    SecureKeypad keypad;
    EntryField entry;
    std::unique_ptr<QWidget> window;
    CSecureStatic* field = nullptr;
    KeypadWidget* view = nullptr;
    std::unique_ptr<KeypadController> controller;
};

// Whether any pixel of the widget differs from its background colour.
bool DrewSomething(QWidget* widget, const QColor& background) {
    const QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != background) return true;
    return false;
}

QString ScrambledFor(const QString& plain, uint32_t offset) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(plain.size()) * 2);
    crypto::Utf16ToBytes(TextView(plain), bytes.data());
    std::u16string scrambled;
    crypto::ScrambleDisplayText(bytes, offset, scrambled);
    return ToQString(scrambled);
}

// A dialog view over a model the test sets directly.
class ScriptedView final : public DialogViewBase {
  public:
    ScriptedView() : DialogViewBase(std::chrono::milliseconds(kCountdownTickMs), nullptr) {}
    void startTimer() { startTicking(); }

    std::optional<int> outcome;
    bool counting = true;
    int refreshes = 0;
    std::function<void()> duringTick;

  protected:
    void tickModel() override {
        if (duringTick) duringTick();
    }
    void refreshView() override { ++refreshes; }
    std::optional<int> modelOutcome() const override { return outcome; }
    bool modelCounting() const override { return counting; }
};

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

  private slots:
    void everyKeyEntersTheCharacterItsCaptionShows() {
        Panel panel(KeypadKind::kEntry);
        panel.entry.setMaxLength(36);
        QString expected;
        for (ShadedKeyButton* key : panel.view->characterKeys()) {
            QTest::mouseClick(key, Qt::LeftButton);
            for (char16_t c = u'0'; c <= u'Z'; ++c)
                if (key->carries(c)) expected += QChar(c);
        }
        QCOMPARE(expected.size(), 36);
        QCOMPARE(panel.entered(), expected);
        QCOMPARE(panel.field->characterCount(), std::size_t(36));
    }

    void fixedOrderPutsOneOnTheFirstKey() {
        Panel panel(KeypadKind::kTransfer, 1);
        QCOMPARE(panel.view->keyIdForCharacter(QStringLiteral("1")), 1042);
        QCOMPARE(panel.view->keyIdForCharacter(QStringLiteral("0")), 1051);
        QCOMPARE(panel.view->keyIdForCharacter(QStringLiteral("A")), -1);
        QCOMPARE(panel.view->keyIdForCharacter(QStringLiteral("12")), -1);
    }

    void randomOrderGivesDistinctDigitsAndLetters() {
        Panel panel(KeypadKind::kEntry, 0);
        QSet<int> digitKeys;
        for (char c = '0'; c <= '9'; ++c) {
            const int id = panel.view->keyIdForCharacter(QString(QChar(c)));
            QVERIFY(id >= 1042 && id <= 1051);
            digitKeys.insert(id);
        }
        QCOMPARE(digitKeys.size(), 10);
        QSet<int> letterKeys;
        for (char c = 'A'; c <= 'Z'; ++c) {
            const int id = panel.view->keyIdForCharacter(QString(QChar(c)));
            QVERIFY(id >= 1052 && id <= 1077);
            letterKeys.insert(id);
        }
        QCOMPARE(letterKeys.size(), 26);
    }

    void functionKeysCorrectClearAndSwitchCase() {
        Panel panel(KeypadKind::kEntry);
        panel.type(QStringLiteral("Q7"));
        QTest::mouseClick(panel.view->key(kEntryCorrectionKeyId), Qt::LeftButton);
        QCOMPARE(panel.entered(), QStringLiteral("Q"));
        QTest::mouseClick(panel.view->key(kEntryCaseKeyId), Qt::LeftButton);
        QCOMPARE(panel.view->keyIdForCharacter(QStringLiteral("Q")), -1);
        panel.type(QStringLiteral("q"));
        QCOMPARE(panel.entered(), QStringLiteral("Qq"));
        QTest::mouseClick(panel.view->key(kEntryClearKeyId), Qt::LeftButton);
        QCOMPARE(panel.entered(), QString());
        QVERIFY(panel.field->text().isEmpty());
        QCOMPARE(panel.field->accessibleName(), QStringLiteral("已輸入 0 個字元"));
    }

    void keysCarryTheirControlIdsAsObjectNames() {
        Panel entry(KeypadKind::kEntry);
        QCOMPARE(entry.view->objectName(), QStringLiteral("keypad"));
        for (int id = 1042; id <= 1080; ++id)
            QVERIFY(entry.window->findChild<QPushButton*>(QString::number(id)) != nullptr);
        Panel transfer(KeypadKind::kTransfer);
        QVERIFY(transfer.window->findChild<QPushButton*>(QStringLiteral("1053")) != nullptr);
        QVERIFY(transfer.window->findChild<QPushButton*>(QStringLiteral("1054")) == nullptr);
        QVERIFY(entry.window->findChild<CSecureStatic*>(QStringLiteral("1013")) != nullptr);
    }

    void digitsOnlyRowsHideTheLetterKeys() {
        Panel panel(KeypadKind::kEntry);
        panel.view->setLetterKeysVisible(false);
        QVERIFY(!panel.view->key(1060)->isVisible());
        QVERIFY(!panel.view->key(kEntryCaseKeyId)->isVisible());
        QVERIFY(panel.view->key(1042)->isVisible());
        panel.view->setDigitKeysVisible(false);
        QVERIFY(!panel.view->key(kEntryClearKeyId)->isVisible());
    }

    void secretFieldShowsAsterisks() {
        Panel panel(KeypadKind::kEntry, 0, 3);
        panel.type(QStringLiteral("90210"));
        QCOMPARE(panel.field->text(), QStringLiteral("*****"));
        QCOMPARE(panel.field->mode(), kModeAsterisks);
        QVERIFY(DrewSomething(panel.field, Qt::white));
    }

    void everyModePaintsAndAWrongOffsetPaintsNothing() {
        CSecureStatic field(1015);
        field.resize(300, 30);
        field.setDisplayOffset(7);
        for (int mode : {0, 1, 4, 7}) {
            field.setText(ScrambledFor(QStringLiteral("A1b2"), 7), mode);
            QCOMPARE(field.characterCount(), std::size_t(4));
            QVERIFY2(DrewSomething(&field, Qt::white), qPrintable(QString::number(mode)));
        }
        for (int mode : {3, 5, 6}) {
            field.setText(QStringLiteral("****"), mode);
            QVERIFY(DrewSomething(&field, Qt::white));
        }
        field.setText(ScrambledFor(QStringLiteral("A1b2"), 8), 0);
        QVERIFY(!DrewSomething(&field, Qt::white));
        field.setText(QString(), 0);
        QVERIFY(!DrewSomething(&field, Qt::white));
    }

    void cellsFollowTheRoundedMaximumLength() {
        CSecureStatic field(1013);
        field.resize(340, 20);
        field.setText(QStringLiteral("x"), kModeAsterisks);
        const struct {
            int maxLength;
            int cells;
        } cases[] = {{0, 17}, {15, 17}, {16, 21}, {23, 21}, {24, 25}, {29, 25}, {30, 31}, {40, 41}};
        for (const auto& c : cases) {
            field.setMaxLength(c.maxLength);
            QCOMPARE(field.cellWidth(), 340.0 / c.cells);
        }
        field.setText(QStringLiteral("x"), kModePlainCells);
        QCOMPARE(field.cellWidth(), 340.0 / 31);
    }

    void secureFieldToolTipAndColours() {
        CSecureStatic field(1013);
        QCOMPARE(
            field.toolTip(),
            QStringLiteral("請將滑鼠移至此欄位或使用滑鼠右鍵點擊欲輸入之欄位 , 以顯示動態鍵盤"));
        field.setColors(Qt::white, QColor(51, 153, 255));
        field.resize(100, 20);
        QCOMPARE(field.grab().toImage().pixelColor(50, 2), QColor(51, 153, 255));
    }

    void noEnteredCharacterReachesAnyTextOrTheClipboard() {
        QGuiApplication::clipboard()->clear();
        const QString secret = QStringLiteral("73195428");
        for (int type : {1, 3, 7}) {
            Panel panel(KeypadKind::kEntry, 0, type);
            panel.type(secret);
            QCOMPARE(panel.entered(), secret);
            QList<QWidget*> widgets = panel.window->findChildren<QWidget*>();
            widgets.append(panel.window.get());
            for (QWidget* w : widgets) {
                QStringList texts = {w->toolTip(),        w->windowTitle(),
                                     w->accessibleName(), w->accessibleDescription(),
                                     w->statusTip(),      w->whatsThis()};
                const QVariant property = w->property("text");
                if (property.isValid()) texts << property.toString();
                if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w)) {
                    for (QAccessible::Text t : {QAccessible::Name, QAccessible::Value,
                                                QAccessible::Description, QAccessible::Help})
                        texts << a->text(t);
                }
                for (const QString& text : texts) {
                    QVERIFY2(!text.contains(secret), qPrintable(w->objectName()));
                    QVERIFY2(!text.contains(QStringLiteral("3195")), qPrintable(text));
                }
                if (auto* key = qobject_cast<ShadedKeyButton*>(w);
                    key && key->hasScrambledCaption()) {
                    for (const QString& text : texts)
                        for (char16_t c = u'0'; c <= u'Z'; ++c)
                            if (key->carries(c)) QVERIFY(text != QString(QChar(c)));
                    QCOMPARE(key->accessibleName(), QStringLiteral("虛擬鍵盤按鍵"));
                }
            }
            QCOMPARE(panel.field->accessibleName(), QStringLiteral("已輸入 8 個字元"));
            QVERIFY(!QGuiApplication::clipboard()->text().contains(secret));
        }
    }

    void countdownLabelAppearsAtSixtySeconds() {
        Countdown countdown(62);
        QLabel label;
        label.setObjectName(QStringLiteral("1033"));
        qorv::testing::RecordedMessages messages;
        CountdownController controller(countdown, &label, messages);
        controller.start();
        QVERIFY(controller.timerActive());
        QVERIFY(label.isHidden());
        for (int i = 0; i < 5; ++i) controller.tick();
        QVERIFY(label.isHidden());  // 61 seconds left
        for (int i = 0; i < 5; ++i) controller.tick();
        QVERIFY(!label.isHidden());
        QCOMPARE(label.text(), QStringLiteral(" 60 秒後自動登出"));
        controller.stop();
        for (int i = 0; i < 50; ++i) controller.tick();
        QCOMPARE(label.text(), QStringLiteral(" 60 秒後自動登出"));
    }

    void timeOutShowsItsMessageAndCancels() {
        QDialog dialog;
        auto* label = new QLabel(&dialog);
        Countdown countdown(kDefaultCountdown);
        qorv::testing::RecordedMessages messages;
        CountdownController controller(countdown, label, messages);
        connect(&controller, &CountdownController::expired, &dialog,
                [&dialog] { dialog.done(kOutcomeCancelled); });
        dialog.open();
        controller.start();
        for (int i = 0; i < kDefaultCountdown * kTicksPerSecond - 1; ++i) controller.tick();
        QVERIFY(dialog.isVisible());
        QVERIFY(messages.messages.empty());
        controller.tick();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), kOutcomeCancelled);
        QCOMPARE(messages.messages.size(), std::size_t(1));
        QCOMPARE(ToQString(messages.messages[0]), QStringLiteral("交易時間逾時，請重新執行交易 !"));
        QVERIFY(!controller.timerActive());
    }

    void theRealTimerTicksEveryTwoHundredMilliseconds() {
        Countdown countdown(1);
        qorv::testing::RecordedMessages messages;
        CountdownController controller(countdown, nullptr, messages);
        QSignalSpy spy(&controller, &CountdownController::expired);
        controller.start();
        QVERIFY(spy.wait(3000));
        QCOMPARE(messages.messages.size(), std::size_t(1));
    }

    void aViewEndsOnceWithItsModelsOutcome() {
        const struct {
            bool shown = false;
            std::optional<int> outcome;
            bool counting = false;
            int finishedSignals = 0;
            int result = 0;
        } cases[] = {
            {true, std::nullopt, false, 0, QDialog::Rejected},  // OK stopped the countdown
            {true, kOutcomeCancelled, true, 1, kOutcomeCancelled},
            {false, kOutcomeOk, true, 0, kOutcomeOk},  // a hidden window keeps the result
        };
        for (const auto& c : cases) {
            ScriptedView view;
            QSignalSpy finished(&view, &QDialog::finished);
            if (c.shown) view.show();
            view.startTimer();
            view.outcome = c.outcome;
            view.counting = c.counting;
            view.tick();
            view.tick();  // an ended window is not ended again
            QVERIFY(!view.tickTimerRunning());
            QCOMPARE(finished.count(), c.finishedSignals);
            QCOMPARE(view.result(), c.result);
            QCOMPARE(view.isVisible(), c.shown && !c.outcome);
        }
        // A tick from inside the model's tick (a message box's event loop) is dropped.
        ScriptedView nested;
        nested.duringTick = [&nested] { nested.tick(); };
        nested.tick();
        QCOMPARE(nested.refreshes, 1);
    }

    void automationFindsKeysWithoutCompilingAgainstTheWidget() {
        Panel panel(KeypadKind::kTransfer);
        QObject* keypad = panel.window->findChild<QObject*>(QStringLiteral("keypad"));
        QVERIFY(keypad != nullptr);
        int id = 0;
        QVERIFY(QMetaObject::invokeMethod(keypad, "keyIdForCharacter", Q_RETURN_ARG(int, id),
                                          Q_ARG(QString, QStringLiteral("7"))));
        QVERIFY(panel.view->key(id)->carries(u'7'));
        QTest::mouseClick(panel.window->findChild<QPushButton*>(QString::number(id)),
                          Qt::LeftButton);
        QCOMPARE(panel.entered(), QStringLiteral("7"));
    }

    void aKeyPressRepaintsTheFieldQuickly() {
        Panel panel(KeypadKind::kEntry);
        panel.entry.setMaxLength(48);
        QList<qint64> times;
        for (int i = 0; i < 48; ++i) {
            QElapsedTimer timer;
            timer.start();
            panel.controller->pressKey(1042 + i % 36);
            panel.field->repaint();
            times << timer.nsecsElapsed();
        }
        std::sort(times.begin(), times.end());
        const double medianMs = times[times.size() / 2] / 1e6;
        qInfo("key press to repainted field: median %.3f ms", medianMs);
        QVERIFY(medianMs < 20);  // target 2 ms; generous on a loaded machine
    }

    void digitsOnlyEditsRefuseLettersAndLetteredPastes() {
        QDialog dialog;
        auto* edit = new QLineEdit(&dialog);
        auto* ok = new QPushButton(QStringLiteral("確定"), &dialog);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        qorv::testing::RecordedMessages messages;
        EntryInputFilter filter(messages);
        filter.watchDialog(&dialog);
        filter.watchEdit(edit, EditKind::kEntryDigits, 8);
        dialog.show();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("12a3 4"));
        QCOMPARE(edit->text(), QStringLiteral("1234"));

        QGuiApplication::clipboard()->setText(QStringLiteral("56x7"));
        QTest::keySequence(edit, QKeySequence::Paste);
        QCOMPARE(edit->text(), QStringLiteral("1234"));
        QCOMPARE(messages.messages.size(), std::size_t(1));
        QCOMPARE(ToQString(messages.messages[0]), QStringLiteral("必須為數字"));

        QGuiApplication::clipboard()->setText(QStringLiteral("5678999"));
        QTest::keySequence(edit, QKeySequence::Paste);
        QCOMPARE(edit->text(), QStringLiteral("12345678"));  // the edit's limit
        QCOMPARE(edit->contextMenuPolicy(), Qt::NoContextMenu);

        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter);
        QTest::keyClick(ok, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QGuiApplication::clipboard()->clear();
    }

    void emailEditRefusesDoubledSeparatorsAndForeignCharacters() {
        QWidget window;
        auto* edit = new QLineEdit(&window);
        qorv::testing::RecordedMessages messages;
        EntryInputFilter filter(messages);
        filter.watchEdit(edit, EditKind::kTransferEmail, 150);
        window.show();
        QTest::keyClicks(edit, QStringLiteral("a@@b c;;d$"));
        QCOMPARE(edit->text(), QStringLiteral("a@bc;d"));
        QGuiApplication::clipboard()->setText(QStringLiteral("x@y.tw;z@w.tw"));
        QTest::keySequence(edit, QKeySequence::Paste);
        QCOMPARE(edit->text(), QStringLiteral("a@bc;d"));
        QCOMPARE(ToQString(messages.messages.at(0)), QStringLiteral("必須為EMAIL合法字元"));
        QCOMPARE(edit->maxLength(), 150);
        QGuiApplication::clipboard()->clear();
    }

  private:
    static constexpr int kDefaultCountdown = 180;
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
