// CommAccountProc on a scripted PC/SC with a scripted person at the dialogs:
// the confirmation mode from the form, the PIN-pad reader check before any
// dialog, the PIN typed in the form, the pad verify of each reader class, and
// the kept values surviving a cancelled confirmation.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card/card_engine.h"
#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/multi_field_dialog.h"
#include "procedures/common_account.h"
#include "reader/pcsc_api.h"
#include "support/fake_pcsc.h"
#include "support/recording_user_interface.h"

namespace qorv::procedures {
namespace {

using testing::FakePcsc;
using testing::RecordingPauser;
using testing::RecordingUserInterface;

constexpr char kSelectApplication[] = "00A4040008A000000172950001";

// Fixed key order (KeyOrder 1): an account row and, in the PIN form, a card-PIN row.
const std::u16string kAccountRow =
    u"<AtmNode Name=\"轉入帳號\" Type=\"3\" KeyType=\"0\" "
    u"Default=\"16\">0058100098765432</AtmNode>";
const std::u16string kPinForm = u"<KeyOrder>1</KeyOrder>" + kAccountRow +
                                u"<AtmNode Name=\"密碼\" Type=\"6\" KeyType=\"0\" min=\"6\" "
                                u"Default=\"12\"/>";
const std::u16string kPadForm = u"<KeyOrder>1</KeyOrder>" + kAccountRow;

class CommonAccount : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"Virtual PCD 00 00", "ACS ACR83U 00 00", "ACS APG8201 00 00"})
            pcsc.AddReader(name);
        // The person types the PIN on the dialog's keypad and presses OK.
        person.multiField = [this](dialogs::MultiFieldDialog& dialog) {
            if (dialog.rowCount() > 1) {
                const dialogs::Rect field = dialog.view().layout.fields[1];
                dialog.ReleaseMouse(field.x + 4, field.y + 4);
                for (char16_t digit : pin) {
                    dialog.PressKey(digit == u'0' ? dialogs::kFirstKeyId + 9
                                                  : dialogs::kFirstKeyId + (digit - u'1'));
                }
            }
            dialog.PressOk();
            return dialog.outcome().value_or(dialogs::kOutcomeCancelled);
        };
        person.confirmAnswer = dialogs::kConfirmOk;
        person.confirm = [this](dialogs::ConfirmationDialog& dialog) {
            for (const dialogs::HostRow& row : dialog.view().hostBlock)
                hostBlock += row.label + u"=" + row.value + u";";
            return person.confirmAnswer;
        };
    }
    std::optional<dialogs::ConfirmationMode> confirmationMode() const {
        if (person.shown.empty()) return std::nullopt;
        return person.shown.back().mode;
    }
    int32_t Run(const std::u16string& reader, const std::u16string& form) {
        return CommAccountProc(engine, person, reader, u"", u"", form, {clear, enciphered});
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    reader::ReaderSession session{pcsc, pauser};
    card::CCardEngine engine{session};
    RecordingUserInterface person;
    std::u16string pin = u"123456";
    std::u16string hostBlock;  // of every confirmation shown
    std::u16string clear = u"earlier";
    std::u16string enciphered = u"EARLIER";
};

