// The confirmation dialog's Qt view on the offscreen platform: what it shows
// by control id, OK following the card through both phases, Enter never
// confirming, Cancel, the time-out message boxes, and the whole run through
// the Qt user interface with the scripted person.
#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <thread>

#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/message_sink.h"
#include "widgets/confirmation_view.h"
#include "widgets/person_script.h"
#include "widgets/qt_text.h"
#include "widgets/qt_user_interface.h"
#include "widgets/secure_static.h"

namespace qorv::widgets {
namespace {

using dialogs::CardPresence;
using dialogs::ConfirmationDialog;
using dialogs::ConfirmationRequest;

constexpr char16_t kAccount[] = u"0058100012345678";
constexpr char16_t kTransferIn[] = u"0081234567890123";
constexpr char16_t kAmount[] = u"00000000123400";
constexpr int kAllTicks = dialogs::kConfirmationSeconds * dialogs::kPollsPerSecond;

class ScriptedCard final : public dialogs::CardPresenceProbe {
  public:
    CardPresence Poll() override { return present ? CardPresence::Present : CardPresence::Absent; }
    bool present = true;
};

std::u16string TransferSummary(const std::u16string& extra = {}) {
    return u"<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>" +
           std::u16string(kAccount) + u"</Tag7><Tag10>轉入帳號</Tag10><Tag11>" + kTransferIn +
           u"</Tag11><Tag12>金額</Tag12><Tag13>NT$ 1234</Tag13>" + extra + u"</MSG>";
}

struct Shown {
    explicit Shown(int mode = 3, const std::u16string& extra = {})
        : messages(ui),
          logic(ConfirmationRequest{TransferSummary(extra), kAmount, kAccount, kTransferIn,
                                    static_cast<dialogs::ConfirmationMode>(mode)},
                card, messages) {
        EXPECT_EQ(logic.Open(), std::nullopt);
        window = std::make_unique<ConfirmationWindow>(logic);
    }
    template <typename T = QWidget>
    T* Control(int id) const {
        return window->findChild<T*>(QString::number(id));
    }
    QPushButton* Ok() const { return Control<QPushButton>(1); }
    QString Countdown() const { return Control<QLabel>(1030)->text(); }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) window->tick();
    }
    void TakeOutAndPutBack() {
        card.present = false;
        Ticks(4);
        card.present = true;
        Ticks(1);
    }

    QtUserInterface ui;
    ScriptedCard card;
    dialogs::UserInterfaceMessageSink messages;
    ConfirmationDialog logic;
    std::unique_ptr<ConfirmationWindow> window;
};

std::vector<PersonStep> Script(const char* text) {
    std::vector<PersonStep> steps;
    std::string error;
    EXPECT_TRUE(ParsePersonScript(text, steps, error)) << error;
    return steps;
}

// The host block comes first, above the page's scrolling rows, takes the
// focus with a Chinese name, and wraps a long value instead of cutting it.
TEST(ConfirmationView, HostBlockComesFirstWholeAndFocused) {
    std::u16string rows;
    for (int tag = 14; tag <= 19; ++tag) {
        const std::u16string n{u'1', static_cast<char16_t>(u'0' + tag % 10)};
        rows.append(u"<Tag").append(n).append(u">").append(40, u'長');
        rows.append(u"</Tag").append(n).append(u">");
    }
    Shown s(3, rows);
    s.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.window.get()));
    auto* block = s.window->findChild<QFrame*>(QStringLiteral("hostBlock"));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(block->hasFocus());
    EXPECT_EQ(block->accessibleName(), "交易確認資料");
    EXPECT_TRUE(block->accessibleDescription().contains("新臺幣 1,234.00 元"));
    auto* rowsArea = s.window->findChild<QScrollArea*>();
    ASSERT_NE(rowsArea, nullptr);
    EXPECT_LT(block->mapTo(s.window.get(), QPoint(0, block->height())).y(),
              rowsArea->mapTo(s.window.get(), QPoint(0, 0)).y());
    QStringList values;
    for (QLabel* value : block->findChildren<QLabel*>(QStringLiteral("hostValue"))) {
        values << value->text();
        EXPECT_GE(value->height(), value->heightForWidth(value->width()))
            << value->text().toStdString();
        EXPECT_TRUE(block->rect().contains(value->geometry())) << value->text().toStdString();
    }
    EXPECT_EQ(values,
              QStringList({ToQString(kAccount), ToQString(kTransferIn), "新臺幣 1,234.00 元"}));
}

