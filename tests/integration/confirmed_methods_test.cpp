// The confirmed card methods through the real host, its confirmation dialog
// on Qt's offscreen platform, the scripted person, and a real take-out and
// put-back of the simulated card while the dialog waits. The bank simulator
// checks the transfer's SNUM and TAC.
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
constexpr char kTransferIn[] = "81200581000123456789";
constexpr char kShown[] = "shown \"Qorv銀行_網路Tellra\"";

bool WaitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::string TransferSummary() {
    return std::string("<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>") +
           kCardAccount + "</Tag7><Tag10>轉入帳號</Tag10><Tag11>" +
           std::string(kTransferIn).substr(0, 16) +
           "</Tag11><Tag12>金額</Tag12><Tag13>NT$ 500</Tag13></MSG>";
}

class ConfirmedThroughTheHost : public ::testing::Test {
  protected:
    // The test bed with one reader named `friendlyName` and the card in it.
    void StartCard(const std::string& friendlyName) {
        std::string error;
        bed_ = testbed::PcscTestBed::Start({{friendlyName}}, &error);
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
            HostPath(), ScriptedHostEnvironment(script_->path()), std::vector<std::string>{},
            stderr_.path());
    }
    std::string reader() const { return bed_->readerName(0); }

    json Call(const std::string& method, const json& params = json::array()) {
        const auto reply = host_->Call(method, params);
        EXPECT_TRUE(reply) << method << " not answered";
        return reply ? (*reply)["result"] : json();
    }

    // Sends the call; once the dialog is up, the customer takes the card out
    // and puts it back. Returns the call's result.
    json CallConfirmed(const std::string& method, const json& params, bool takeOut) {
        EXPECT_TRUE(
            host_->SendFrame(json{{"id", 100}, {"method", method}, {"params", params}}.dump()));
        EXPECT_TRUE(WaitForText(stderr_.path(), kShown, 20s)) << ReadAll(stderr_.path());
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

    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<hostclient::HostClient> host_;
    std::unique_ptr<TempFile> script_;
    TempFile stderr_;
};

json TransferParams(const std::string& reader) {
    return json::array({"2521", "12345678", "ABCDEFGH", "00000000050000", kTransferIn, kCardAccount,
                        reader, "123456", TransferSummary()});
}

TEST_F(ConfirmedThroughTheHost, TransferConfirmedAfterATakeOutAndPutBackIsAcceptedByTheBank) {
    if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    std::string error;
    const auto bank = banksim::LoadBankService(banksim::DefaultKeyFolder(),
                                               banksim::DefaultCardProfile(), &error);
    ASSERT_TRUE(bank) << error;
    StartCard("Virtual PCD");
    StartHost("wait-enabled 1\npress 1\n");
    ASSERT_EQ(CallConfirmed("AccountTransferEx", TransferParams(reader()), true), 0);

    json report = {{"kind", "transfer"},         {"pPCode", "2521"},
                   {"pFdid", "12345678"},        {"pFdChkCode", "ABCDEFGH"},
                   {"pMoney", "00000000050000"}, {"pImprtAccnt", kTransferIn},
                   {"pAccount", kCardAccount}};
    report["snum"] = Call("GetRespSNUM");
    report["tac"] = Call("GetRespTAC");
    report["dateTime"] = Call("GetRespDateTime");
    report["issuer"] = Call("GetTransactionIssuer");
    report["remark"] = Call("GetTransactionRemark");
    report["account"] = Call("GetTransactionAccount");
    const banksim::ServiceReply reply = bank->Handle("/transaction", report);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body["ok"], true) << reply.body.dump() << " " << report.dump();
}

TEST_F(ConfirmedThroughTheHost, CancelledTransferSendsNoWriteAndAnswers20756) {
    if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    StartCard("Virtual PCD");
    StartHost("wait-enabled 2\npress 2\n");
    EXPECT_EQ(CallConfirmed("AccountTransferEx", TransferParams(reader()), false), 20756);
    for (const auto& written : card_->WrittenRecords()) {
        EXPECT_NE(written.ins, 0xE2) << "a transaction record reached the card";
    }
}

TEST_F(ConfirmedThroughTheHost, VerifyOnAPinPadReaderAfterTheConfirmation) {
    if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    StartCard("ACS APG8201");
    ASSERT_TRUE(card_->PadTypes("123456"));
    StartHost("wait-enabled 1\npress 1\n");
    ASSERT_EQ(Call("ConnectCard", json::array({reader()})), 0);
    const std::string summary =
        "<MSG><Tag1>驗證晶片密碼</Tag1><Tag2>請於讀卡機上輸入密碼</Tag2></MSG>";
    EXPECT_EQ(CallConfirmed("VerifyPINSndEx", json::array({summary}), true), 0);
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
