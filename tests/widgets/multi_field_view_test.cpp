// The multi-field entry dialog's Qt view, driven offscreen the way a person
// uses it: controls found by their control ids, keys clicked, text typed,
// rows chosen with the mouse, on the bank's worked documents.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/utf16.h"
#include "dialogs/multi_field_dialog.h"
#include "support/recorded_messages.h"
#include "widgets/keypad_widget.h"
#include "widgets/multi_field_view.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;
namespace ec = qorv::dialogs::entry_control;

namespace {

std::u16string LoadDocument(const char* name) {
    std::ifstream in(std::string(QORV_DOCUMENTS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return Utf8ToUtf16(text.str());
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
        return answer;
    }
    std::vector<std::u16string> pins;
    int32_t answer = 0;
};

// The model and its view on one document, opened and shown.
struct Harness {
    explicit Harness(const std::u16string& document)
        : model(document, {services, services, services, messages}),
          view(std::make_unique<MultiFieldView>(model, viewMessages)) {
        opened = view->start();
        view->show();
        QApplication::processEvents();
    }
    Services services;
    qorv::testing::RecordedMessages messages;
    qorv::testing::RecordedMessages viewMessages;
    MultiFieldDialog model;
    std::unique_ptr<MultiFieldView> view;
    std::optional<int> opened;

    template <typename T = QWidget>
    T* control(int id) const {
        return view->findChild<T*>(QString::number(id));
    }
    void clickRow(std::size_t row) {
        QTest::mouseClick(control(ec::RowSecureField(row)), Qt::LeftButton);
    }
    void type(const QString& characters) {
        for (QChar c : characters) {
            const int id = view->keypad()->keyIdForCharacter(QString(c));
            QVERIFY2(id >= kFirstKeyId, "no key carries the character");
            QTest::mouseClick(view->keypad()->key(id), Qt::LeftButton);
        }
    }
};

// Every text a window shows or tells assistive technology.
QStringList VisibleTexts(QWidget* root) {
    QStringList texts;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget)) texts << label->text();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) texts << edit->displayText();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << button->text();
        if (auto* field = qobject_cast<CSecureStatic*>(widget)) texts << field->text();
        if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget)) {
            texts << a->text(QAccessible::Name) << a->text(QAccessible::Value);
        }
    }
    return texts;
}

}  // namespace

class MultiFieldViewTest : public QObject {
    Q_OBJECT

