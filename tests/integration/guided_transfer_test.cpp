// The guided transfer through the real host: key agreement with the bank
// simulator, the bank's transfer document, the transfer dialog and the
// confirmation on Qt's offscreen platform driven by the scripted person, a
// real take-out and put-back of the simulated card while the confirmation
// waits, and the bank checking the transfer values and the card's TAC.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "integration/scripted_host_fixture.h"
#include "tools/banksim/bank_setup.h"

namespace qorv::testing {
namespace {

#ifdef QORV_TEST_HOOKS

using nlohmann::json;
using namespace std::chrono_literals;

constexpr char kCardAccount[] = "0058100012345678";
constexpr char kFdid[] = "12345678";
constexpr char kFdChkCode[] = "ABCDEFGH";
constexpr char kMoney[] = "00000000050000";
constexpr char kPlainReader[] = "Virtual PCD";
constexpr int kCancelled = 20756;
constexpr int kTransferConfigIncomplete = 20998;
// The operating bank's own code, which decides some processing codes.
constexpr char kHomeBank[] = QORV_HOME_BANK_CODE;

// The transfer-in account is not in the summary: the dialog shows the one
// the customer chose. `firstRow` is the value of the first row (Tag5), which
// the processing code is chosen by.
std::string TransferSummary(const std::string& firstRow = {}) {
    std::string summary = "<MSG><Tag1>轉帳：確認交易資料</Tag1>";
    if (!firstRow.empty()) summary += "<Tag4>轉入銀行</Tag4><Tag5>" + firstRow + "</Tag5>";
    return summary + "<Tag6>轉出帳號</Tag6><Tag7>" + kCardAccount +
           "</Tag7><Tag10>轉入帳號</Tag10><Tag12>金額</Tag12><Tag13>NT$ 500</Tag13></MSG>";
}

struct AgreedSession {
    std::string id;
    std::string sessionKeyHash;
    std::string cpukEncSessionKey;
};

class GuidedTransferThroughTheHost : public ScriptedHostTest {
  protected:
    void SetUp() override {
        ScriptedHostTest::SetUp();
        if (IsSkipped()) return;
        std::string error;
        bank_ = banksim::LoadBankService(banksim::DefaultKeyFolder(), banksim::DefaultCardProfile(),
                                         &error);
        ASSERT_TRUE(bank_) << error;
    }

    json Bank(const std::string& path, const json& request) {
        const banksim::ServiceReply reply = bank_->Handle(path, request);
        EXPECT_EQ(reply.status, 200) << path << " " << reply.body.dump();
        return reply.body;
    }

    // The page's key agreement: the bank's RN1 to the host, the host's
    // answer to the bank, the bank's session key back to the host.
    AgreedSession Agree() {
        const json start = Bank("/session/start", json::object());
        EXPECT_EQ(Call("VerifyRN1andGenerateRN2",
                       json::array({start["rn1Len"], start["encryptedRn1"], start["signatureLen"],
                                    start["signature"]})),
                  0);
        const json answer =
            Bank("/session/answer", {{"sessionId", start["sessionId"]},
                                     {"encryptRN2", Call("GetEncryptRN2")},
                                     {"encryptHashRN2", Call("GetEncryptHashRN2")},
                                     {"sessionKeyHash", Call("GetSessionKeyHash")}});
        EXPECT_EQ(answer["ok"], true) << answer.dump();
        AgreedSession session{start.value("sessionId", ""), answer.value("sessionKeyHash", ""),
                              answer.value("cpukEncSessionKey", "")};
        EXPECT_EQ(Call("VerifySessionKeyHash",
                       json::array({session.cpukEncSessionKey, session.sessionKeyHash})),
                  0);
        return session;
    }

    // A session the bank holds under a fixed key (hexadecimal, 16 bytes),
    // with the values the page would have from it.
    AgreedSession SessionUnderKey(const std::string& keyHex) {
        const auto offer = OfferSessionKeyOf(keyHex);
        const auto id = bank_->RestoreSession(
            json{{"stage", "established"}, {"rn1", "01"}, {"sessionKey", keyHex}});
        EXPECT_TRUE(id);
        if (!offer || !id) return {};
        return {*id, offer->sessionKeyHash, offer->encryptedSessionKey};
    }

    // The bank's transfer document for `session`, its lists enciphered under
    // that session's key when `encipher`.
    std::string TransferDocument(const AgreedSession& session, bool encipher = false) {
        const json document =
            Bank("/session/transfer-document", {{"sessionId", session.id}, {"encipher", encipher}});
        EXPECT_EQ(document["ok"], true) << document.dump();
        return document.value("document", "");
    }

