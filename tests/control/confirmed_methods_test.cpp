// The confirmed and PIN-pad methods on a scripted PC/SC, with a user
// interface that answers the confirmation dialog as each test chooses and
// notes every message box, cursor change and dialog against the commands the
// card had received by then.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/confirmation_dialog.h"
#include "procedures/confirmation_runner.h"
#include "support/fake_pcsc.h"
#include "support/recording_user_interface.h"

namespace qorv::testing {
namespace {

using reader::pcsc::kProtocolT1;

constexpr char kPadReader[] = "ACS ACR83U 00 00";
constexpr char16_t kPadReader16[] = u"ACS ACR83U 00 00";
constexpr char kPlainReader[] = "Virtual PCD 00 00";
constexpr char16_t kPlainReader16[] = u"Virtual PCD 00 00";

std::string AsciiHex(const std::string& text) {
    return ToHex(Bytes(text.begin(), text.end()));
}
std::string RecordHex(const std::string& text) {
    return "0000" + AsciiHex(text);
}

class ConfirmedMethodsTest : public ::testing::Test {
  protected:
    const std::u16string kVerifyPrompt = u"Qorv銀行|請於晶片讀卡機上輸入晶片密碼後，按下『確認』鍵";
    const std::u16string kChangePrompt =
        u"Qorv銀行|請於晶片讀卡機上輸入晶片舊密碼與新密碼後，按下『確認』鍵";
    const std::u16string kTransactionPrompt =
        u"Qorv銀行|請於晶片讀卡機上確認各項輸入資料，再輸入晶片密碼後，按下『確認』鍵";

