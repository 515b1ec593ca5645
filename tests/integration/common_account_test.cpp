// The guided common-account entry through the real host: the multi-field
// entry dialog and the confirmation on Qt's offscreen platform, the scripted
// person filling in the form, a real take-out and put-back of the simulated
// card while the confirmation waits, and the bank simulator reading back the
// values the host enciphered under the session key.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "integration/scripted_host_fixture.h"
#include "tools/banksim/bank_setup.h"

namespace qorv::testing {
namespace {

#ifdef QORV_TEST_HOOKS

using nlohmann::json;
using namespace std::chrono_literals;

constexpr int kPinPadRequired = 20486;
constexpr char kSessionKey[] = "00112233445566778899AABBCCDDEEFF";
// The bank's common-account form with the card-PIN row first, so that it is
// the row the keypad serves when the dialog opens (a person would click it). The row carries no
// value, so the joined output is the one the bank reads by its own form: bank code, account,
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

class CommonAccountThroughTheHost : public ScriptedHostTest {
  protected:
    void SetUp() override {
        ScriptedHostTest::SetUp();
        if (IsSkipped()) return;
        std::string error;
        bank_ = banksim::LoadBankService(banksim::DefaultKeyFolder(), banksim::DefaultCardProfile(),
                                         &error);
        ASSERT_TRUE(bank_) << error;
        const auto offer = OfferSessionKeyOf(kSessionKey);
        ASSERT_TRUE(offer);
        keyHash_ = offer->sessionKeyHash;
        encryptedKey_ = offer->encryptedSessionKey;
        const auto session = bank_->RestoreSession(
            json{{"stage", "established"}, {"rn1", "01"}, {"sessionKey", kSessionKey}});
        ASSERT_TRUE(session);
        session_ = *session;
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
        SendCall("CommAccountProc", Params(document));
        EXPECT_TRUE(WaitForWindows(stderr_.path(), 2, 30s)) << HostErrors();
        TakeCardOutAndPutBack();
        return ReadAnswer();
    }

    std::unique_ptr<banksim::BankService> bank_;
    std::string session_;
    std::string keyHash_;
    std::string encryptedKey_;
};

TEST_F(CommonAccountThroughTheHost, FormWithoutAPinOnAPlainReaderIsRefusedBeforeAnyDialog) {
    StartCard("Virtual PCD");
    // Were a window shown, the person would close it (and the result differ).
    StartHost("close\n");
    const std::string document = BankDocument("pinpad");
    ASSERT_NE(document.find("AtmNode"), std::string::npos);
    EXPECT_EQ(Call("CommAccountProc", Params(document)), kPinPadRequired);
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 0u) << HostErrors();
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
    ASSERT_EQ(CallConfirmed(kFormWithPin), 0) << HostErrors();

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
    SendCall("CommAccountProc", Params(kFormWithPin));
    EXPECT_EQ(ReadAnswer(), kPinPadRequired) << HostErrors();
    // The entry dialog only: no confirmation was asked for.
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 1u) << HostErrors();
    EXPECT_EQ(Call("GetEncCommAcc"), "");
}

TEST_F(CommonAccountThroughTheHost,
       FormWithoutAPinOnAPinPadReaderVerifiesOnThePadAfterTheConfirmation) {
    StartCard("ACS APG8201");
    ASSERT_TRUE(card_->PadTypes("123456"));
    // The bank pre-filled every row: OK at once, then the confirmation.
    StartHost("wait-enabled 1\npress 1\nwait 1500\nwait-enabled 1\npress 1\n");
    ASSERT_EQ(CallConfirmed(BankDocument("pinpad")), 0) << HostErrors();
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
    ASSERT_EQ(CallConfirmed(BankDocument("pinpad")), 0) << HostErrors();
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

TEST_F(CommonAccountThroughTheHost, FormWithoutAPinOnAPart10PinPadVerifiesOnTheReadersOwnKeys) {
    testbed::ReaderSpec spec{testbed::kPart10PinPadReader};
    spec.part10PinPad = true;
    StartCard(spec);
    ASSERT_TRUE(card_->PadTypes("123456"));
    StartHost("wait-enabled 1\npress 1\nwait 1500\nwait-enabled 1\npress 1\n");
    ASSERT_EQ(CallConfirmed(BankDocument("pinpad")), 0) << HostErrors();
    // The reader took the card's verify as a secure PIN entry structure.
    const std::vector<std::string> controls = bed_->PinPadControls(0);
    EXPECT_EQ(std::count_if(controls.begin(), controls.end(),
                            [](const std::string& line) { return line.starts_with("42330006"); }),
              1)
        << HostErrors();
    EXPECT_EQ(Call("GetClearCommAcc"), "812||0058100098765432||房東 Chen||");
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
    SendCall("CommAccountProc", Params(kFormWithPin));
    EXPECT_EQ(ReadAnswer(), 20756) << HostErrors();
    EXPECT_EQ(CountOf(HostErrors(), kShownLine), 2u) << HostErrors();
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
