// TransferProc and TransferProcSnd on a scripted PC/SC, with a person who
// chooses an account, takes the card out and puts it back and confirms: the
// argument checks before any reader call, the session closed on every exit,
// the record layout by ServiceType and processing code, and the kept
// transfer values.
#include "procedures/transfer_procedure.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/fake_field_cipher.h"
#include "dialogs/transfer_account_dialog.h"
#include "dialogs/transfer_values.h"
#include "support/fake_pcsc.h"
#include "support/recording_user_interface.h"

namespace qorv::procedures {
namespace {

using dialogs::testing::WideHex;

const std::string kReader = "Virtual PCD 00 00";
const std::string kDateTime = "20231115061320";  // 1700000000 in UTC+8
constexpr char16_t kAccount[] = u"0058100012345678";
constexpr char16_t kMoney[] = u"00000000123400";
const std::string kWriteAnswer =
    "00"
    "3030303030303031"
    "0100"
    "1122334455667788";

std::string Hex(const std::string& text) {
    return testing::ToHex(testing::Bytes(text.begin(), text.end()));
}

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

std::u16string Document(int elements = 3) {
    std::u16string document =
        u"<KeyType>1</KeyType>"
        u"<AtmNode Name=\"約定帳號\" Ciph=\"0\">臺灣銀行-薪轉%%004||12345678901234;;</AtmNode>"
        u"<AtmNode Name=\"常用帳號\" Ciph=\"0\">媽媽%%812||0001234567$$mom@mail.tw;;</AtmNode>";
    if (elements >= 3)
        document += u"<AtmNode Name=\"其他帳號\" Ciph=\"0\">004 臺灣銀行%%004;;</AtmNode>";
    return document;
}

std::u16string Summary(std::u16string_view tag5, std::u16string_view account = kAccount) {
    return u"<MSG><Tag4>轉出銀行</Tag4><Tag5>" + std::u16string(tag5) + u"</Tag5><Tag7>" +
           std::u16string(account) + u"</Tag7><Tag13>NT$ 1234</Tag13></MSG>";
}

class TransferProcedureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        engine.SetTransactionClock([] { return std::time_t{1700000000}; });
        procedure.SetCiphersForTesting(&decipher, &encipher);
        pcsc.AddReader(kReader);
        // The person chooses in the transfer account dialog, takes the card out
        // and puts it back, and presses OK, unless told to cancel.
        person.transferAccount = [this](dialogs::TransferAccountDialog& dialog) {
            if (cancelTransfer) {
                dialog.PressCancel();
            } else {
                choose(dialog);
                dialog.PressOk();
            }
            return dialog.outcome().value_or(dialogs::kDialogCancelled);
        };
        person.confirm = [this](dialogs::ConfirmationDialog& dialog) {
            shownTag9 = dialog.view().TextOf(dialogs::ControlForTag(9));
            if (cancelConfirmation) {
                dialog.PressCancel();
            } else {
                pcsc.RemoveCard(kReader);
                for (int i = 0; i < dialogs::kPollsPerSecond; ++i) dialog.Tick();
                pcsc.InsertCard(kReader);
                dialog.Tick();
                dialog.PressOk();
            }
            return dialog.outcome().value_or(dialogs::kDialogCancelled);
        };
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    TransferProcArguments Arguments(std::u16string_view tag5, std::u16string serviceType) {
        TransferProcArguments a;
        a.pPCode = u"2500";
        a.pFdid = u"12345678";
        a.pFdChkCode = u"ABCDEFGH";
        a.pMoney = kMoney;
        a.pAccount = kAccount;
        a.pReaderName = u"Virtual PCD 00 00";
        a.pPassword = u"123456";
        a.pShowMsg = Summary(tag5);
        a.pSessionKeyHash = std::u16string(40, u'A');
        a.pCpukEncSessionKey = std::u16string(256, u'B');
        a.commonInfo = Document();
        a.serviceType = std::move(serviceType);
        return a;
    }
    void ExpectSelect() { pcsc.Expect("00A4040008A000000172950001", "9000"); }
    void ExpectPin() { pcsc.Expect("0020001008123456FFFFFFFFFF", "9000"); }
    // The card writes the record and answers on T=0; the read-back is refused.
    void ExpectWrite(const std::string& record) {
        const char* lc = record.size() == 80 ? "50" : "40";
        pcsc.Expect("00E21080" + std::string(lc) + Hex(record), "6113");
        pcsc.Expect("00C0000013", kWriteAnswer + "9000");
        pcsc.Expect("00A40200021001", "6A82");
    }
    std::string Record(const std::string& code, const std::string& transferIn = "") const {
        return code +
               "00000000123400"
               "12345678"
               "ABCDEFGH" +
               kDateTime + transferIn + Narrow(kAccount);
    }
    bool SessionClosed() const { return pcsc.openContexts() == 0; }

