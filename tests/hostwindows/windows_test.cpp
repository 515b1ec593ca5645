// The modal runner, the message box, the wait cursor and the scripted person
// on real widgets (Qt's offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <stdexcept>
#include <thread>

#include "widgets/modal_run.h"
#include "widgets/person_script.h"
#include "widgets/qt_user_interface.h"
#include "widgets/scripted_person.h"

namespace qorv::widgets {
namespace {

// A keypad as the dialogs have it: keys named by control identifier, in an
// order only the keypad knows.
class TestKeypad final : public QWidget {
    Q_OBJECT

  public:
    explicit TestKeypad(QWidget* parent) : QWidget(parent) {
        setObjectName("keypad");
        auto* layout = new QVBoxLayout(this);
        const QString order = "3917";  // the key with identifier 1050 + i carries order[i]
        for (int i = 0; i < order.size(); ++i) {
            auto* key = new QPushButton(QString("*"), this);
            key->setObjectName(QString::number(1050 + i));
            const QChar c = order[i];
            connect(key, &QPushButton::clicked, this, [this, c] { pressed += c; });
            layout->addWidget(key);
        }
        order_ = order;
    }
    Q_INVOKABLE int keyIdForCharacter(const QString& c) const {
        const auto at = order_.indexOf(c);
        return at < 0 ? -1 : 1050 + static_cast<int>(at);
    }
    QString pressed;

  private:
    QString order_;
};

// A field that takes no focus and has no button, as a secure field: it notes
// the mouse buttons it sees and whether they landed inside it.
class TestField final : public QWidget {
  public:
    explicit TestField(QWidget* parent) : QWidget(parent) {
        setObjectName("1019");
        setMinimumSize(120, 24);
    }
    QString seen;

  protected:
    void mousePressEvent(QMouseEvent* event) override { note('p', event); }
    void mouseReleaseEvent(QMouseEvent* event) override { note('r', event); }