TEST(ConfirmationView, ShowsTheSummaryByControlIdWithEmptyRowsHiddenAndTheAmountRegrouped) {
    Shown s(3,
            u"<Tag2>請核對</Tag2><Tag16>備註</Tag16><Tag17>房租\n管理費</Tag17>"
            u"<Tag18><b>手續費</b></Tag18>");
    s.window->show();
    ConfirmationWindow& w = *s.window;
    EXPECT_EQ(w.windowTitle(), "Qorv銀行_網路Tellra");
    EXPECT_EQ(s.Control<QLabel>(1011)->text(), "轉帳：確認交易資料");
    EXPECT_EQ(s.Control<QLabel>(1012)->text(), "請核對");
    EXPECT_TRUE(s.Control(1012)->isVisible());
    EXPECT_FALSE(s.Control(1013)->isVisible());
    EXPECT_EQ(s.Control<QLabel>(1017)->text(), ToQString(kAccount));
    EXPECT_EQ(s.Control<QLabel>(1023)->text(), "NT$ 1,234");
    // A row with neither label nor value is hidden, label and value alike.
    EXPECT_FALSE(s.Control(1014)->isVisible());
    EXPECT_FALSE(s.Control(1015)->isVisible());
    EXPECT_TRUE(s.Control(1016)->isVisible());
    // The transfer-in account is in the secure field, drawn whole.
    auto* transferIn = s.Control<CSecureStatic>(1021);
    ASSERT_NE(transferIn, nullptr);
    EXPECT_TRUE(transferIn->isVisible());
    EXPECT_EQ(transferIn->text(), ToQString(kTransferIn));
    EXPECT_EQ(transferIn->mode(), dialogs::kModePlainText);
    auto* note = s.Control<QPlainTextEdit>(1001);
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->isReadOnly());
    EXPECT_EQ(note->toPlainText(), "房租\n管理費");
    // The page's texts are never markup.
    EXPECT_EQ(s.Control<QLabel>(1028)->text(), "<b>手續費</b>");
    EXPECT_EQ(s.Control<QLabel>(1028)->textFormat(), Qt::PlainText);

    EXPECT_EQ(s.Countdown(), ToQString(dialogs::TakeOutAndPutBackMessage(60)));
    EXPECT_FALSE(s.Ok()->isEnabled());
    EXPECT_EQ(s.Ok()->text(), "確定");
    EXPECT_EQ(s.Control<QPushButton>(2)->text(), "取消");
    EXPECT_TRUE(s.Ok()->styleSheet().contains("#feeee2"));
    EXPECT_FALSE(s.Ok()->autoDefault());
    EXPECT_NE(s.Control<CardReaderAnimation>(1036), nullptr);
    EXPECT_TRUE(s.Control<CardReaderAnimation>(1036)->running());
    EXPECT_TRUE(w.tickTimerRunning());
}

TEST(ConfirmationView, WithoutATitleTagTheTemplateTitleStaysAndLongTextsWrapUncut) {
    const std::u16string longDigits(279, u'8');
    ScriptedCard card;
    QtUserInterface ui;
    dialogs::UserInterfaceMessageSink messages(ui);
    ConfirmationDialog logic({u"<Tag4>帳號</Tag4><Tag5>" + longDigits + u"</Tag5>",
                              {},
                              {},
                              {},
                              dialogs::ConfirmationMode::VerifyPinOnPad},
                             card, messages);
    ASSERT_EQ(logic.Open(), std::nullopt);
    ConfirmationWindow w(logic);
    w.show();
    w.tick();
    EXPECT_EQ(w.findChild<QLabel*>("1011")->text(), "繳費：確認交易資料");
    auto* value = w.findChild<QLabel*>("1015");
    EXPECT_EQ(value->text(), ToQString(longDigits));
    // All of it fits inside the window: wrapped, as tall as its lines need.
    EXPECT_GE(value->height(), value->heightForWidth(value->width()));
    EXPECT_GT(value->height(), 3 * value->fontMetrics().height());
    EXPECT_LE(value->mapTo(&w, QPoint(value->width(), 0)).x(), w.width());
    // The longest countdown message fits its label as well.
    card.present = false;
    for (int i = 0; i < 4; ++i) w.tick();
    card.present = true;
    w.tick();
    auto* countdown = w.findChild<QLabel*>("1030");
    EXPECT_TRUE(countdown->text().contains("依讀卡機上顯示指示"));
    EXPECT_GE(countdown->height(), countdown->heightForWidth(countdown->width()));
}

// The guided transfer's processing puts the transfer-in account into the
// secure field scrambled under its own offset: the field holds only the
// scrambled text and unscrambles it with that offset.
class ScrambledTransferIn final : public dialogs::TransferInProcessing {
  public:
    void PrepareDisplay(dialogs::SummaryTags& tags, dialogs::SecureFieldContent& field,
                        dialogs::MessageSink&) override {
        const std::u16string plain = kTransferIn;
        std::vector<uint8_t> bytes(2 * plain.size());
        crypto::Utf16ToBytes(plain, bytes.data());
        field.displayOffset = 17;
        field.mode = dialogs::kModeCells;
        ASSERT_EQ(crypto::ScrambleDisplayText(bytes, field.displayOffset, field.text), 0);
        tags[8] = u"台新國際商業銀行";  // Tag9's place
    }
};