  private slots:
    void everyControlCarriesItsControlId() {
        Harness h(LoadDocument("common-account.xml"));
        QVERIFY(!h.opened);
        QVERIFY(h.control<QLabel>(ec::kTitle));
        for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
            QVERIFY(h.control<QLabel>(ec::RowLabel(i)));
            QVERIFY(h.control<CSecureStatic>(ec::RowSecureField(i)));
            QVERIFY(h.control<QComboBox>(ec::RowDropDown(i)));
            QVERIFY(h.control<QLineEdit>(ec::RowEdit(i)));
        }
        for (int id : {ec::kHint, ec::kCountdown}) QVERIFY(h.control<QLabel>(id));
        // The page's title and row names are shown as written, never as markup.
        QCOMPARE(h.control<QLabel>(ec::kTitle)->textFormat(), Qt::PlainText);
        QCOMPARE(h.control<QLabel>(ec::RowLabel(0))->textFormat(), Qt::PlainText);
        for (int id : {ec::kUseKeyboard, ec::kUseKeypad}) QVERIFY(h.control<QRadioButton>(id));
        for (int id : {ec::kOk, ec::kCancel}) QVERIFY(h.control<QPushButton>(id));
        for (int id = kFirstKeyId; id <= kEntryCaseKeyId; ++id)
            QVERIFY2(h.control<ShadedKeyButton>(id), qPrintable(QString::number(id)));
    }

    void theWorkedDocumentShowsFourRowsInAShorterDialog() {
        Harness h(LoadDocument("common-account.xml"));
        QCOMPARE(h.view->height(), MultiFieldLayout(kMaxEntryRows).height - 6 * kEntryRowHeight);
        QCOMPARE(h.view->windowTitle(), QStringLiteral("Qorv銀行 網路ATM"));
        QCOMPARE(h.control<QLabel>(ec::kTitle)->text(), QStringLiteral("常用轉入帳號 - 新增"));
        for (std::size_t i = 4; i < kMaxEntryRows; ++i) {
            QVERIFY(!h.control(ec::RowLabel(i))->isVisible());
            QVERIFY(!h.control(ec::RowSecureField(i))->isVisible());
        }
        auto* banks = h.control<QComboBox>(ec::RowDropDown(0));
        QVERIFY(banks->isVisible());
        QCOMPARE(banks->count(), 3);
        QCOMPARE(banks->currentText(), QStringLiteral("812 Qorv銀行"));
        QVERIFY(h.control(ec::RowSecureField(1))->isVisible());
        QCOMPARE(h.control<QLineEdit>(ec::RowEdit(2))->text(), QStringLiteral("房東 Chen"));
        QVERIFY(!h.control<QPushButton>(ec::kOk)->isEnabled());
        QVERIFY(h.view->tickTimerRunning());
        QVERIFY(!h.control(ec::kCountdown)->isVisible());
    }

    void aPinTypedOnTheKeypadIsCheckedAndNeverShown() {
        Harness h(LoadDocument("common-account.xml"));
        h.clickRow(3);
        QCOMPARE(h.model.activeRow(), std::optional<std::size_t>(3));
        QCOMPARE(h.control<QLabel>(ec::kHint)->text(), QStringLiteral("請使用圖形鍵盤輸入"));
        QVERIFY(h.view->keypad()->key(kFirstKeyId + 10)->isVisible());  // letters too
        h.type(QStringLiteral("135790"));
        auto* field = h.control<CSecureStatic>(ec::RowSecureField(3));
        QCOMPARE(field->text(), QStringLiteral("******"));
        QCOMPARE(field->backgroundColor(), QColor(51, 153, 255));
        for (const QString& text : VisibleTexts(h.view.get()))
            QVERIFY2(!text.contains(QStringLiteral("135790")), qPrintable(text));
        auto* ok = h.control<QPushButton>(ec::kOk);
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(h.view->result(), kOutcomeOk);
        QVERIFY(!h.view->tickTimerRunning());
        QCOMPARE(h.services.pins, std::vector<std::u16string>{u"135790"});
        std::u16string confirmation, joined, hex;
        h.model.ReadResults(confirmation, joined, hex);
        QVERIFY(joined == u"812||0058100098765432||房東 Chen||");
    }

    void choosingTypingAndTheKeyboardRadiosReachTheModel() {
        Harness h(LoadDocument("common-account.xml"));
        auto* banks = h.control<QComboBox>(ec::RowDropDown(0));
        banks->setFocus();
        QApplication::processEvents();
        QCOMPARE(h.model.activeRow(), std::optional<std::size_t>(0));
        QTest::keyClick(banks, Qt::Key_Q);  // typed characters never reach the list
        QCOMPARE(banks->currentIndex(), 1);
        QTest::keyClick(banks, Qt::Key_Down);
        QCOMPARE(h.model.view().rows[0].selectedIndex, 2);

        h.clickRow(1);
        auto* keyboard = h.control<QRadioButton>(ec::kUseKeyboard);
        QVERIFY(keyboard->isVisible());
        QTest::mouseClick(keyboard, Qt::LeftButton);
        auto* accountEdit = h.control<QLineEdit>(ec::RowEdit(1));
        QVERIFY(accountEdit->isVisible());
        QVERIFY(accountEdit->hasFocus());
        QCOMPARE(h.model.entryCount(1), 0u);
        QTest::keyClicks(accountEdit, QStringLiteral("12a34"));  // digits only
        QCOMPARE(h.model.editText(1), std::u16string_view(u"1234"));
        QCOMPARE(h.control<QLabel>(ec::kHint)->text(), QStringLiteral("請使用一般鍵盤輸入"));

        auto* nickname = h.control<QLineEdit>(ec::RowEdit(2));
        nickname->setFocus();
        QApplication::processEvents();
        QCOMPARE(h.model.activeRow(), std::optional<std::size_t>(2));
        nickname->clear();
        QTest::keyClicks(nickname, QStringLiteral("a||b"));
        QCOMPARE(h.model.editText(2), std::u16string_view(u"a|b"));
        QTest::keyClick(nickname, Qt::Key_Return);  // Enter never presses OK
        QVERIFY(h.view->isVisible());
    }

    void reviewModeShowsTheBanksValuesAndTakesOnlyThePin() {
        Harness h(LoadDocument("common-account-review.xml"));
        QVERIFY(!h.opened);
        QVERIFY(h.control<QPushButton>(ec::kOk)->isEnabled());
        for (std::size_t i = 0; i < 3; ++i) {
            auto* field = h.control<CSecureStatic>(ec::RowSecureField(i));
            QVERIFY(field->isVisible());
            QVERIFY(!field->isEnabled());
            QCOMPARE(field->backgroundColor(), QColor(254, 242, 233));
            QVERIFY(!field->text().isEmpty());
            QVERIFY(!h.control(ec::RowDropDown(i))->isVisible());
            QVERIFY(!h.control(ec::RowEdit(i))->isVisible());
        }
        QCOMPARE(h.model.activeRow(), std::optional<std::size_t>(3));
        h.clickRow(1);
        QCOMPARE(h.model.activeRow(), std::optional<std::size_t>(3));
        h.type(QStringLiteral("246802"));
        QTest::mouseClick(h.control<QPushButton>(ec::kOk), Qt::LeftButton);
        QCOMPARE(h.view->result(), kOutcomeOk);
        std::u16string confirmation, joined, hex;
        h.model.ReadResults(confirmation, joined, hex);
        QVERIFY(joined == u"812||0058100098765432||房東 Chen||");
    }

    void cancelEscapeAndTheCountdownEndAsCancelled() {
        {
            Harness h(LoadDocument("common-account.xml"));
            QTest::mouseClick(h.control<QPushButton>(ec::kCancel), Qt::LeftButton);
            QCOMPARE(h.view->result(), kOutcomeCancelled);
            QCOMPARE(h.model.editText(2), std::u16string_view());
        }
        {
            Harness h(LoadDocument("common-account.xml"));
            QTest::keyClick(h.view.get(), Qt::Key_Escape);
            QCOMPARE(h.model.outcome(), std::optional<int>(kOutcomeCancelled));
        }
        {
            Harness h(u"<TimeOut>2</TimeOut>" + LoadDocument("common-account.xml"));
            for (int i = 0; i < 2 * kTicksPerSecond && h.view->isVisible(); ++i) h.view->tick();
            QCOMPARE(h.view->result(), kOutcomeCancelled);
            QCOMPARE(h.messages.messages, std::vector<std::u16string>{kMsgTimedOut});
        }
    }

    void okWithAnEmptyKeypadRowKeepsTheDialogOpenWithoutItsCountdown() {
        Harness h(u"<AtmNode Name=\"帳號\" Type=\"3\" KeyType=\"0\" Default=\"8\"></AtmNode>");
        QTest::mouseClick(h.control<QPushButton>(ec::kOk), Qt::LeftButton);
        QVERIFY(h.view->isVisible());
        QVERIFY(!h.view->tickTimerRunning());
        QCOMPARE(h.messages.messages, std::vector<std::u16string>{u"請輸入第 1 項資料"});
    }

    void anUnreadableDocumentEndsBeforeAnythingShows() {
        qorv::testing::RecordedMessages messages;
        Services services;
        MultiFieldDialog model(std::u16string(), {services, services, services, messages});
        MultiFieldView view(model, messages);
        QCOMPARE(view.run(), kOutcomeCancelled);
        QVERIFY(!view.isVisible());
    }
};

QTEST_MAIN(MultiFieldViewTest)
#include "multi_field_view_test.moc"