  private:
    void note(char what, QMouseEvent* event) {
        seen += what;
        if (event->button() != Qt::LeftButton) seen += '?';
        if (!rect().contains(event->position().toPoint())) seen += '!';
    }
};

std::vector<PersonStep> Script(const char* text) {
    std::vector<PersonStep> steps;
    std::string error;
    EXPECT_TRUE(ParsePersonScript(text, steps, error)) << error;
    return steps;
}

TEST(ModalRunner, ShowsTheWindowOnTopModalAndCentredOnThePointersScreen) {
    ModalRunner runner;
    QDialog dialog;
    dialog.resize(200, 100);
    bool shown = false;
    runner.SetShownHook([&](QDialog& d) {
        shown = true;
        EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(d.isModal());
        const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        const QPoint centre = screen->availableGeometry().center();
        EXPECT_LE((d.geometry().center() - centre).manhattanLength(), 2);
        d.done(7);
    });
    EXPECT_EQ(runner.Run(dialog, 2), 7);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ModalRunner, AfterTheEndOfInputNothingIsShown) {
    ModalRunner runner;
    runner.InputEnded();
    QDialog dialog;
    bool shown = false;
    runner.SetShownHook([&](QDialog&) { shown = true; });
    EXPECT_EQ(runner.Run(dialog, 2), 2);
    EXPECT_FALSE(shown);
}

TEST(ModalRunner, TheEndOfInputFromAnotherThreadCancelsTheOpenWindow) {
    ModalRunner runner;
    QDialog dialog;
    std::thread reader;
    runner.SetShownHook([&](QDialog&) { reader = std::thread([&] { runner.InputEnded(); }); });
    EXPECT_EQ(runner.Run(dialog, 2), 2);
    reader.join();
    EXPECT_TRUE(runner.inputEnded());
}

TEST(MessageBox, HasTheCaptionThePlainTextAndOneOkButton) {
    QMessageBox box;
    BuildMessageBox(box, "<b>請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵</b>", "Qorv銀行");
    EXPECT_EQ(box.windowTitle(), "Qorv銀行");
    EXPECT_EQ(box.textFormat(), Qt::PlainText);  // nothing in a text is markup
    ASSERT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.buttons().front()->objectName(), "1");
    EXPECT_EQ(box.buttons().front()->text(), "確定");
    EXPECT_EQ(box.escapeButton(), box.buttons().front());
}

TEST(WaitCursor, SetForTheScopeLiftedWhileAWindowWaitsForAPersonRestoredOnEveryExit) {
    QtUserInterface ui;
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        dialogs::WaitCursorGuard wait(ui);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.SetWaitCursor(true);  // flat: still one override
        bool arrow = false;
        ui.runner().SetShownHook([&](QDialog& box) {
            arrow = QGuiApplication::overrideCursor() == nullptr;
            box.done(1);
        });
        ui.ShowMessage(u"交易時間逾時，請重新執行交易 !", dialogs::kMessageCaption);
        EXPECT_TRUE(arrow);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    try {
        dialogs::WaitCursorGuard wait(ui);
        throw std::runtime_error("card gone");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ScriptedPerson, ActsOnTheRealWidgetsLikeAPerson) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* keypad = new TestKeypad(&dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName("1001");
    auto* list = new QComboBox(&dialog);
    list->setObjectName("1002");
    list->addItems({"0058100012345678", "8120012345678901", "台灣銀行"});
    int activated = -1;
    QObject::connect(list, &QComboBox::activated, [&](int index) { activated = index; });
    auto* ok = new QPushButton("確定", &dialog);
    ok->setObjectName("1");
    ok->setEnabled(false);  // as until the card went out and back in
    QTimer::singleShot(150, ok, [ok] { ok->setEnabled(true); });
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] { dialog.done(1); });
    auto* field = new TestField(&dialog);
    field->setEnabled(false);  // a click waits until the field takes input
    QTimer::singleShot(100, field, [field] { field->setEnabled(true); });
    for (QWidget* w : std::initializer_list<QWidget*>{keypad, edit, list, field, ok})
        layout->addWidget(w);

    ScriptedPerson person(
        Script("click 1019\n"
               "key 7\nkey 3\nkey 7\n"
               "type 1001 Ab 12\n"
               "choose-text 1002 台灣銀行\n"
               "wait 20\n"
               "press 1\n"));
    ModalRunner runner;
    runner.SetShownHook([&](QDialog&) { person.Wake(); });
    EXPECT_EQ(runner.Run(dialog, 2), 1);
    EXPECT_TRUE(person.finished());
    EXPECT_EQ(person.failure(), "");
    EXPECT_EQ(keypad->pressed, "737");
    EXPECT_EQ(edit->text(), "Ab 12");
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(activated, 2);
    EXPECT_EQ(field->seen, "pr");  // one left press and release, inside the field
}

TEST(ScriptedPerson, GivesUpSayingWhereWhenTheKeypadHasNoSuchKey) {
    QDialog dialog;
    new TestKeypad(&dialog);
    ScriptedPerson person(Script("key 3\nkey Z\npress 1\n"));
    ModalRunner runner;
    runner.SetShownHook([&](QDialog& d) {
        person.Wake();
        QTimer::singleShot(300, &d, [&d] { d.done(2); });
    });
    EXPECT_EQ(runner.Run(dialog, 2), 2);
    EXPECT_FALSE(person.finished());
    EXPECT_EQ(person.failure(), "line 2 (key Z): no key carries that character");
}

TEST(ScriptedPerson, ClosesTheWindowInFront) {
    QtUserInterface ui;
    ui.SetPerson(std::make_unique<ScriptedPerson>(Script("wait-enabled 1\nclose\n")));
    ui.ShowMessage(u"超過允許交易時間，取消交易。", dialogs::kMessageCaption);
    EXPECT_TRUE(ui.person()->finished());
}

}  // namespace
}  // namespace qorv::widgets

#include "windows_test.moc"
