// The confirmed card methods through the real host, its confirmation dialog
// on Qt's offscreen platform, the scripted person, and a real take-out and
// put-back of the simulated card while the dialog waits. The bank simulator
// checks the transfer's SNUM and TAC.
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
constexpr char kTransferIn[] = "81200581000123456789";
constexpr char kShown[] = "shown \"Qorv銀行_網路Tellra\"";

std::string TransferSummary() {
    return std::string("<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag6>轉出帳號</Tag6><Tag7>") +
           kCardAccount + "</Tag7><Tag10>轉入帳號</Tag10><Tag11>" +
           std::string(kTransferIn).substr(0, 16) +
           "</Tag11><Tag12>金額</Tag12><Tag13>NT$ 500</Tag13></MSG>";
}

class ConfirmedThroughTheHost : public ScriptedHostTest {
  protected:
    // Sends the call; once the dialog is up, the customer takes the card out
    // and puts it back. Returns the call's result.
    json CallConfirmed(const std::string& method, const json& params, bool takeOut) {
        SendCall(method, params);
        EXPECT_TRUE(WaitForText(stderr_.path(), kShown, 20s)) << HostErrors();
        if (takeOut) TakeCardOutAndPutBack();
        return ReadAnswer();
    }
};

json TransferParams(const std::string& reader) {
    return json::array({"2521", "12345678", "ABCDEFGH", "00000000050000", kTransferIn, kCardAccount,
                        reader, "123456", TransferSummary()});
}

TEST_F(ConfirmedThroughTheHost, TransferConfirmedAfterATakeOutAndPutBackIsAcceptedByTheBank) {
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
    StartCard("Virtual PCD");
    StartHost("wait-enabled 2\npress 2\n");
    EXPECT_EQ(CallConfirmed("AccountTransferEx", TransferParams(reader()), false), 20756);
    for (const auto& written : card_->WrittenRecords()) {
        EXPECT_NE(written.ins, 0xE2) << "a transaction record reached the card";
    }
}

TEST_F(ConfirmedThroughTheHost, VerifyOnAPinPadReaderAfterTheConfirmation) {
    StartCard("ACS APG8201");
    ASSERT_TRUE(card_->PadTypes("123456"));
    StartHost("wait-enabled 1\npress 1\n");
    ASSERT_EQ(Call("ConnectCard", json::array({reader()})), 0);
    const std::string summary =
        "<MSG><Tag1>驗證晶片密碼</Tag1><Tag2>請於讀卡機上輸入密碼</Tag2></MSG>";
    EXPECT_EQ(CallConfirmed("VerifyPINSndEx", json::array({summary}), true), 0);
}

// A summary that relabels another figure as the transfer amount is refused
// before any window or card command, through the whole host.
TEST_F(ConfirmedThroughTheHost, RelabelledAmountIsRefusedBeforeAnyWindow) {
    StartCard("Virtual PCD");
    StartHost("press 1\n");
    json params = TransferParams(reader());
    std::string summary = TransferSummary();
    summary.insert(summary.find("</MSG>"), "<Tag14>轉帳金額</Tag14><Tag15>５０</Tag15>");
    params[8] = summary;
    EXPECT_EQ(Call("AccountTransferEx", params), 20758);
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 0u) << HostErrors();
    EXPECT_TRUE(card_->WrittenRecords().empty());
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
