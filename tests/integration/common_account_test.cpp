// The guided common-account entry through the real host: the multi-field
// entry dialog and the confirmation on Qt's offscreen platform, the scripted
// person filling in the form, a real take-out and put-back of the simulated
// card while the confirmation waits, and the bank simulator reading back the
// values the host enciphered under the session key.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/host_window_files.h"
#include "support/host_process.h"
#include "tools/banksim/bank_keys.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/key_agreement.h"
#include "tools/banksim/openssl_primitives.h"
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

constexpr int kPinPadRequired = 20486;
constexpr char kSessionKey[] = "00112233445566778899AABBCCDDEEFF";
constexpr char kShownLine[] = "shown \"";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Waits until the host reported `windows` windows shown.
bool WaitForWindows(const std::string& path, std::size_t windows,
                    std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Count(ReadAll(path), kShownLine) >= windows) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// The bank's common-account form with the card-PIN row first, so that it is
// the row the keypad serves when the dialog opens (a person would click it;
// the scripted one has no mouse). The row carries no value, so the joined
// output is the one the bank reads by its own form: bank code, account,
// nickname. Nothing is pre-filled: the person enters every value.
constexpr char kFormWithPin[] =
    "<FunType>0</FunType>"
    "<Caption>Qorv銀行 網路ATM</Caption>"
    "<Title>常用轉入帳號 - 新增</Title>"
    "<TimeOut>180</TimeOut>"
    "<KeyOrder>0</KeyOrder>"
    "<FoxShow>0</FoxShow>"
    "<AtmNode Name=\"晶片卡密碼\" Type=\"6\" KeyType=\"7\" Ciph=\"0\" min=\"6\" Default=\"12\"/>"
    "<AtmNode Name=\"轉入銀行\" Type=\"0\" KeyType=\"0\" Ciph=\"0\" min=\"0\" Default=\"0\">"
    "004 臺灣銀行%%004;;812 Qorv銀行%%812;;822 中國信託%%822;;</AtmNode>"
    "<AtmNode Name=\"轉入帳號\" Type=\"3\" KeyType=\"2\" Ciph=\"0\" min=\"1\" Default=\"16\"/>"
    "<AtmNode Name=\"帳號暱稱\" Type=\"5\" KeyType=\"2\" Ciph=\"0\" min=\"0\" Default=\"20\"/>";

class CommonAccountThroughTheHost : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
        std::string error;
        bank_ = banksim::LoadBankService(banksim::DefaultKeyFolder(), banksim::DefaultCardProfile(),
                                         &error);
        ASSERT_TRUE(bank_) << error;
        const auto keys = banksim::BankKeys::LoadFolder(banksim::DefaultKeyFolder(), &error);
        ASSERT_TRUE(keys) << error;
        const auto offer = banksim::OfferSessionKey(*keys, *banksim::FromHex(kSessionKey));
        ASSERT_TRUE(offer.ok()) << offer.error;
        keyHash_ = offer.value->sessionKeyHash;
        encryptedKey_ = offer.value->encryptedSessionKey;
        const auto session = bank_->RestoreSession(
            json{{"stage", "established"}, {"rn1", "01"}, {"sessionKey", kSessionKey}});
        ASSERT_TRUE(session);
        session_ = *session;
    }

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

    // The bank's own document for `form` ("pin" or "pinpad").
    std::string BankDocument(const std::string& form) {
        const banksim::ServiceReply reply = bank_->Handle(
            "/session/common-account-document", json{{"sessionId", session_}, {"form", form}});
        EXPECT_EQ(reply.status, 200) << reply.body.dump();
        return reply.body.value("document", "");
    }

    json Params(const std::string& document) {
        return json::array({reader(), keyHash_, encryptedKey_, document});
    }

    // Sends CommAccountProc; once the confirmation (the second window) is up,
    // the customer takes the card out and puts it back. Returns the result.
    json CallConfirmed(const std::string& document) {
        EXPECT_TRUE(host_->SendFrame(
            json{{"id", 100}, {"method", "CommAccountProc"}, {"params", Params(document)}}.dump()));
        EXPECT_TRUE(WaitForWindows(stderr_.path(), 2, 30s)) << ReadAll(stderr_.path());
        std::this_thread::sleep_for(300ms);  // a few polls with the card in
        EXPECT_TRUE(card_->Remove());
        EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Absent));
        std::this_thread::sleep_for(600ms);  // polls that find no card
        EXPECT_TRUE(card_->Insert());
        EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Present));
        return ReadAnswer();
    }

    json ReadAnswer() {
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

    std::unique_ptr<banksim::BankService> bank_;
    std::string session_;
    std::string keyHash_;
    std::string encryptedKey_;
    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<hostclient::HostClient> host_;
    std::unique_ptr<TempFile> script_;
    TempFile stderr_;
};