TEST(ConfirmationView, TheGuidedTransferShowsTheTransferInAccountOnlyScrambled) {
    QtUserInterface ui;
    ScriptedCard card;
    dialogs::UserInterfaceMessageSink messages(ui);
    ScrambledTransferIn processing;
    ConfirmationDialog logic({TransferSummary(), kAmount, kAccount, kTransferIn,
                              dialogs::ConfirmationMode::GuidedTransfer},
                             card, messages, &processing);
    ASSERT_EQ(logic.Open(), std::nullopt);
    ConfirmationWindow w(logic);
    w.show();
    auto* field = w.findChild<CSecureStatic*>("1021");
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(field->mode(), dialogs::kModeCells);
    EXPECT_FALSE(field->text().contains(ToQString(kTransferIn)));
    // Unscrambled with the right offset: all 16 characters.
    EXPECT_EQ(field->characterCount(), 16u);
    EXPECT_EQ(w.findChild<QLabel*>("1019")->text(), "台新國際商業銀行");
    for (QLabel* label : w.findChildren<QLabel*>()) {
        EXPECT_FALSE(label->text().contains(ToQString(kTransferIn)))
            << label->objectName().toStdString();
    }
}

TEST(ConfirmationView, OkIsEnabledOnlyOnceTheCardWentOutAndCameBackAndWhileItIsIn) {
    Shown s;
    s.window->show();
    s.Ticks(12);  // three seconds with the card in
    EXPECT_FALSE(s.Ok()->isEnabled());
    QTest::mouseClick(s.Ok(), Qt::LeftButton);
    EXPECT_TRUE(s.window->isVisible());
    EXPECT_EQ(s.Countdown(), ToQString(dialogs::TakeOutAndPutBackMessage(57)));

    s.card.present = false;
    s.Ticks(4);
    EXPECT_FALSE(s.Ok()->isEnabled());
    EXPECT_EQ(s.Countdown(), ToQString(dialogs::PutCardInMessage(56)));
    s.card.present = true;
    s.Ticks(1);
    EXPECT_TRUE(s.Ok()->isEnabled());
    EXPECT_EQ(s.Countdown(), ToQString(dialogs::PressOkMessage(dialogs::PromptGroup::CardPin, 55)));

    // Out again: OK at once disabled, until the card is back.
    s.card.present = false;
    s.Ticks(1);
    EXPECT_FALSE(s.Ok()->isEnabled());
    QTest::mouseClick(s.Ok(), Qt::LeftButton);
    EXPECT_TRUE(s.window->isVisible());
    s.card.present = true;
    s.Ticks(1);
    ASSERT_TRUE(s.Ok()->isEnabled());
    QTest::mouseClick(s.Ok(), Qt::LeftButton);
    EXPECT_FALSE(s.window->isVisible());
    EXPECT_EQ(s.window->result(), dialogs::kConfirmOk);
    EXPECT_EQ(s.logic.outcome(), dialogs::kConfirmOk);
    EXPECT_FALSE(s.window->tickTimerRunning());
}

TEST(ConfirmationView, TheReaderGroupTellsTheCustomerToFollowThePinPad) {
    Shown s(8);
    s.window->show();
    s.TakeOutAndPutBack();
    EXPECT_TRUE(s.Ok()->isEnabled());
    EXPECT_EQ(s.Countdown(), ToQString(dialogs::PressOkMessage(dialogs::PromptGroup::Reader, 58)));
}

TEST(ConfirmationView, EnterNeverConfirmsEscapeAndCancelCancel) {
    Shown s;
    s.window->show();
    s.TakeOutAndPutBack();
    ASSERT_TRUE(s.Ok()->isEnabled());
    s.Ok()->setFocus();
    QTest::keyClick(s.Ok(), Qt::Key_Return);
    QTest::keyClick(s.Ok(), Qt::Key_Enter);
    QTest::keyClick(s.window.get(), Qt::Key_Return);
    QTest::keyClick(s.window.get(), Qt::Key_Enter);
    EXPECT_TRUE(s.window->isVisible());
    EXPECT_EQ(s.logic.outcome(), std::nullopt);

    QTest::keyClick(s.window.get(), Qt::Key_Escape);
    EXPECT_FALSE(s.window->isVisible());
    EXPECT_EQ(s.window->result(), dialogs::kConfirmCancelled);
    EXPECT_EQ(s.logic.outcome(), dialogs::kConfirmCancelled);

    Shown c;
    c.window->show();
    c.Ticks(3);
    QTest::mouseClick(c.Control<QPushButton>(2), Qt::LeftButton);
    EXPECT_FALSE(c.window->isVisible());
    EXPECT_EQ(c.window->result(), dialogs::kConfirmCancelled);
    EXPECT_EQ(c.logic.outcome(), dialogs::kConfirmCancelled);
    EXPECT_FALSE(c.window->tickTimerRunning());
}

