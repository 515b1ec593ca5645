// Transactions the simulated card authorised through the real host, reported
// to the bank simulator the way the bank page posts them: the bank rebuilds
// each record from the page's values and checks the card's TAC.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "support/host_process.h"
#include "tools/banksim/bank_setup.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

const std::string kCardAccount = "0058100012345678";

class BankChecksCardTransactions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
        std::string error;
        service_ = LoadBankService(DefaultKeyFolder(), DefaultCardProfile(), &error);
        ASSERT_TRUE(service_) << error;
        bed_ = testbed::PcscTestBed::Start({{"Virtual PCD"}}, &error);
        ASSERT_TRUE(bed_) << error;
        card_ = testbed::SimulatedCard::Start(bed_->vpcdPort(0), testbed::CardProtocol::T1,
                                              testbed::DefaultProfilePath(), true, &error);
        ASSERT_TRUE(card_) << error;
        ASSERT_TRUE(testbed::WaitForCard(bed_->readerName(0), testbed::CardPresence::Present));
        // The test bed put its socket into this process's environment.
        host_ = std::make_unique<testing::HostProcess>();
        ASSERT_EQ(host_->Call("ConnectCard", json::array({bed_->readerName(0)})), 0);
        ASSERT_EQ(host_->Call("VerifyPIN", json::array({"123456"})), 0);
    }
    void TearDown() override {
        if (host_) {
            EXPECT_EQ(host_->CloseAndWait(), 0);
        }
        host_.reset();
        card_.reset();
        bed_.reset();
    }

    // Runs the method with the named arguments and returns what the page posts.
    json Authorise(const std::string& method, const std::string& kind,
                   const std::vector<std::pair<std::string, std::string>>& arguments) {
        json params = json::array();
        json report = {{"kind", kind}};
        for (const auto& [name, value] : arguments) {
            params.push_back(value);
            report[name] = value;
        }
        EXPECT_EQ(host_->Call(method, params), 0) << method;
        report["snum"] = host_->Call("GetRespSNUM");
        report["tac"] = host_->Call("GetRespTAC");
        report["dateTime"] = host_->Call("GetRespDateTime");
        report["issuer"] = host_->Call("GetTransactionIssuer");
        report["remark"] = host_->Call("GetTransactionRemark");
        report["account"] = host_->Call("GetTransactionAccount");
        return report;
    }
    json Post(const json& report) {
        const ServiceReply reply = service_->Handle("/transaction", report);
        EXPECT_EQ(reply.status, 200);
        return reply.body;
    }

    std::unique_ptr<BankService> service_;
    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<testing::HostProcess> host_;
};

TEST_F(BankChecksCardTransactions, EveryKindIsAcceptedOnceAndAlteredValuesAreRefused) {
    const json withdraw = Authorise("AccountWithdraw", "withdraw",
                                    {{"pPCode", "2541"},
                                     {"pFdid", "12345678"},
                                     {"pFdChkCode", "ABCDEFGH"},
                                     {"pMoney", "00000000001000"},
                                     {"pAccount", kCardAccount}});
    EXPECT_EQ(Post(withdraw),
              (json{{"ok", true}, {"message", "withdraw accepted: SNUM 00000001"}}));
    const json transfer = Authorise("AccountTransfer", "transfer",
                                    {{"pPCode", "2521"},
                                     {"pFdid", "12345678"},
                                     {"pFdChkCode", "ABCDEFGH"},
                                     {"pMoney", "00000000050000"},
                                     {"pImprtAccnt", "81200581000123456789"},
                                     {"pAccount", kCardAccount}});
    EXPECT_EQ(Post(transfer)["ok"], true) << transfer.dump();
    const json payment = Authorise("AccountPayment", "payment",
                                   {{"pPCode", "2561"},
                                    {"pFdid", "12345678"},
                                    {"pFdChkCode", "ABCDEFGH"},
                                    {"pMoney", "00000000000500"},
                                    {"pPaymentType", "PTYPE"},
                                    {"pCancelNo", "CANCEL0000000001"},
                                    {"pAccount", kCardAccount}});
    EXPECT_EQ(Post(payment)["ok"], true) << payment.dump();
    const json inquiry = Authorise(
        "AccountInquiry", "inquiry",
        {{"pPCode", "2500"}, {"pFdChkCode", "ABCDEFGH"}, {"pAccountNumber", kCardAccount}});
    EXPECT_EQ(Post(inquiry)["ok"], true) << inquiry.dump();

    EXPECT_EQ(Post(withdraw)["message"],
              "SNUM 00000001 with this TAC was already accepted (replay)");
    json richer = payment;
    richer["pMoney"] = "00000000900000";
    EXPECT_EQ(Post(richer)["message"],
              "the TAC does not match the 85-byte payment record built from the fields");
    json otherKind = withdraw;
    otherKind["kind"] = "payTax";  // same layout: the processing code alone tells them apart
    EXPECT_EQ(Post(otherKind)["ok"], false);
}

}  // namespace
}  // namespace qorv::banksim
