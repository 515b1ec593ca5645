// The guided transfer through the real host: key agreement with the bank
// simulator, the bank's transfer document, the transfer dialog and the
// confirmation on Qt's offscreen platform driven by the scripted person, a
// real take-out and put-back of the simulated card while the confirmation
// waits, and the bank checking the transfer values and the card's TAC.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/host_window_files.h"
#include "support/host_process.h"
#include "tools/banksim/bank_setup.h"
#include "tools/hostclient/host_client.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::testing {
namespace {

#ifdef QORV_TEST_HOOKS

using nlohmann::json;
using namespace std::chrono_literals;

constexpr char kCardAccount[] = "0058100012345678";
constexpr char kFdid[] = "12345678";
constexpr char kFdChkCode[] = "ABCDEFGH";
constexpr char kMoney[] = "00000000050000";
constexpr char kShownLine[] = "qorvclientatm-host: shown \"";
constexpr int kCancelled = 20756;

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Waits until the host has reported `windows` windows shown.
bool WaitForWindows(const std::string& path, std::size_t windows,
                    std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (CountOf(ReadAll(path), kShownLine) >= windows) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// The transfer-in account is not in the summary: the dialog shows the one
// the customer chose.
std::string TransferSummary() {
    return std::string("<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>") +
           kCardAccount +
           "</Tag7><Tag10>轉入帳號</Tag10><Tag12>金額</Tag12><Tag13>NT$ 500</Tag13></MSG>";
}

struct AgreedSession {
    std::string id;
    std::string sessionKeyHash;
    std::string cpukEncSessionKey;
};

class GuidedTransferThroughTheHost : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        bank_ = banksim::LoadBankService(banksim::DefaultKeyFolder(), banksim::DefaultCardProfile(),
                                         &error);
        ASSERT_TRUE(bank_) << error;
        bed_ = testbed::PcscTestBed::Start({{"Virtual PCD"}}, &error);
        ASSERT_TRUE(bed_) << error;
        card_ = testbed::SimulatedCard::Start(bed_->vpcdPort(0), testbed::CardProtocol::T1,
                                              testbed::DefaultProfilePath(), true, &error);
        ASSERT_TRUE(card_) << error;
        ASSERT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Present));
    }

    // The host with a display (offscreen) and the person acting by `script`.
    void StartHost(const std::string& script) {
        script_ = std::make_unique<TempFile>(script);
        host_ = std::make_unique<hostclient::HostClient>(
            HostPath(),
            std::vector<std::string>{"QT_QPA_PLATFORM=offscreen",
                                     "QORV_SCRIPTED_PERSON=" + script_->path(),
                                     "QORV_REPORT_WINDOWS=1", "DISPLAY=", "WAYLAND_DISPLAY=",
                                     "LSAN_OPTIONS=suppressions=" QORV_HOST_LSAN_SUPPRESSIONS},
            std::vector<std::string>{}, stderr_.path());
    }
    std::string reader() const { return bed_->readerName(0); }

    json Call(const std::string& method, const json& params = json::array()) {
        const auto reply = host_->Call(method, params);
        EXPECT_TRUE(reply) << method << " not answered";
        return reply ? (*reply)["result"] : json();
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

    json TransferParams(const AgreedSession& session, const std::string& document) {
        return json::array({"2521", kFdid, kFdChkCode, kMoney, kCardAccount, reader(), "123456",
                            TransferSummary(), session.sessionKeyHash, session.cpukEncSessionKey,
                            document, "0"});
    }

    // Sends TransferProc; `windows` windows come up; once the last is up the
    // customer takes the card out and puts it back when `takeOut`.
    json CallTransferProc(const json& params, std::size_t windows, bool takeOut) {
        EXPECT_TRUE(host_->SendFrame(
            json{{"id", 100}, {"method", "TransferProc"}, {"params", params}}.dump()));
        EXPECT_TRUE(WaitForWindows(stderr_.path(), windows, 20s)) << ReadAll(stderr_.path());
        if (takeOut) {
            std::this_thread::sleep_for(300ms);  // a few polls with the card in
            EXPECT_TRUE(card_->Remove());
            EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Absent));
            std::this_thread::sleep_for(600ms);  // polls that find no card
            EXPECT_TRUE(card_->Insert());
            EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Present));
        }
        std::string reply;
        EXPECT_TRUE(host_->ReadFrame(reply, 30000)) << ReadAll(stderr_.path());
        if (reply.empty()) return json();
        const json answer = json::parse(reply);
        EXPECT_EQ(answer["id"], 100);
        return answer["result"];
    }

    bool CardGotATransactionRecord() const {
        for (const auto& written : card_->WrittenRecords()) {
            if (written.ins == 0xE2) return true;
        }
        return false;
    }

    void TearDown() override {
        if (host_) {
            EXPECT_EQ(host_->CloseAndWait(), 0);
            const std::string text = ReadAll(stderr_.path());
            EXPECT_EQ(text.find("gives up"), std::string::npos) << text;
        }
        host_.reset();
        card_.reset();
        bed_.reset();
    }

    std::unique_ptr<banksim::BankService> bank_;
    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<hostclient::HostClient> host_;
    std::unique_ptr<TempFile> script_;
    TempFile stderr_;
};

TEST_F(GuidedTransferThroughTheHost, CommonAccountChosenAndConfirmedIsAcceptedByTheBank) {
    if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    // The transfer dialog: the common accounts, the first one (the landlord
    // at bank 004, with an e-mail address), OK. Then the confirmation: OK
    // once it is enabled, which is after the take-out and put-back.
    StartHost(
        "press 1038\nchoose 1091 0\npress 1\nwait 500\n"
        "wait-enabled 1\npress 1\n");
    const AgreedSession session = Agree();
    const json document = Bank("/session/transfer-document", {{"sessionId", session.id}});
    ASSERT_EQ(document["ok"], true) << document.dump();

    ASSERT_EQ(CallTransferProc(TransferParams(session, document["document"]), 2, true), 0)
        << ReadAll(stderr_.path());
    EXPECT_TRUE(CardGotATransactionRecord());

    json report = {{"sessionId", session.id},  {"serviceType", "0"}, {"pFdid", kFdid},
                   {"pFdChkCode", kFdChkCode}, {"pMoney", kMoney},   {"pAccount", kCardAccount}};
    report["encImportAccount"] = Call("GetEncImportAccount");
    report["clearImportAccount"] = Call("GetClearImportAccount");
    report["snum"] = Call("GetRespSNUM");
    report["tac"] = Call("GetRespTAC");
    report["dateTime"] = Call("GetRespDateTime");
    report["issuer"] = Call("GetTransactionIssuer");
    report["remark"] = Call("GetTransactionRemark");
    report["account"] = Call("GetTransactionAccount");
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

TEST_F(GuidedTransferThroughTheHost, CancelInTheTransferDialogAnswers20756AndWritesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    StartHost("wait-enabled 2\npress 2\n");
    const AgreedSession session = Agree();
    const json document = Bank("/session/transfer-document", {{"sessionId", session.id}});
    ASSERT_EQ(document["ok"], true) << document.dump();

    EXPECT_EQ(CallTransferProc(TransferParams(session, document["document"]), 1, false),
              kCancelled);
    EXPECT_FALSE(CardGotATransactionRecord()) << "a transaction record reached the card";
    // Only the transfer dialog came up: no confirmation after a cancel.
    EXPECT_EQ(CountOf(ReadAll(stderr_.path()), kShownLine), 1u) << ReadAll(stderr_.path());
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