    json TransferParams(const AgreedSession& session, const std::string& document,
                        const std::string& serviceType = "0",
                        const std::string& summary = TransferSummary()) {
        return json::array({"2521", kFdid, kFdChkCode, kMoney, kCardAccount, reader(), "123456",
                            summary, session.sessionKeyHash, session.cpukEncSessionKey, document,
                            serviceType});
    }
    // TransferProcSnd takes no PIN.
    json TransferSndParams(const AgreedSession& session, const std::string& document,
                           const std::string& serviceType) {
        json params = TransferParams(session, document, serviceType);
        params.erase(6);
        return params;
    }

    // Sends `method`; `windows` windows come up; once the last is up the
    // customer takes the card out and puts it back when `takeOut`.
    json CallTransfer(const std::string& method, const json& params, std::size_t windows,
                      bool takeOut) {
        SendCall(method, params);
        EXPECT_TRUE(WaitForWindows(stderr_.path(), windows, 20s)) << HostErrors();
        if (takeOut) TakeCardOutAndPutBack();
        return ReadAnswer();
    }
    json CallTransferProc(const json& params, std::size_t windows, bool takeOut) {
        return CallTransfer("TransferProc", params, windows, takeOut);
    }

    bool CardGotATransactionRecord() const {
        for (const auto& written : card_->WrittenRecords()) {
            if (written.ins == 0xE2) return true;
        }
        return false;
    }

    // What the page sends the bank after the call: the enciphered transfer
    // values, the card's answer and the fields of the record.
    json GuidedTransferReport(const AgreedSession& session, const std::string& serviceType) {
        json report = {{"sessionId", session.id}, {"serviceType", serviceType},
                       {"pFdid", kFdid},          {"pFdChkCode", kFdChkCode},
                       {"pMoney", kMoney},        {"pAccount", kCardAccount}};
        report["encImportAccount"] = Call("GetEncImportAccount");
        report["clearImportAccount"] = Call("GetClearImportAccount");
        report["snum"] = Call("GetRespSNUM");
        report["tac"] = Call("GetRespTAC");
        report["dateTime"] = Call("GetRespDateTime");
        report["issuer"] = Call("GetTransactionIssuer");
        report["remark"] = Call("GetTransactionRemark");
        report["account"] = Call("GetTransactionAccount");
        return report;
    }