    const std::string kSelectApplicationT1 = "00A4040008A00000017295000100";
    const std::string kSelectApplicationT0 = "00A4040008A000000172950001";
    const std::string kAccount = "0058100012345678";
    const std::string kDateTime = "20231115061320";  // 1700000000 in UTC+8
    const std::string kRemarkHex = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
    const std::string kWriteAnswer =
        "00"
        "3030303030303031"
        "0100"
        "1122334455667788";

    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        ctrl.engine().SetTransactionClock([] { return std::time_t{1700000000}; });
        // Each event notes how many commands and disconnects came before it.
        ui.eventDetail = [this] {
            return ":" + std::to_string(pcsc.Transmitted().size()) + ":" +
                   std::to_string(pcsc.Count("disconnect"));
        };
        ui.confirmAnswer = dialogs::kConfirmOk;
        FakeCard t1;
        t1.protocol = kProtocolT1;
        pcsc.AddReader(kPadReader, t1);
        pcsc.AddReader(kPlainReader);
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
    // The page's own session on the plain (T=0) reader.
    void ConnectCurrent() {
        ASSERT_EQ(ctrl.ConnectCard(kPlainReader16), 0);
        pcsc.ClearCalls();
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& apdu : pcsc.Transmitted()) out.push_back(ToHex(apdu));
        return out;
    }
    // The named reader's session ended: card reset, context released.
    void ExpectSessionClosed() {
        EXPECT_EQ(pcsc.Count("disconnect"), 1);
        for (const auto& call : pcsc.calls()) {
            if (call.function == "disconnect") {
                EXPECT_EQ(call.mode, reader::pcsc::kResetCard);
            }
        }
        EXPECT_EQ(pcsc.openContexts(), 0);
        EXPECT_FALSE(session.contextEstablished());
    }
    void ExpectReadBackT1() {
        pcsc.Expect("00A40200021001", "9000");
        pcsc.Expect("00B20105000000",
                    RecordHex("81200580") + "0000" + kRemarkHex + RecordHex(kAccount) + "9000");
    }
    void ExpectKeptResults() {
        EXPECT_EQ(ctrl.GetRespSNUM(), u"00000001");
        EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788");
        EXPECT_EQ(ctrl.GetTransactionIssuer(), u"812");
        EXPECT_EQ(ctrl.GetTransactionAccount(), u"0058100012345678");
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    RecordingUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    control::CQorvClientATMCtrl ctrl{session, ui};

    // The mode of every confirmation shown, in order.
    std::vector<int> Modes() const {
        std::vector<int> modes;
        for (const dialogs::ConfirmationRequest& request : ui.shown)
            modes.push_back(static_cast<int>(request.mode));
        return modes;
    }

    const std::u16string transferSummary =
        u"<MSG><Tag1>轉帳</Tag1><Tag7>0058100012345678</Tag7><Tag11>8120058100099999</Tag11>"
        u"<Tag13>NT$ 1234</Tag13></MSG>";
    const std::string transferRecord =
        "2521"
        "00000000123400"
        "12345678"
        "ABCDEFGH" +
        kDateTime + "8120058100099999" + kAccount;
    const std::string withdrawRecord =
        "2541"
        "00000000001000"
        "12345678"
        "ABCDEFGH" +
        kDateTime + kAccount;

    int32_t TransferEx(const ScriptText& pin = u"123456", const ScriptText& reader = kPadReader16,
                       const ScriptText& summary = std::nullopt) {
        return ctrl.AccountTransferEx(u"2521", u"12345678", u"ABCDEFGH", u"00000000123400",
                                      u"8120058100099999", u"0058100012345678", reader, pin,
                                      summary ? summary : ScriptText(transferSummary));
    }
    int32_t TransferSndEx(const ScriptText& summary) {
        return ctrl.AccountTransferSndEx(u"2521", u"12345678", u"ABCDEFGH", u"00000000123400",
                                         u"8120058100099999", u"0058100012345678", kPadReader16,
                                         summary);
    }
};

// PIN methods on the current reader.

TEST_F(ConfirmedMethodsTest, VerifyPinSndPromptsThenSendsThePlaceholderAndKeepsTheSession) {
    ConnectCurrent();
    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "6620");
    EXPECT_EQ(ctrl.VerifyPINSnd(), 20485);
    EXPECT_EQ(ui.messages, std::vector<std::u16string>{kVerifyPrompt});
    EXPECT_EQ(ui.events.front(), "message:0:0") << "the box is closed before any command";
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(pcsc.Count("disconnect"), 0);
    EXPECT_TRUE(session.contextEstablished());
}

TEST_F(ConfirmedMethodsTest, NobodyReadingThePromptMeansNoCardCommand) {
    ConnectCurrent();
    ui.goneAfterMessage = true;
    EXPECT_EQ(ctrl.VerifyPINSnd(), 20756);
    EXPECT_EQ(ctrl.ChangePINSnd(u"0058100012345678"), 20756);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ConfirmedMethodsTest, VerifyPinSndExCancelledSendsNothing) {
    ConnectCurrent();
    EXPECT_EQ(ctrl.VerifyPINSndEx(std::nullopt), 8195);
    EXPECT_TRUE(Modes().empty());
    ui.confirm = [](dialogs::ConfirmationDialog& dialog) {
        dialog.PressCancel();
        return *dialog.outcome();
    };
    EXPECT_EQ(ctrl.VerifyPINSndEx(u"<Tag1>密碼</Tag1>"), 20756);
    EXPECT_EQ(Modes(), std::vector<int>{5});
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(ui.messages.empty()) << "the dialog replaces the message box";

    ui.confirm = nullptr;
    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("0020001008FFFFFFFFFFFFFFFF", "9000");
    EXPECT_EQ(ctrl.VerifyPINSndEx(u"<Tag1>密碼</Tag1>"), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ConfirmedMethodsTest, ChangePinSndWithAnotherAccountStopsBeforeThePinFile) {
    ConnectCurrent();
    EXPECT_EQ(ctrl.ChangePINSnd(std::nullopt), 8195);
    EXPECT_TRUE(ui.messages.empty());

    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B2030412", RecordHex("0058100087654321") + "9000");
    EXPECT_EQ(ctrl.ChangePINSnd(u"0058100012345678"), 20757);
    EXPECT_EQ(ui.messages, std::vector<std::u16string>{kChangePrompt});
    EXPECT_EQ(ui.events.front(), "message:0:0");
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(Sent().size(), 3u) << "no PIN file select, no change on pad";

    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B2030412", RecordHex(kAccount) + "9000");
    pcsc.Expect("00A402000200C2", "9000");
    pcsc.Expect("0020001008F0F0F0F0F0F0F0F0", "6608");
    EXPECT_EQ(ctrl.ChangePINSnd(u"0058100012345678"), 20484);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ConfirmedMethodsTest, ChangePinSndExConfirmsInsteadOfPrompting) {
    ConnectCurrent();
    EXPECT_EQ(ctrl.ChangePINSndEx(u"<Tag1>變更</Tag1>", std::nullopt), 8195);
    EXPECT_EQ(ctrl.ChangePINSndEx(std::nullopt, u"0058100012345678"), 8195);
    ui.confirm = [](dialogs::ConfirmationDialog&) { return dialogs::kConfirmCancelled; };
    EXPECT_EQ(ctrl.ChangePINSndEx(u"<Tag1>變更</Tag1>", u"0058100012345678"), 20756);
    EXPECT_TRUE(Sent().empty());
    ui.confirm = nullptr;
    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B2030412", RecordHex(kAccount) + "9000");
    pcsc.Expect("00A402000200C2", "9000");
    pcsc.Expect("0020001008F0F0F0F0F0F0F0F0", "9000");
    EXPECT_EQ(ctrl.ChangePINSndEx(u"<Tag1>變更</Tag1>", u"0058100012345678"), 0);
    EXPECT_EQ(Modes(), (std::vector<int>{5, 5}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ConfirmedMethodsTest, VerifyPinExChecksThePinBeforeTheDialog) {
    ConnectCurrent();
    EXPECT_EQ(ctrl.VerifyPINEx(u"12345", u"<Tag1>x</Tag1>"), 8194);
    EXPECT_EQ(ctrl.VerifyPINEx(u"12345a", u"<Tag1>x</Tag1>"), 8193);
    EXPECT_EQ(ctrl.VerifyPINEx(std::nullopt, std::nullopt), 8195);
    EXPECT_EQ(ctrl.VerifyPINEx(u"123456", std::nullopt), 8195);
    EXPECT_TRUE(Modes().empty());

    ui.confirm = [](dialogs::ConfirmationDialog&) { return dialogs::kConfirmCancelled; };
    EXPECT_EQ(ctrl.VerifyPINEx(u"123456", u"<Tag1>x</Tag1>"), 20756);
    EXPECT_TRUE(Sent().empty());

    ui.confirm = nullptr;
    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    EXPECT_EQ(ctrl.VerifyPINEx(u"123456", u"<Tag1>x</Tag1>"), 0);
    EXPECT_EQ(Modes(), (std::vector<int>{0, 0}));
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ConfirmedMethodsTest, ChangePinExWithAnotherAccountNeverPresentsTheOldPin) {
    ConnectCurrent();
    EXPECT_EQ(ctrl.ChangePINEx(u"123456", u"1234567", u"<Tag1>x</Tag1>", std::nullopt), 8195);
    EXPECT_EQ(ctrl.ChangePINEx(u"123456", u"12345", u"<Tag1>x</Tag1>", u"0058100012345678"), 8194);
    EXPECT_TRUE(Modes().empty());

    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B2030412", RecordHex("0058100087654321") + "9000");
    EXPECT_EQ(ctrl.ChangePINEx(u"123456", u"1234567", u"<Tag1>x</Tag1>", u"0058100012345678"),
              20757);
    EXPECT_TRUE(pcsc.ScriptDone());
    for (const auto& apdu : Sent()) EXPECT_NE(apdu.substr(0, 4), "0020") << apdu;

    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B2030412", RecordHex(kAccount) + "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00A402000200C2", "9000");
    pcsc.Expect("00D20104081234567FFFFFFFFF", "9000");
    EXPECT_EQ(ctrl.ChangePINEx(u"123456", u"1234567", u"<Tag1>x</Tag1>", u"0058100012345678"), 0);
    EXPECT_EQ(Modes(), (std::vector<int>{0, 0}));
    EXPECT_TRUE(pcsc.ScriptDone());
}

// Transactions in an own session on a named reader.

TEST_F(ConfirmedMethodsTest, TransactionSndPromptsAfterTheSelectAndClosesBeforeTheArrow) {
    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect("00E2108050" + AsciiHex(transferRecord) + "00", kWriteAnswer + "9000");
    ExpectReadBackT1();
    EXPECT_EQ(ctrl.AccountTransferSnd(u"2521", u"12345678", u"ABCDEFGH", u"00000000123400",
                                      u"8120058100099999", u"0058100012345678", kPadReader16),
              0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(ui.messages, std::vector<std::u16string>{kTransactionPrompt});
    // Select, box, wait cursor, write and read-back, close, arrow.
    EXPECT_EQ(ui.events, (std::vector<std::string>{"message:1:0", "wait:1:0", "arrow:4:1"}));
    for (const auto& apdu : Sent()) EXPECT_NE(apdu.substr(0, 4), "0020") << "no PIN sent";
    ExpectSessionClosed();
    ExpectKeptResults();
    EXPECT_EQ(ctrl.GetRespDateTime(), u"20231115061320");
}

TEST_F(ConfirmedMethodsTest, TransactionSndRefusesArgumentsBeforeTouchingAReader) {
    EXPECT_EQ(ctrl.AccountWithdrawSnd(u"2541", u"12345678", u"ABCDEFGH", u"00000000001000",
                                      u"005810001234567", kPadReader16),
              8194);
    EXPECT_EQ(ctrl.AccountPayTaxSnd(u"2541", u"12345678", u"ABCDEFGH", std::nullopt,
                                    u"0058100012345678", kPadReader16),
              8195);
    EXPECT_EQ(ctrl.AccountPaymentSnd(u"2561", u"12345678", u"ABCDEFGH", u"00000000000500", u"PTYPE",
                                     u"CANCEL0000000001", u"0058100012345678", u"ACS"),
              8194);
    EXPECT_TRUE(pcsc.calls().empty());
    EXPECT_EQ(pcsc.loads(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ConfirmedMethodsTest, TransactionSndClosesTheSessionWhenTheSelectFails) {
    pcsc.Expect(kSelectApplicationT1, "6A82");
    EXPECT_EQ(ctrl.AccountWithdrawSnd(u"2541", u"12345678", u"ABCDEFGH", u"00000000001000",
                                      u"0058100012345678", kPadReader16),
              20481);
    EXPECT_TRUE(ui.messages.empty());
    ExpectSessionClosed();
    // A reader without a card: the connect's own result, the session closed too.
    pcsc.RemoveCard(kPadReader);
    pcsc.ClearCalls();
    EXPECT_EQ(ctrl.AccountWithdrawSnd(u"2541", u"12345678", u"ABCDEFGH", u"00000000001000",
                                      u"0058100012345678", kPadReader16),
              reader::pcsc::kNoSmartcard);
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(pcsc.Count("transmit"), 0);
}

TEST_F(ConfirmedMethodsTest, TransactionSndExCancelledClosesTheNamedReaderAndSendsNothing) {
    ui.confirm = [](dialogs::ConfirmationDialog& dialog) {
        dialog.PressCancel();
        return *dialog.outcome();
    };
    EXPECT_EQ(TransferSndEx(transferSummary), 20756);
    EXPECT_EQ(Modes(), std::vector<int>{8});
    EXPECT_TRUE(Sent().empty());
    ExpectSessionClosed();
}

TEST_F(ConfirmedMethodsTest, SummaryMismatchesEndBeforeTheDialogIsShown) {
    // The account is not in Tag7: 101.
    EXPECT_EQ(TransferSndEx(u"<Tag7>0058100099999999</Tag7><Tag11>8120058100099999</Tag11>"
                            u"<Tag13>1234</Tag13>"),
              20757);
    // The amount differs: 102.
    EXPECT_EQ(TransferSndEx(u"<Tag7>0058100012345678</Tag7><Tag11>8120058100099999</Tag11>"
                            u"<Tag13>1235</Tag13>"),
              20758);
    // The transfer-in account is not shown: 102.
    EXPECT_EQ(TransferSndEx(u"<Tag7>0058100012345678</Tag7><Tag11>8120058100000000</Tag11>"
                            u"<Tag13>1234</Tag13>"),
              20758);
    EXPECT_TRUE(Modes().empty()) << "a page's summary that fails its check is never shown";
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(pcsc.Count("disconnect"), 3);
    EXPECT_EQ(pcsc.openContexts(), 0);
}

TEST_F(ConfirmedMethodsTest, OtherOutcomesOfTheDialogAreMappedToo) {
    for (const auto& [outcome, result] :
         std::vector<std::pair<int, int32_t>>{{101, 20757}, {102, 20758}, {2, 20756}, {7, 20756}}) {
        ui.confirm = [outcome = outcome](dialogs::ConfirmationDialog&) { return outcome; };
        EXPECT_EQ(TransferSndEx(transferSummary), result) << outcome;
    }
    EXPECT_EQ(procedures::ConfirmationResult(dialogs::kConfirmOk), 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ConfirmedMethodsTest, ConfirmationModesFollowTheMethodAndAnAllZeroWithdrawal) {
    ui.confirm = [](dialogs::ConfirmationDialog&) { return dialogs::kConfirmCancelled; };
    const std::u16string summary =
        u"<Tag7>0058100012345678</Tag7><Tag8>0058100012345678</Tag8><Tag9>10.00</Tag9>"
        u"<Tag12>0058100012345678</Tag12><Tag13>10.00</Tag13>";
    const std::u16string zero = u"00000000000000";
    const std::u16string ten = u"00000000001000";
    auto withdrawEx = [&](const std::u16string& money) {
        return ctrl.AccountWithdrawEx(u"2541", u"12345678", u"ABCDEFGH", money, u"0058100012345678",
                                      kPadReader16, u"123456", summary);
    };
    auto withdrawSndEx = [&](const std::u16string& money) {
        return ctrl.AccountWithdrawSndEx(u"2541", u"12345678", u"ABCDEFGH", money,
                                         u"0058100012345678", kPadReader16, summary);
    };
    withdrawEx(zero);
    withdrawEx(ten);
    withdrawSndEx(zero);
    withdrawSndEx(ten);
    ctrl.AccountPaymentEx(u"2561", u"12345678", u"ABCDEFGH", ten, u"PTYPE", u"CANCEL0000000001",
                          u"0058100012345678", kPadReader16, u"123456", summary);
    ctrl.AccountPaymentSndEx(u"2561", u"12345678", u"ABCDEFGH", ten, u"PTYPE", u"CANCEL0000000001",
                             u"0058100012345678", kPadReader16, summary);
    ctrl.AccountPayTaxEx(u"2561", u"12345678", u"ABCDEFGH", ten, u"0058100012345678", kPadReader16,
                         u"123456", summary);
    ctrl.AccountPayTaxSndEx(u"2561", u"12345678", u"ABCDEFGH", ten, u"0058100012345678",
                            kPadReader16, summary);
    ctrl.AccountInquiryEx(u"2500", u"ABCDEFGH", u"0058100012345678", kPadReader16, u"123456",
                          summary);
    ctrl.AccountInquirySndEx(u"2500", u"ABCDEFGH", u"0058100012345678", kPadReader16, summary);
    ctrl.WriteRecordWithSNUMTAC(kPadReader16, u"ABC", summary, u"123456");
    ctrl.WriteRecordWithSNUMTACSnd(kPadReader16, u"ABC", summary);
    EXPECT_EQ(Modes(), (std::vector<int>{10, 4, 11, 9, 1, 6, 2, 7, 12, 13, 26, 26}));
    // The dialog is given what the card will be given.
    EXPECT_EQ(ui.shown[0].amount, zero);
    EXPECT_EQ(ui.shown[0].account, u"0058100012345678");
    EXPECT_FALSE(ui.shown[0].transferIn);
    EXPECT_FALSE(ui.shown[8].amount) << "an inquiry shows no amount";
    EXPECT_EQ(ui.shown[8].account, u"0058100012345678") << "the host block names the account";
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ConfirmedMethodsTest, TransactionExVerifiesThePinAndShowsTheArrowBeforeClosing) {
    EXPECT_EQ(TransferEx(u"123456", kPadReader16, u""), 20757) << "an empty summary shows nothing";
    EXPECT_EQ(ctrl.AccountInquiryEx(u"2500", u"ABCDEFGH", u"0058100012345678", kPadReader16,
                                    u"123456", std::nullopt),
              8195);
    pcsc.ClearCalls();
    ui.events.clear();

    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00E2108050" + AsciiHex(transferRecord) + "00", kWriteAnswer + "9000");
    ExpectReadBackT1();
    EXPECT_EQ(TransferEx(), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(Modes().back(), 3);
    EXPECT_EQ(ui.shown.back().transferIn, u"8120058100099999");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"dialog:0:0", "wait:2:0", "arrow:5:0"}));
    ExpectSessionClosed();
    ExpectKeptResults();
}

TEST_F(ConfirmedMethodsTest, TransactionExPinIsCheckedAfterTheConfirmation) {
    pcsc.Expect(kSelectApplicationT1, "9000");
    EXPECT_EQ(TransferEx(u"12345"), 8194);
    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "6620");
    EXPECT_EQ(TransferEx(), 20485);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(pcsc.Count("disconnect"), 2);
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(ctrl.GetRespTAC(), u"");
}

TEST_F(ConfirmedMethodsTest, AccountInquirySndWorksOnTheCurrentReader) {
    ConnectCurrent();
    const std::string record =
        "2500"
        "ABCDEFGH" +
        kAccount;
    pcsc.Expect(kSelectApplicationT0, "9000");
    pcsc.Expect("00E210801C" + AsciiHex(record), "6113");
    pcsc.Expect("00C0000013", kWriteAnswer + "9000");
    pcsc.Expect("00A40200021001", "9000");
    pcsc.Expect("00B20105000000",
                RecordHex("81200580") + "0000" + kRemarkHex + RecordHex(kAccount) + "9000");
    EXPECT_EQ(ctrl.AccountInquirySnd(u"2500", u"ABCDEFGH", u"0058100012345678", std::nullopt), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.events, (std::vector<std::string>{"wait:1:0", "arrow:5:0"}));
    EXPECT_EQ(pcsc.Count("disconnect"), 0);
    EXPECT_EQ(pcsc.Count("connect"), 0);
    EXPECT_EQ(ctrl.GetRespDateTime(), u"");
}

// The supplied record.

TEST_F(ConfirmedMethodsTest, SuppliedRecordLengthIsCheckedBeforeAnyReader) {
    EXPECT_EQ(
        ctrl.WriteRecordWithSNUMTAC(kPadReader16, std::u16string(129, u'A'), u"<Tag1/>", u"123456"),
        8194);
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTACSnd(kPadReader16, std::u16string(129, u'A'), u"<Tag1/>"),
              8194);
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTAC(kPadReader16, u"A", u"<Tag1/>", std::nullopt), 8195);
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTAC(std::nullopt, u"A", u"<Tag1/>", u"123456"), 8195);
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTACSnd(kPadReader16, u"A", std::nullopt), 8195);
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTACSnd(u"ACS", u"A", u"<Tag1/>"), 8194);
    // A character the card cannot take as one byte, before the dialog too.
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTAC(kPadReader16, u"AB\u0100", u"<Tag1/>", u"123456"), 8194);
    EXPECT_TRUE(pcsc.calls().empty());
    EXPECT_EQ(pcsc.loads(), 0);
    EXPECT_TRUE(Modes().empty());
}

