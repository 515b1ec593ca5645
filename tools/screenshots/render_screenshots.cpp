// Renders the dialog kit's widgets offscreen into PNG files, for the
// README's pictures: qorv-widget-screenshots <output folder>.
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/utf16.h"
#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/countdown.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/secure_keypad.h"
#include "tools/screenshots/picture_output.h"
#include "widgets/confirmation_view.h"
#include "widgets/entry_bindings.h"
#include "widgets/keypad_widget.h"
#include "widgets/multi_field_view.h"
#include "widgets/qt_text.h"
#include "widgets/secure_static.h"
#include "widgets/shaded_key_button.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;

namespace {

using screenshots::WritePicture;
using screenshots::WriteWindow;

bool Save(QWidget& widget, const QDir& dir, const QString& name) {
    widget.adjustSize();
    return WriteWindow(widget, dir, name);
}

// Enters text into a field as key presses would.
void Fill(const SecureKeypad& keypad, EntryField& entry, CSecureStatic* field,
          const char16_t* text) {
    FieldDisplay display;
    for (const char16_t* c = text; *c != 0; ++c) keypad.Append(entry, *c, display);
    field->setDisplay(display);
}

QLabel* Hint(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: red"));
    return label;
}

// The multi-field dialog's outside world for a picture: plain documents, a
// card that takes any PIN, messages on standard error.
struct PictureServices final : FieldDecipher, FieldEncipher, CardPinCheck, MessageSink {
    bool Decipher(std::u16string_view, std::u16string& plain) override {
        plain.clear();
        return false;
    }
    bool Encipher(std::u16string_view, std::u16string& hex) override {
        hex.clear();
        return false;
    }
    int32_t VerifyPin(std::u16string_view) override { return 0; }
    using MessageSink::ShowMessage;
    void ShowMessage(std::u16string_view text, std::u16string_view) override {
        std::fprintf(stderr, "%s\n", Utf16ToUtf8(text).c_str());
    }
};

std::u16string LoadDocument(const char* name) {
    std::ifstream in(std::string(QORV_DOCUMENTS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return Utf8ToUtf16(text.str());
}

// The multi-field dialog on a worked document; `prepare` enters values.
template <typename Prepare>
bool SaveMultiField(const QDir& dir, const char* document, const QString& name, Prepare prepare) {
    PictureServices services;
    MultiFieldDialog model(LoadDocument(document), {services, services, services, services});
    MultiFieldView view(model, services);
    if (view.start()) {
        std::fprintf(stderr, "%s did not open\n", document);
        return false;
    }
    prepare(model, view);
    return WriteWindow(view, dir, name);
}

// A left-button release over the middle of a row, as the dialog receives it.
void Release(QWidget& view, const Rect& rect) {
    const QPointF at(QPoint(rect.x + rect.width / 2, rect.y + rect.height / 2));
    QMouseEvent release(QEvent::MouseButtonRelease, at, view.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &release);
}

// Presses the keys that now carry the characters.
void PressKeys(MultiFieldView& view, const QString& characters) {
    for (QChar c : characters) {
        const int id = view.keypad()->keyIdForCharacter(QString(c));
        if (id >= 0) view.keypad()->key(id)->click();
    }
}

// A window with a plain title bar above it (offscreen windows have none),
// so the picture shows the caption too.
bool SaveWindow(QWidget& window, const QDir& dir, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QPixmap body = window.grab();
    constexpr int kBar = 30;
    QPixmap picture(body.width() + 2, body.height() + kBar + 1);
    picture.fill(QColor(0x9a, 0xa4, 0xb2));
    QPainter painter(&picture);
    painter.fillRect(QRect(1, 1, body.width(), kBar - 1), QColor(0x2d, 0x4a, 0x78));
    QFont font(QStringLiteral("Noto Sans CJK TC"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(12, 1, body.width() - 24, kBar - 1), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(1, kBar, body);
    painter.end();
    return WritePicture(picture, dir, name);
}

// The card in the reader, as the picture needs it.
class PictureCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override { return present ? CardPresence::Present : CardPresence::Absent; }
    bool present = true;
};

// A confirmation of `request`, some seconds in; in the second phase once the
// card went out and came back.
bool SaveConfirmationOf(const QDir& dir, ConfirmationRequest request, bool secondPhase,
                        const QString& name) {
    PictureCard card;
    PictureServices messages;
    ConfirmationDialog logic(std::move(request), card, messages);
    if (logic.Open()) return false;
    ConfirmationWindow window(logic);
    // Three seconds with the card in; then out for a second and back in.
    for (int i = 0; i < 12; ++i) window.tick();
    if (secondPhase) {
        card.present = false;
        for (int i = 0; i < 4; ++i) window.tick();
        card.present = true;
        for (int i = 0; i < 8; ++i) window.tick();
    }
    auto* picture = window.findChild<CardReaderAnimation*>();
    window.show();
    QApplication::processEvents();
    if (picture != nullptr) picture->setFrame(secondPhase ? 0 : CardReaderAnimation::kFrames / 2);
    return SaveWindow(window, dir, name);
}

// The confirmation dialog for a transfer in `mode`.
bool SaveConfirmation(const QDir& dir, ConfirmationMode mode, bool secondPhase,
                      const QString& name) {
    const bool pinPad = RuleForConfirmationMode(mode).group == PromptGroup::Reader;
    std::u16string summary =
        u"<MSG><Tag1>轉帳：確認交易資料</Tag1>"
        u"<Tag2>請核對下列交易資料，確認無誤後依畫面指示操作。</Tag2>"
        u"<Tag6>轉出帳號</Tag6><Tag7>0058100012345678</Tag7>"
        u"<Tag8>轉入銀行</Tag8><Tag9>812 台新國際商業銀行</Tag9>"
        u"<Tag10>轉入帳號</Tag10><Tag11>0081234567890123</Tag11>"
        u"<Tag12>轉帳金額</Tag12><Tag13>新臺幣 1234567.00 元</Tag13>"
        u"<Tag14>手續費</Tag14><Tag15>新臺幣 15 元</Tag15>"
        u"<Tag16>備註</Tag16><Tag17>十二月房租\n（含管理費）</Tag17>";
    summary += pinPad ? u"<Tag3>密碼請於讀卡機的按鍵上輸入。</Tag3></MSG>" : u"</MSG>";
    return SaveConfirmationOf(
        dir, {summary, u"00000123456700", u"0058100012345678", u"0081234567890123", mode},
        secondPhase, name);
}

// A withdrawal, and the common-account entry's form rows as data.
bool SaveOtherConfirmations(const QDir& dir) {
    bool ok = SaveConfirmationOf(
        dir,
        {u"<MSG><Tag1>提款：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>0058100012345678</Tag7>"
         u"<Tag12>提款金額</Tag12><Tag13>20000</Tag13></MSG>",
         u"00000002000000", u"0058100012345678", std::nullopt, ConfirmationMode::Withdraw},
        false, QStringLiteral("confirm-withdraw.png"));
    ConfirmationRequest common;
    common.mode = ConfirmationMode::PinInForm;
    common.title = u"新增常用帳號";
    common.message = u"<Tag2>※請核常用帳號資料，並依畫面指示進行操作。</Tag2>";
    common.produced = {{u"轉入銀行", u"822 中國信託", HostValueKind::Other, {}},
                       {u"轉入帳號", u"0058100098765432", HostValueKind::Other, {}},
                       {u"帳號暱稱", u"房東 Chen", HostValueKind::Other, {}}};
    ok &= SaveConfirmationOf(dir, common, true, QStringLiteral("confirm-common-account.png"));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::optional<QDir> output = qorv::screenshots::OutputFolder(argc, argv);
    if (!output) return 2;
    const QDir& dir = *output;
    bool ok = true;

    // The multi-field keypad with an entry row above it.
    {
        SecureKeypad keypad(KeypadKind::kEntry);
        if (keypad.Open(0) != 0) return 1;
        QFrame window;
        window.setObjectName(QStringLiteral("keypad-entry"));
        window.setStyleSheet(QStringLiteral("QFrame#keypad-entry { background: #f4f6fa; }"));
        auto* layout = new QVBoxLayout(&window);
        auto* row = new QHBoxLayout;
        auto* name = new QLabel(QStringLiteral("轉入帳號"), &window);
        name->setObjectName(QStringLiteral("1012"));
        auto* field = new CSecureStatic(1013, &window);
        field->setFixedSize(300, 26);
        field->setDisplayOffset(keypad.displayOffset());
        field->setMaxLength(16);
        field->setColors(Qt::white, QColor(51, 153, 255));
        EntryField entry;
        entry.setMaxLength(16);
        Fill(keypad, entry, field, u"0123456789");
        row->addWidget(name);
        row->addWidget(field);
        row->addStretch();
        layout->addLayout(row);
        layout->addWidget(Hint(QStringLiteral("請使用圖形鍵盤輸入"), &window));
        auto* view = new KeypadWidget(KeypadKind::kEntry, &window);
        view->relabel(keypad);
        layout->addWidget(view);
        auto* countdown = new QLabel(ToQString(CountdownLabel(60)), &window);
        countdown->setObjectName(QStringLiteral("1033"));
        layout->addWidget(countdown);
        ok &= Save(window, dir, QStringLiteral("keypad-entry.png"));
    }

    // The transfer account keypad.
    {
        SecureKeypad keypad(KeypadKind::kTransfer);
        if (keypad.Open(0) != 0) return 1;
        QFrame window;
        auto* layout = new QVBoxLayout(&window);
        auto* field = new CSecureStatic(1015, &window);
        field->setFixedSize(260, 26);
        field->setDisplayOffset(keypad.displayOffset());
        field->setMaxLength(16);
        EntryField entry;
        entry.setMaxLength(16);
        Fill(keypad, entry, field, u"00123456789");
        layout->addWidget(field);
        auto* view = new KeypadWidget(KeypadKind::kTransfer, &window);
        view->relabel(keypad);
        layout->addWidget(view);
        ok &= Save(window, dir, QStringLiteral("keypad-transfer.png"));
    }

    // Every display mode of the secure field.
    {
        SecureKeypad keypad(KeypadKind::kEntry);
        if (keypad.Open(1) != 0) return 1;
        QFrame window;
        auto* grid = new QGridLayout(&window);
        const struct {
            int type;
            const char* caption;
        } rows[] = {{1, "模式 0：逐格直立"},
                    {4, "模式 4：逐字傾斜"},
                    {3, "模式 3：星號"},
                    {7, "模式 7：整段文字"}};
        std::vector<std::unique_ptr<EntryField>> entries;
        int r = 0;
        for (const auto& row : rows) {
            auto* field = new CSecureStatic(1013 + 2 * r, &window);
            field->setFixedSize(320, 26);
            field->setDisplayOffset(keypad.displayOffset());
            field->setMaxLength(16);
            field->setFieldFont(QStringLiteral("Verdana"), 14, row.type == 3);
            entries.push_back(std::make_unique<EntryField>());
            entries.back()->setMaxLength(48);
            entries.back()->setDisplayType(row.type);
            Fill(keypad, *entries.back(), field, row.type == 7 ? u"Qorv 2026" : u"A1b2C3d4");
            grid->addWidget(new QLabel(QString::fromUtf8(row.caption), &window), r, 0);
            grid->addWidget(field, r, 1);
            ++r;
        }
        auto* plain = new CSecureStatic(1033, &window);
        plain->setFixedSize(320, 26);
        plain->setText(QStringLiteral("12345"), kModePlainCells);
        grid->addWidget(new QLabel(QStringLiteral("模式 5：31 格"), &window), r, 0);
        grid->addWidget(plain, r++, 1);
        auto* turned = new CSecureStatic(1035, &window);
        turned->setFixedSize(320, 26);
        turned->setDisplayOffset(keypad.displayOffset());
        turned->setMaxLength(16);
        EntryField turnedEntry;
        turnedEntry.setMaxLength(16);
        turnedEntry.setDisplayType(1);
        FieldDisplay display;
        for (char16_t c : std::u16string(u"A1b2C3d4")) keypad.Append(turnedEntry, c, display);
        display.mode = kModeTurnedCells;
        turned->setDisplay(display);
        turned->setColors(QColor(96, 96, 96), QColor(254, 242, 233));
        grid->addWidget(new QLabel(QStringLiteral("模式 1：整體旋轉"), &window), r, 0);
        grid->addWidget(turned, r++, 1);
        ok &= Save(window, dir, QStringLiteral("secure-fields.png"));
    }

    // The confirmation dialog: the card PIN group (the PIN is typed on the
    // computer) and the reader group (on a PIN-pad reader), before and after
    // the card went out and came back.
    ok &= SaveConfirmation(dir, ConfirmationMode::Transfer, false,
                           QStringLiteral("confirm-pin-take-out.png"));
    ok &= SaveConfirmation(dir, ConfirmationMode::Transfer, true,
                           QStringLiteral("confirm-pin-press-ok.png"));
    ok &= SaveConfirmation(dir, ConfirmationMode::TransferOnPad, false,
                           QStringLiteral("confirm-reader-take-out.png"));
    ok &= SaveConfirmation(dir, ConfirmationMode::TransferOnPad, true,
                           QStringLiteral("confirm-reader-press-ok.png"));
    ok &= SaveOtherConfirmations(dir);
    // The multi-field entry dialog: the bank's common-account form with the
    // PIN typed and the account row active, and the same form in review mode.
    ok &= SaveMultiField(dir, "common-account.xml", QStringLiteral("multi-field-normal.png"),
                         [](MultiFieldDialog& model, MultiFieldView& view) {
                             const Rect pin = model.view().layout.fields[3];
                             Release(view, pin);
                             PressKeys(view, QStringLiteral("123456"));
                             const Rect account = model.view().layout.fields[1];
                             Release(view, account);
                         });
    ok &= SaveMultiField(
        dir, "common-account-review.xml", QStringLiteral("multi-field-review.png"),
        [](MultiFieldDialog&, MultiFieldView& view) { PressKeys(view, QStringLiteral("123456")); });
    return ok ? 0 : 1;
}