    std::unique_ptr<banksim::BankService> bank_;
};

TEST_F(GuidedTransferThroughTheHost, CommonAccountChosenAndConfirmedIsAcceptedByTheBank) {
    StartCard(kPlainReader);
    // The transfer dialog: the common accounts, the first one (the landlord
    // at bank 004, with an e-mail address), OK. Then the confirmation: OK
    // once it is enabled, which is after the take-out and put-back.
    StartHost(
        "press 1038\nchoose 1091 0\npress 1\nwait 500\n"
        "wait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    ASSERT_EQ(CallTransferProc(TransferParams(session, TransferDocument(session)), 2, true), 0)
        << HostErrors();
    EXPECT_TRUE(CardGotATransactionRecord());

    const json report = GuidedTransferReport(session, "0");
    const json accepted = Bank("/transaction/guided-transfer", report);
    EXPECT_EQ(accepted["ok"], true) << accepted.dump() << " " << report.dump();
    EXPECT_EQ(accepted["bankCode"], "004") << accepted.dump();
    EXPECT_NE(accepted.value("transferInAccount", "").find("123456789"), std::string::npos)
        << accepted.dump();
    EXPECT_EQ(accepted["email"], "landlord@example.com") << accepted.dump();
    const std::string code = accepted.value("processingCode", "");
    EXPECT_TRUE(code >= "2521" && code <= "2524") << code;

    // The bank takes an SNUM and TAC pair once.
    const json replayed = Bank("/transaction/guided-transfer", report);
    EXPECT_EQ(replayed["ok"], false) << replayed.dump();
}

TEST_F(GuidedTransferThroughTheHost, AgreedAccountFromAnEncipheredListIsAcceptedByTheBank) {
    StartCard(kPlainReader);
    // The dialog opens on the agreed accounts; the second one (a mortgage
    // account at bank 004) is read again from the enciphered list on OK.
    StartHost("choose 1093 1\npress 1\nwait 500\nwait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    const std::string document = TransferDocument(session, true);
    ASSERT_EQ(document.find("0001234567890123"), std::string::npos) << "the lists are in clear";
    // The transfer-in bank shows in the first row: a transfer within that
    // bank, 2523, and so the transfer record.
    ASSERT_EQ(CallTransferProc(
                  TransferParams(session, document, "0", TransferSummary("004 臺灣銀行")), 2, true),
              0)
        << HostErrors();

    const json accepted = Bank("/transaction/guided-transfer", GuidedTransferReport(session, "0"));
    EXPECT_EQ(accepted["ok"], true) << accepted.dump();
    EXPECT_EQ(accepted["category"], "0");
    EXPECT_EQ(accepted["bankCode"], "004");
    EXPECT_EQ(accepted["transferInAccount"], "0001234567890123");
    EXPECT_EQ(accepted["processingCode"], "2523");
    EXPECT_EQ(accepted["record"], "transfer");
    EXPECT_EQ(accepted["email"], "");
    EXPECT_EQ(Call("GetClearImportAccount"), "004||0001234567890123||0||2523||");
    // Only the two dialogs: no message box on the way.
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 2u) << HostErrors();
}

TEST_F(GuidedTransferThroughTheHost,
       OtherAccountOnTheKeypadAddedToTheCommonAccountsIsAcceptedByTheBank) {
    StartCard(kPlainReader);
    // Another account: a 9-digit account on the graphical keypad while the
    // dialog is still on the agreed accounts (the first key selects another
    // account, which enables "加入常用帳號"), the box checked, the bank from
    // the list (006), an e-mail address.
    StartHost(
        "key 1\nkey 2\nkey 3\nkey 4\nkey 5\nkey 6\nkey 7\nkey 8\nkey 9\n"
        "press 1081\n"
        "choose 1092 1\n"
        "type 1002 me@example.com\n"
        "wait 300\npress 1\nwait 500\nwait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    ASSERT_EQ(CallTransferProc(TransferParams(session, TransferDocument(session)), 2, true), 0)
        << HostErrors();

    const json accepted = Bank("/transaction/guided-transfer", GuidedTransferReport(session, "0"));
    EXPECT_EQ(accepted["ok"], true) << accepted.dump();
    EXPECT_EQ(accepted["category"], "3");
    EXPECT_EQ(accepted["bankCode"], "006");
    EXPECT_EQ(accepted["transferInAccount"], "0000000123456789");
    EXPECT_EQ(accepted["email"], "me@example.com");
    // Neither bank shows in the summary: the home bank's own accounts and
    // the others' differ.
    EXPECT_EQ(accepted["processingCode"], std::string(kHomeBank) == "006" ? "2522" : "2524");
    EXPECT_EQ(accepted["record"], "transfer");
}

TEST_F(GuidedTransferThroughTheHost, TransferProcSndOnAPinPadReaderIsAcceptedByTheBank) {
    StartCard("ACS APG8201");
    ASSERT_TRUE(card_->PadTypes("123456"));
    // Another account typed on the normal keyboard at bank 812.
    StartHost(
        "press 1039\npress 1041\nchoose 1092 3\n"
        "type 1001 0058100011112222\n"
        "wait 300\npress 1\nwait 500\nwait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    ASSERT_EQ(CallTransfer("TransferProcSnd",
                           TransferSndParams(session, TransferDocument(session), "2"), 2, true),
              0)
        << HostErrors();
    // One write, which the pad let through with the PIN typed on it.
    const auto written = card_->WrittenRecords();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].ins, 0xE2);

    // ServiceType 2 with a code other than 2523: the 64-byte record.
    const json accepted = Bank("/transaction/guided-transfer", GuidedTransferReport(session, "2"));
    EXPECT_EQ(accepted["ok"], true) << accepted.dump();
    EXPECT_EQ(accepted["category"], "2");
    EXPECT_EQ(accepted["bankCode"], "812");
    EXPECT_EQ(accepted["transferInAccount"], "0058100011112222");
    EXPECT_EQ(accepted["processingCode"], std::string(kHomeBank) == "812" ? "2562" : "2564");
    EXPECT_EQ(accepted["record"], "64-byte");
}

TEST_F(GuidedTransferThroughTheHost, CancelInTheTransferDialogAnswers20756AndWritesNothing) {
    StartCard(kPlainReader);
    StartHost("wait-enabled 2\npress 2\n");
    const AgreedSession session = Agree();
    EXPECT_EQ(CallTransferProc(TransferParams(session, TransferDocument(session)), 1, false),
              kCancelled);
    EXPECT_FALSE(CardGotATransactionRecord()) << "a transaction record reached the card";
    // Only the transfer dialog came up: no confirmation after a cancel.
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 1u) << HostErrors();
}