TEST_F(CommonAccountThroughTheHost, FormWithoutAPinOnAPlainReaderIsRefusedBeforeAnyDialog) {
    StartCard("Virtual PCD");
    // Were a window shown, the person would close it (and the result differ).
    StartHost("close\n");
    const std::string document = BankDocument("pinpad");
    ASSERT_NE(document.find("AtmNode"), std::string::npos);
    EXPECT_EQ(Call("CommAccountProc", Params(document)), kPinPadRequired);
    EXPECT_EQ(Count(ReadAll(stderr_.path()), kShownLine), 0u) << ReadAll(stderr_.path());
    EXPECT_EQ(Call("GetEncCommAcc"), "");
}

TEST_F(CommonAccountThroughTheHost, FormWithAPinFilledInAndConfirmedIsReadByTheBank) {
    StartCard("Virtual PCD");
    StartHost(
        // The card PIN on the keypad (the row the dialog opens on).
        "key 1\nkey 2\nkey 3\nkey 4\nkey 5\nkey 6\n"
        // The bank from the list, the account and the nickname on the keyboard.
        "choose 1092 2\n"
        "type 1003 0058100011112222\n"
        "type 1004 Landlord Lin\n"
        "wait 300\n"
        "press 1\n"
        // The confirmation: OK once the card was taken out and put back.
        "wait 1500\n"
        "wait-enabled 1\n"
        "press 1\n");
    ASSERT_EQ(CallConfirmed(kFormWithPin), 0) << ReadAll(stderr_.path());

    const json clear = Call("GetClearCommAcc");
    EXPECT_EQ(clear, "822||0058100011112222||Landlord Lin||");
    const json enciphered = Call("GetEncCommAcc");
    ASSERT_TRUE(enciphered.is_string());
    ASSERT_FALSE(enciphered.get<std::string>().empty());
    EXPECT_EQ(enciphered.get<std::string>().find("0058100011112222"), std::string::npos);

    const banksim::ServiceReply reply =
        bank_->Handle("/session/common-account", json{{"sessionId", session_},
                                                      {"form", "pin"},
                                                      {"encCommAcc", enciphered},
                                                      {"clearCommAcc", clear}});
    EXPECT_EQ(reply.status, 200);
    ASSERT_EQ(reply.body["ok"], true) << reply.body.dump();
    EXPECT_EQ(reply.body["values"][0]["value"], "822");
    EXPECT_EQ(reply.body["values"][1]["value"], "0058100011112222");
    EXPECT_EQ(reply.body["values"][2]["value"], "Landlord Lin");
}

TEST_F(CommonAccountThroughTheHost, WrongPinTypedInTheFormAnswers20486) {
    StartCard("Virtual PCD");
    StartHost(
        "key 6\nkey 5\nkey 4\nkey 3\nkey 2\nkey 1\n"
        "choose 1092 1\n"
        "type 1003 0058100011112222\n"
        "wait 300\n"
        "press 1\n");
    ASSERT_TRUE(host_->SendFrame(
        json{{"id", 100}, {"method", "CommAccountProc"}, {"params", Params(kFormWithPin)}}.dump()));
    EXPECT_EQ(ReadAnswer(), kPinPadRequired) << ReadAll(stderr_.path());
    // The entry dialog only: no confirmation was asked for.
    EXPECT_EQ(Count(ReadAll(stderr_.path()), kShownLine), 1u) << ReadAll(stderr_.path());
    EXPECT_EQ(Call("GetEncCommAcc"), "");
}

