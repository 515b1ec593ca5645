// Renders the transfer account dialog offscreen in each of its categories,
// for the README's pictures: qorv-transfer-screenshots <output folder>.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <functional>

#include "base/utf16.h"
#include "dialogs/message_sink.h"
#include "dialogs/transfer_account_dialog.h"
#include "tools/screenshots/picture_output.h"
#include "widgets/transfer_account_view.h"

using namespace qorv;
using namespace qorv::dialogs;
using namespace qorv::widgets;

namespace {

// The lists a bank might send (no enciphered content).
constexpr char16_t kDocument[] =
    u"<Caption>Qorv銀行 WEB ATM 約定轉帳</Caption><KeyType>%</KeyType><TimeOut>180</TimeOut>"
    u"<AtmNode Name=\"約定帳號\" Type=\"0\" Ciph=\"0\">台灣銀行-薪資轉帳 004-12345678901234%%004||"
    u"12345678901234;;第一銀行 007-98765432109%%007||98765432109$$pay@bank.tw;;</AtmNode>"
    u"<AtmNode Name=\"常用帳號\" Type=\"0\" Ciph=\"0\">媽媽 812-0001234567%%812||0001234567$$"
    u"mom@mail.tw;dad@mail.tw;;房東 700-00012345678901%%700||00012345678901;;</AtmNode>"
    u"<AtmNode Name=\"其他帳號\" Type=\"0\" Ciph=\"0\" check=\"1\">004 臺灣銀行%%004;;"
    u"007 第一銀行%%007;;700 中華郵政%%700;;812 台新銀行%%812;;</AtmNode>";

class NoCipher final : public FieldDecipher, public FieldEncipher {
  public:
    bool Decipher(std::u16string_view, std::u16string&) override { return false; }
    bool Encipher(std::u16string_view, std::u16string&) override { return false; }
};

// A picture shows no message box: what the dialog would say goes to standard error.
class MessagesOnStandardError final : public MessageSink {
  public:
    using MessageSink::ShowMessage;
    void ShowMessage(std::u16string_view text, std::u16string_view) override {
        std::fprintf(stderr, "%s\n", Utf16ToUtf8(text).c_str());
    }
};

bool Render(const QDir& dir, const QString& name, char16_t keyType,
            const std::function<void(TransferAccountDialog&)>& act) {
    NoCipher cipher;
    MessagesOnStandardError messages;
    MessagesOnStandardError filterMessages;
    TransferAccountDialog model(cipher, cipher, messages);
    std::u16string document = kDocument;
    document[document.find(u'%')] = keyType;
    if (model.Open(document)) return false;
    act(model);
    TransferAccountWindow window(model, filterMessages);
    window.adjustSize();
    return qorv::screenshots::WriteWindow(window, dir, name);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::optional<QDir> output = qorv::screenshots::OutputFolder(argc, argv);
    if (!output) return 2;
    const QDir& dir = *output;
    bool ok = true;
    ok &= Render(dir, QStringLiteral("transfer-agreed.png"), u'4', [](TransferAccountDialog&) {});
    ok &= Render(dir, QStringLiteral("transfer-common.png"), u'4',
                 [](TransferAccountDialog& m) { m.SelectCategory(TransferCategory::kCommon); });
    ok &= Render(dir, QStringLiteral("transfer-other-keypad.png"), u'4',
                 [](TransferAccountDialog& m) {
                     m.SelectListItem(transfer_control::kBankList, 3);
                     for (int key : {1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050})
                         m.PressKey(key);
                 });
    ok &= Render(dir, QStringLiteral("transfer-other-keyboard.png"), u'5',
                 [](TransferAccountDialog& m) {
                     m.SelectCategory(TransferCategory::kOther);
                     m.AccountKey(AccountEditKey::kCharacter);
                     m.SetAccountText(u"00012345678901");
                     m.SetEmailText(u"me@home.tw");
                 });
    return ok ? 0 : 1;
}