TEST_F(GuidedTransferThroughTheHost, CancelInTheConfirmationAnswers20756AndWritesNothing) {
    StartCard(kPlainReader);
    // The agreed account the dialog opens on, OK; then Cancel in the
    // confirmation without the card ever taken out.
    StartHost("press 1\nwait 500\nwait-enabled 2\npress 2\n");
    const AgreedSession session = Agree();
    EXPECT_EQ(CallTransferProc(TransferParams(session, TransferDocument(session)), 2, false),
              kCancelled)
        << HostErrors();
    EXPECT_TRUE(card_->WrittenRecords().empty()) << "something reached the card";
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 2u) << HostErrors();
    // The kept transfer values change only once the confirmation is done.
    EXPECT_EQ(Call("GetClearImportAccount"), "");
    EXPECT_EQ(Call("GetEncImportAccount"), "");
}

TEST_F(GuidedTransferThroughTheHost, SummaryWithoutTheAccountAnswers20757BeforeTheConfirmation) {
    StartCard(kPlainReader);
    StartHost("press 1\n");
    const AgreedSession session = Agree();
    json params = TransferParams(session, TransferDocument(session));
    std::string summary = TransferSummary();
    summary.replace(summary.find(kCardAccount), 16, "0058100099999999");
    params[7] = summary;
    EXPECT_EQ(CallTransferProc(params, 1, false), 20757) << HostErrors();
    EXPECT_TRUE(card_->WrittenRecords().empty());
    // The confirmation ended before it was shown.
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 1u) << HostErrors();
}

TEST_F(GuidedTransferThroughTheHost, WrongPinAfterTheConfirmationWritesNothingButKeepsTheValues) {
    StartCard(kPlainReader);
    // A common account without an e-mail address (mother's post office account).
    StartHost("press 1038\nchoose 1091 1\npress 1\nwait 500\nwait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    json params = TransferParams(session, TransferDocument(session));
    params[6] = "654321";
    EXPECT_EQ(CallTransferProc(params, 2, true), 1) << "the card's wrong-PIN answer";
    EXPECT_TRUE(card_->WrittenRecords().empty()) << "something reached the card";
    // The confirmed transfer values are kept before the PIN is tried: the
    // result code tells the page not to use them.
    EXPECT_EQ(Call("GetClearImportAccount"), "700||00012345678901||1||2524||");
    EXPECT_NE(Call("GetEncImportAccount"), "");
}

TEST_F(GuidedTransferThroughTheHost, DocumentWithTwoFieldElementsAnswers20998AndClosesTheSession) {
    StartCard(kPlainReader);
    // No window for the short document; the transfer dialog of the next
    // call is cancelled.
    StartHost("wait-enabled 2\npress 2\n");
    const AgreedSession session = Agree();
    const std::string document = TransferDocument(session);
    std::string shortDocument = document.substr(0, document.rfind("<AtmNode"));
    ASSERT_EQ(CountOf(shortDocument, "<AtmNode"), 2u);
    // A third element in another case is not counted.
    shortDocument +=
        "<atmnode Name=\"其他帳號\" Type=\"0\" Ciph=\"0\">004 臺灣銀行%%004;;</atmnode>";

    EXPECT_EQ(Call("TransferProc", TransferParams(session, shortDocument)),
              kTransferConfigIncomplete)
        << HostErrors();
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 0u) << HostErrors();
    // The call connected the card and closed the session again.
    EXPECT_EQ(Call("CheckCardInsert"), -1);
    EXPECT_TRUE(card_->WrittenRecords().empty());

    // A later call connects again and shows its dialog.
    EXPECT_EQ(CallTransferProc(TransferParams(session, document), 1, false), kCancelled)
        << HostErrors();
}

TEST_F(GuidedTransferThroughTheHost, ListsEncipheredUnderAnotherSessionKeyAreRefusedWithAMessage) {
    StartCard(kPlainReader);
    // Each of the three lists fails with a message box; the dialog then has
    // nothing to choose from and the person cancels.
    StartHost("press 1\npress 1\npress 1\nwait-enabled 2\npress 2\n");
    // Fixed keys, so fixed texts: deciphered under a wrong key a list still
    // passes the padding check about once in 32, and under these two keys
    // none of the three does.
    const AgreedSession session = SessionUnderKey("00112233445566778899AABBCCDDEEFF");
    const AgreedSession other = SessionUnderKey("F0E1D2C3B4A5968778695A4B3C2D1E0F");
    const std::string document = TransferDocument(other, true);

    EXPECT_EQ(CallTransferProc(TransferParams(session, document), 4, false), kCancelled)
        << HostErrors();
    const std::string errors = HostErrors();
    EXPECT_EQ(CountOf(errors, "message \"獲取XML下拉選單資料失敗\""), 3u) << errors;
    EXPECT_EQ(CountOf(errors, "shown \"Qorv銀行 網路ATM - 轉帳\""), 1u) << errors;
    EXPECT_TRUE(card_->WrittenRecords().empty());
    EXPECT_EQ(Call("GetClearImportAccount"), "");
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