TEST_F(ConfirmedMethodsTest, SuppliedRecordOf128CharactersReconnectsThenWritesWithLc80) {
    const std::string record(128, 'R');
    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect("0020001008654321FFFFFFFFFF", "9000");
    pcsc.Expect("00E2108080" + AsciiHex(record) + "00", kWriteAnswer + "9000");
    ExpectReadBackT1();
    EXPECT_EQ(
        ctrl.WriteRecordWithSNUMTAC(kPadReader16, std::u16string(128, u'R'), u"<Tag1/>", u"654321"),
        0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(Modes(), std::vector<int>{26});
    // Connected for the dialog, then again after it, before the first command.
    int connectsBeforeFirstCommand = 0;
    for (const auto& call : pcsc.calls()) {
        if (call.function == "transmit") break;
        if (call.function == "connect") ++connectsBeforeFirstCommand;
    }
    EXPECT_EQ(connectsBeforeFirstCommand, 2);
    ExpectSessionClosed();
    ExpectKeptResults();
    EXPECT_EQ(ctrl.GetRespDateTime(), u"") << "the record's date-time is the page's own";

    // The PIN-pad form sends no PIN; a refused write returns the card's status.
    pcsc.ClearCalls();
    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect(
        "00E2108003414243"
        "00",
        "6982");
    EXPECT_EQ(ctrl.WriteRecordWithSNUMTACSnd(kPadReader16, u"ABC", u"<Tag1/>"), 0x6982);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(ctrl.GetRespTAC(), u"1122334455667788");
    ExpectSessionClosed();
}

// The dialog polls the card of the connected reader through the reader session.

TEST_F(ConfirmedMethodsTest, TakingTheCardOutAndPuttingItBackLetsTheTransactionGoOn) {
    std::vector<dialogs::CardPresence> seen;
    ui.confirm = [&](dialogs::ConfirmationDialog& dialog) {
        dialog.Tick();  // our own connection holds the card: present
        EXPECT_FALSE(dialog.view().okEnabled);
        pcsc.RemoveCard(kPadReader);
        dialog.Tick();
        EXPECT_EQ(dialog.phase(), dialogs::ConfirmationPhase::TakeOut);
        pcsc.InsertCard(kPadReader);
        dialog.Tick();
        EXPECT_EQ(dialog.phase(), dialogs::ConfirmationPhase::PressOk);
        dialog.Tick();
        EXPECT_TRUE(dialog.view().okEnabled);
        dialog.PressOk();
        return dialog.outcome().value_or(0);
    };
    pcsc.Expect(kSelectApplicationT1, "9000");
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    pcsc.Expect("00E2108050" + AsciiHex(transferRecord) + "00", kWriteAnswer + "9000");
    ExpectReadBackT1();
    EXPECT_EQ(TransferEx(), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(pcsc.unexpectedTransmits(), 0);
    EXPECT_EQ(pcsc.openContexts(), 0);
}

TEST(ReaderCardProbe, MapsTheConnectOfTheSlotsReader) {
    FakePcsc pcsc;
    RecordingPauser pauser;
    reader::ReaderSession session{pcsc, pauser};
    pcsc.AddReader(kPlainReader);
    card::CCardEngine engine{session};
    int32_t slot = -1;
    reader::Atr atr;
    ASSERT_EQ(engine.ConnectCard(kPlainReader16, slot, atr), 0);
    procedures::ReaderCardProbe probe(session, slot);
    EXPECT_EQ(probe.readerName(), kPlainReader16);
    EXPECT_EQ(probe.Poll(), dialogs::CardPresence::Present);
    EXPECT_EQ(probe.lastResult(), 0);
    pcsc.RemoveCard(kPlainReader);
    EXPECT_EQ(probe.Poll(), dialogs::CardPresence::Absent);
    pcsc.InsertCard(kPlainReader);
    EXPECT_EQ(probe.Poll(), dialogs::CardPresence::Present);
    // Another program holding the card still counts as a card in the reader.
    pcsc.card(kPlainReader).heldByOther = true;
    pcsc.Force("connect", reader::pcsc::kSharingViolation, 4);
    EXPECT_EQ(probe.Poll(), dialogs::CardPresence::Present);
    session.CloseReaderSession(slot);
}

}  // namespace
}  // namespace qorv::testing