TEST_F(CommonAccount, AFormWithAPinFieldOnAPlainReaderVerifiesInTheFormAndEndsWithZero) {
    pcsc.Expect(kSelectApplication, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    EXPECT_EQ(Run(u"Virtual PCD 00 00", kPinForm), 0);
    EXPECT_EQ(confirmationMode(), dialogs::ConfirmationMode::PinInForm);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(pcsc.unexpectedTransmits(), 0);
    // The PIN row keeps its place in the bank's layout, empty; the host block shows no PIN row.
    EXPECT_EQ(clear, u"0058100098765432||||");
    EXPECT_EQ(hostBlock, u"轉入帳號=0058100098765432;");
}

TEST_F(CommonAccount, AFormWithoutAPinFieldNeedsAPinPadReaderBeforeAnyDialog) {
    EXPECT_EQ(Run(u"Virtual PCD 00 00", kPadForm), 20486);
    EXPECT_EQ(person.entryDialogs, 0);
    EXPECT_TRUE(pcsc.Transmitted().empty());
    EXPECT_EQ(pcsc.openContexts(), 0);  // the reader session is closed
    EXPECT_EQ(clear, u"earlier");
}

TEST_F(CommonAccount, EachPadClassVerifiesWithItsOwnCommandAfterTheConfirmation) {
    struct Case {
        const char16_t* reader;
        const char* verify;
    };
    for (const Case& c : {Case{u"ACS ACR83U 00 00", "80200010"},
                          Case{u"ACS APG8201 00 00", "0020001008FFFFFFFFFFFFFFFF"}}) {
        pcsc.Expect(kSelectApplication, "9000");
        pcsc.Expect(c.verify, "9000");
        EXPECT_EQ(Run(c.reader, kPadForm), 0);
        EXPECT_EQ(confirmationMode(), dialogs::ConfirmationMode::PinOnPad);
        EXPECT_TRUE(pcsc.ScriptDone());
        EXPECT_EQ(pcsc.unexpectedTransmits(), 0);
    }
    pcsc.Expect(kSelectApplication, "9000");
    pcsc.Expect("80200010", "6620");
    EXPECT_EQ(Run(u"ACS ACR83U 00 00", kPadForm), 20485);
}

TEST_F(CommonAccount, APinTheCardRefusesInTheFormEndsWith20486WithoutAConfirmation) {
    pcsc.Expect(kSelectApplication, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "6608");
    EXPECT_EQ(Run(u"Virtual PCD 00 00", kPinForm), 20486);
    EXPECT_TRUE(person.shown.empty());
    EXPECT_EQ(pcsc.openContexts(), 0);
}

TEST_F(CommonAccount, ACancelledConfirmationGives20756AndKeepsTheEnteredValues) {
    pcsc.Expect(kSelectApplication, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    person.confirmAnswer = dialogs::kConfirmCancelled;
    EXPECT_EQ(Run(u"Virtual PCD 00 00", kPinForm), 20756);
    EXPECT_EQ(clear, u"0058100098765432||||");
}

TEST_F(CommonAccount, ANameThatCannotBeAReaderEndsBeforeThePcscIsAsked) {
    EXPECT_EQ(
        CommAccountProc(engine, person, std::nullopt, u"", u"", kPinForm, {clear, enciphered}),
        8195);
    EXPECT_EQ(clear, u"earlier");  // untouched before the entry dialog
    EXPECT_EQ(Run(u"ACS", kPinForm), 8194);
    EXPECT_EQ(person.entryDialogs, 0);
}

// A failed connect leaves the context and the card another call of the
// page holds in its slot alone.
TEST_F(CommonAccount, AFailedConnectDisconnectsThatReaderAndKeepsTheContext) {
    int32_t slot = -1;
    reader::Atr atr;
    ASSERT_EQ(engine.ConnectCard(u"Virtual PCD 00 00", slot, atr), 0);
    pcsc.ClearCalls();
    pcsc.Force("connect", reader::pcsc::kNoSmartcard, 4);
    EXPECT_EQ(Run(u"ACS ACR83U 00 00", kPinForm), reader::pcsc::kNoSmartcard);
    EXPECT_EQ(pcsc.Count("release"), 0);
    EXPECT_EQ(pcsc.openContexts(), 1);
    for (const auto& call : pcsc.calls()) {
        EXPECT_NE(call.function, "disconnect")
            << "the page's card in slot " << slot << " was reset";
    }
    EXPECT_EQ(person.entryDialogs, 0);
}

TEST_F(CommonAccount, TheControlServesItAndWithoutAPersonTheEntryDialogIsCancelled) {
    dialogs::HeadlessUserInterface nobody("test");
    control::CQorvClientATMCtrl ctrl{session, nobody};
    EXPECT_EQ(ctrl.CommAccountProc(u"Virtual PCD 00 00", u"", u"", kPinForm), 20756);
    EXPECT_EQ(ctrl.GetClearCommAcc(), std::u16string());
    EXPECT_EQ(pcsc.openContexts(), 0);
}

}  // namespace
}  // namespace qorv::procedures