    testing::FakePcsc pcsc;
    testing::RecordingPauser pauser;
    reader::ReaderSession session{pcsc, pauser};
    card::CCardEngine engine{session};
    testing::RecordingUserInterface person;
    std::function<void(dialogs::TransferAccountDialog&)> choose =
        [](dialogs::TransferAccountDialog& d) {
            d.SelectCategory(dialogs::TransferCategory::kCommon);
        };
    bool cancelTransfer = false;
    bool cancelConfirmation = false;
    std::u16string shownTag9;
    dialogs::testing::WideHexDecipher decipher;
    dialogs::testing::WideHexEncipher encipher;
    TransferProcedure procedure{engine, person};
    card::TransactionResults results;
};

TEST_F(TransferProcedureTest, ArgumentsAreCheckedBeforeAnyReaderIsTouched) {
    const auto withKey = [&](std::size_t length) {
        TransferProcArguments a = Arguments(u"812", u"0");
        a.pCpukEncSessionKey = std::u16string(length, u'B');
        a.commonInfo = Document(2);  // stops right after the connect
        return procedure.TransferProc(a, results);
    };
    EXPECT_EQ(withKey(255), 8194);
    EXPECT_EQ(pcsc.Count("connect"), 0);
    EXPECT_EQ(withKey(254), 20998);
    EXPECT_EQ(withKey(256), 20998);
    EXPECT_EQ(pcsc.Count("connect"), 2);

    pcsc.ClearCalls();
    TransferProcArguments a = Arguments(u"812", u"0");
    a.pPassword.reset();
    EXPECT_EQ(procedure.TransferProc(a, results), 8195);
    a.pShowMsg.reset();
    EXPECT_EQ(procedure.TransferProcSnd(a, results), 8195);
    a = Arguments(u"812", u"0");
    a.pSessionKeyHash.reset();  // missing counts as empty
    EXPECT_EQ(procedure.TransferProc(a, results), 8194);
    a = Arguments(u"812", u"0");
    a.pMoney = u"0000000012340";
    EXPECT_EQ(procedure.TransferProc(a, results), 8194);
    // A ServiceType that names no transaction kind never reaches the PIN.
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812", u""), results), 8194);
    a = Arguments(u"812", u"0");
    a.serviceType.reset();
    EXPECT_EQ(procedure.TransferProc(a, results), 8195);
    EXPECT_TRUE(pcsc.calls().empty());
}

TEST_F(TransferProcedureTest, TwoFieldElementsGive20998AfterTheConnectAndCloseTheSession) {
    TransferProcArguments a = Arguments(u"812", u"0");
    a.commonInfo = Document(2);
    EXPECT_EQ(procedure.TransferProcSnd(a, results), 20998);
    EXPECT_EQ(pcsc.Count("connect"), 1);
    EXPECT_TRUE(SessionClosed());
    EXPECT_EQ(person.transferDialogs, 0);
}

TEST_F(TransferProcedureTest, ACommonAccountTransferCarriesTheChosenCodeInRecordAndValues) {
    ExpectSelect();
    ExpectPin();
    ExpectWrite(Record("2523", "0000000001234567"));
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812 台新銀行", u"0"), results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(results.tac, u"1122334455667788");
    EXPECT_EQ(shownTag9, u"媽媽");
    EXPECT_EQ(procedure.GetClearImportAccount(), u"812||0001234567||1||2523||mom@mail.tw||");
    EXPECT_EQ(procedure.GetEncImportAccount(), WideHex(procedure.GetClearImportAccount()));
    EXPECT_TRUE(SessionClosed());
    EXPECT_EQ(person.cursor, (std::vector<bool>{true, false}));
}

TEST_F(TransferProcedureTest, ServiceTypeOneSendsTheShortRecordWithoutTheTransferInAccount) {
    ExpectSelect();
    ExpectPin();
    ExpectWrite(Record("2563"));
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812 台新銀行", u"1"), results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(procedure.GetClearImportAccount(), u"812||0001234567||1||2563||mom@mail.tw||");
}

TEST_F(TransferProcedureTest, ServiceTypeTwoSendsTheTransferInAccountOnlyUnder2523) {
    // Agreed account at bank 004; the summary names the home bank: 2561.
    choose = [](dialogs::TransferAccountDialog&) {};
    const std::u16string home = std::u16string(dialogs::HomeBankCode()) + u" 本行";
    ExpectSelect();
    ExpectWrite(Record("2561"));
    EXPECT_EQ(procedure.TransferProcSnd(Arguments(home, u"2"), results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());

    // The summary names bank 004 itself: 2523 and the 80-byte record.
    ExpectSelect();
    ExpectWrite(Record("2523", "0012345678901234"));
    EXPECT_EQ(procedure.TransferProcSnd(Arguments(u"004 臺灣銀行", u"2"), results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(procedure.GetClearImportAccount(), u"004||12345678901234||0||2523||");
}

TEST_F(TransferProcedureTest, TransferProcSndWritesRightAfterSelectingTheApplication) {
    ExpectSelect();
    ExpectWrite(Record("2523", "0000000001234567"));
    TransferProcArguments a = Arguments(u"812", u"0");
    a.pPassword.reset();  // never asked for
    EXPECT_EQ(procedure.TransferProcSnd(a, results), 0);
    const std::vector<testing::Bytes> sent = pcsc.Transmitted();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(testing::ToHex(sent[0]), "00A4040008A000000172950001");
    EXPECT_EQ(testing::ToHex(sent[1]).substr(0, 8), "00E21080");
}

TEST_F(TransferProcedureTest, ADialogThatDoesNotEndWithOkStopsBeforeTheCard) {
    cancelTransfer = true;
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812", u"0"), results), 20756);
    EXPECT_TRUE(person.shown.empty());
    EXPECT_TRUE(SessionClosed());

    cancelTransfer = false;
    cancelConfirmation = true;
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812", u"0"), results), 20756);
    EXPECT_TRUE(SessionClosed());

    TransferProcArguments wrong = Arguments(u"812", u"0");
    wrong.pShowMsg = Summary(u"812", u"0058100099999999");
    EXPECT_EQ(procedure.TransferProc(wrong, results), 20757);
    EXPECT_TRUE(pcsc.Transmitted().empty());
    EXPECT_EQ(procedure.GetClearImportAccount(), u"");
}

TEST_F(TransferProcedureTest, UndecipherableValuesKeepTheOldTextsAndSendNothingUsable) {
    ExpectSelect();
    ExpectPin();
    ExpectWrite(Record("2523", "0000000001234567"));
    ASSERT_EQ(procedure.TransferProc(Arguments(u"812", u"0"), results), 0);
    const std::u16string kept = procedure.GetClearImportAccount();

    // The confirmation cannot decipher the values: no processing code, so the
    // card gets no record (8194) and the kept texts stay.
    decipher.failFromCall = decipher.calls;
    ExpectSelect();
    ExpectPin();
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812", u"0"), results), 8194);
    EXPECT_EQ(procedure.GetClearImportAccount(), kept);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_TRUE(SessionClosed());
}

TEST_F(TransferProcedureTest, AServiceTypeOfNoKindSendsNoRecord) {
    ExpectSelect();
    ExpectPin();
    results.snum = u"00000007";  // an earlier transaction's
    results.tac = u"1122334455667788";
    EXPECT_EQ(procedure.TransferProc(Arguments(u"812", u"9"), results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(results.snum, u"");
    EXPECT_EQ(results.tac, u"");
    EXPECT_EQ(procedure.GetClearImportAccount(), u"812||0001234567||1||2523||mom@mail.tw||");
}

}  // namespace
}  // namespace qorv::procedures