TEST_F(CommonAccountThroughTheHost,
       FormWithoutAPinOnAPinPadReaderVerifiesOnThePadAfterTheConfirmation) {
    StartCard("ACS APG8201");
    ASSERT_TRUE(card_->PadTypes("123456"));
    // The bank pre-filled every row: OK at once, then the confirmation.
    StartHost("wait-enabled 1\npress 1\nwait 1500\nwait-enabled 1\npress 1\n");
    ASSERT_EQ(CallConfirmed(BankDocument("pinpad")), 0) << ReadAll(stderr_.path());
    EXPECT_NE(card_->Status().find("\"padCommand\":\"0020001008FFFFFFFFFFFFFFFF\""),
              std::string::npos)
        << card_->Status();
    const json clear = Call("GetClearCommAcc");
    EXPECT_EQ(clear, "812||0058100098765432||房東 Chen||");
    const banksim::ServiceReply reply =
        bank_->Handle("/session/common-account", json{{"sessionId", session_},
                                                      {"form", "pinpad"},
                                                      {"encCommAcc", Call("GetEncCommAcc")},
                                                      {"clearCommAcc", clear}});
    EXPECT_EQ(reply.body["ok"], true) << reply.body.dump();
}

TEST_F(CommonAccountThroughTheHost, FormWithoutAPinOnAnAcr83uVerifiesOnThePadWithTheShortForm) {
    StartCard("ACS ACR83U");
    ASSERT_TRUE(card_->PadTypes("123456"));
    StartHost("wait-enabled 1\npress 1\nwait 1500\nwait-enabled 1\npress 1\n");
    ASSERT_EQ(CallConfirmed(BankDocument("pinpad")), 0) << ReadAll(stderr_.path());
    // The reader of this model takes the verify without a placeholder PIN block.
    EXPECT_NE(card_->Status().find("\"padCommand\":\"80200010\""), std::string::npos)
        << card_->Status();
    EXPECT_TRUE(card_->WrittenRecords().empty());
    const json clear = Call("GetClearCommAcc");
    EXPECT_EQ(clear, "812||0058100098765432||房東 Chen||");
    const banksim::ServiceReply reply =
        bank_->Handle("/session/common-account", json{{"sessionId", session_},
                                                      {"form", "pinpad"},
                                                      {"encCommAcc", Call("GetEncCommAcc")},
                                                      {"clearCommAcc", clear}});
    EXPECT_EQ(reply.body["ok"], true) << reply.body.dump();
    EXPECT_EQ(reply.body["values"][1]["value"], "0058100098765432") << reply.body.dump();
}

TEST_F(CommonAccountThroughTheHost, CancelledConfirmationAnswers20756WithTheEnteredValuesKept) {
    StartCard("Virtual PCD");
    StartHost(
        "key 1\nkey 2\nkey 3\nkey 4\nkey 5\nkey 6\n"
        "choose 1092 0\n"
        "type 1003 12345678\n"
        "wait 300\n"
        "press 1\n"
        "wait 1500\n"
        "wait-enabled 2\n"
        "press 2\n");
    ASSERT_TRUE(host_->SendFrame(
        json{{"id", 100}, {"method", "CommAccountProc"}, {"params", Params(kFormWithPin)}}.dump()));
    EXPECT_EQ(ReadAnswer(), 20756) << ReadAll(stderr_.path());
    EXPECT_EQ(Count(ReadAll(stderr_.path()), kShownLine), 2u) << ReadAll(stderr_.path());
    // The values were kept when the form ended with OK, before the confirmation.
    EXPECT_EQ(Call("GetClearCommAcc"), "004||12345678||||");
    const banksim::ServiceReply reply = bank_->Handle(
        "/session/common-account",
        json{{"sessionId", session_}, {"form", "pin"}, {"encCommAcc", Call("GetEncCommAcc")}});
    EXPECT_EQ(reply.body["ok"], true) << reply.body.dump();
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