// Each time-out: its message box (caption "Qorv銀行") while the dialog is
// still up, then the dialog cancels.
TEST(ConfirmationView, EachTimeOutShowsItsMessageBoxThenCancels) {
    for (const bool cardReturned : {false, true}) {
        Shown s;
        QStringList boxes;
        bool dialogUpDuringBox = false;
        s.ui.runner().SetShownHook([&](QDialog& box) {
            if (auto* message = qobject_cast<QMessageBox*>(&box)) {
                boxes << message->windowTitle() + "|" + message->text();
                dialogUpDuringBox = s.window->isVisible();
            }
            box.done(1);
        });
        s.window->show();
        int ticks = 0;
        if (cardReturned) {
            s.TakeOutAndPutBack();
            ticks = 5;
        }
        for (; ticks < kAllTicks + 8 && s.window->isVisible(); ++ticks) s.window->tick();
        const QString expected =
            QString("Qorv銀行|") +
            ToQString(cardReturned ? dialogs::kConfirmTimeoutText : dialogs::kInsertionTimeoutText);
        EXPECT_EQ(boxes, QStringList{expected}) << cardReturned;
        EXPECT_TRUE(dialogUpDuringBox);
        EXPECT_FALSE(s.window->isVisible());
        EXPECT_EQ(s.window->result(), dialogs::kConfirmCancelled);
        EXPECT_EQ(s.logic.outcome(), dialogs::kConfirmCancelled);
        // 60 seconds of polls: the countdown ran from 59 down past 0.
        EXPECT_GE(ticks, kAllTicks);
    }
}

TEST(ConfirmationRun, TheScriptedPersonPressesOkOnceTheCardCameBack) {
    QtUserInterface ui;
    ScriptedCard card;
    dialogs::UserInterfaceMessageSink messages(ui);
    ConfirmationDialog logic(
        {TransferSummary(), kAmount, kAccount, kTransferIn, dialogs::ConfirmationMode::Transfer},
        card, messages);
    ASSERT_EQ(logic.Open(), std::nullopt);
    ui.SetPerson(std::make_unique<ScriptedPerson>(Script("wait-enabled 1\npress 1\n")));
    // The customer takes the card out and puts it back while the dialog waits.
    QTimer out;
    out.setSingleShot(true);
    QObject::connect(&out, &QTimer::timeout, [&] { card.present = false; });
    QTimer in;
    in.setSingleShot(true);
    QObject::connect(&in, &QTimer::timeout, [&] { card.present = true; });
    out.start(300);
    in.start(900);
    EXPECT_EQ(ui.RunConfirmation(logic), dialogs::kConfirmOk);
    EXPECT_TRUE(ui.person()->finished());
    EXPECT_EQ(ui.person()->failure(), "");
}

TEST(ConfirmationRun, EndsAsCancelledWhenThePageGoesAwayOrFailsItsChecksWithoutShowing) {
    {
        QtUserInterface ui;
        ScriptedCard card;
        dialogs::UserInterfaceMessageSink messages(ui);
        ConfirmationDialog logic({TransferSummary(), kAmount, kAccount, kTransferIn,
                                  dialogs::ConfirmationMode::Transfer},
                                 card, messages);
        std::thread reader;
        ui.runner().SetShownHook([&](QDialog&) { reader = std::thread([&] { ui.InputEnded(); }); });
        EXPECT_EQ(ui.RunConfirmation(logic), dialogs::kConfirmCancelled);
        reader.join();
        // The logic ended too: no further poll of the card.
        EXPECT_EQ(logic.outcome(), dialogs::kConfirmCancelled);
        EXPECT_FALSE(logic.timerRunning());
    }
    {
        QtUserInterface ui;
        ScriptedCard card;
        dialogs::UserInterfaceMessageSink messages(ui);
        ConfirmationDialog logic({TransferSummary(), u"00000000123500", kAccount, kTransferIn,
                                  dialogs::ConfirmationMode::Transfer},
                                 card, messages);
        bool shown = false;
        ui.runner().SetShownHook([&](QDialog& d) {
            shown = true;
            d.done(1);
        });
        EXPECT_EQ(ui.RunConfirmation(logic), dialogs::kConfirmAmountNotInSummary);
        EXPECT_FALSE(shown);
    }
}

}  // namespace
}  // namespace qorv::widgets
