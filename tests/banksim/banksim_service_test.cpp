// The bank simulator's JSON service and its ciphers, without HTTP: how it
// answers requests of the wrong shape or order, the session file of the
// command line, and the two uses of a session key.
#include <gtest/gtest.h>

#include "tools/banksim/bank_setup.h"
#include "tools/banksim/command_line.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/session_cipher.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

Bytes Unhex(const std::string& text) {
    return FromHex(text).value_or(Bytes{});
}

TEST(BankSessionCipher, KeyLengthsChooseTheCipherAndFieldsAlwaysUseTwoKeyTripleDes) {
    // FIPS 81 single DES example: the first CBC block with a zero IV is the ECB block.
    const Bytes key8 = Unhex("0123456789ABCDEF");
    const auto single = RunSessionCipher(key8, CipherUse::kSessionData, CipherDirection::kEncipher,
                                         Unhex("4E6F772069732074"));
    ASSERT_TRUE(single.has_value());
    EXPECT_EQ(ToHex(single->view()).substr(0, 16), "3FA40E8A984D4815");

    const Bytes data = Unhex("00112233445566778899AABBCCDDEEFF01");
    const Bytes key24 = Unhex("0123456789ABCDEFFEDCBA987654321089ABCDEF01234567");
    const auto encipher = [&data](const Bytes& key, CipherUse use) {
        return ToHex(RunSessionCipher(key, use, CipherDirection::kEncipher, data)->view());
    };
    // A field takes the first 16 bytes of a 24-byte key, and K2 = 0 after an 8-byte key.
    EXPECT_EQ(encipher(key24, CipherUse::kDialogField),
              encipher(Bytes(key24.begin(), key24.begin() + 16), CipherUse::kSessionData));
    Bytes key8Padded = key8;
    key8Padded.resize(16, 0);
    EXPECT_EQ(encipher(key8, CipherUse::kDialogField),
              encipher(key8Padded, CipherUse::kSessionData));
    EXPECT_NE(encipher(key24, CipherUse::kDialogField), encipher(key24, CipherUse::kSessionData));

    // Deciphering needs whole blocks and a good pad; 12-byte keys are no keys.
    EXPECT_FALSE(
        RunSessionCipher(key24, CipherUse::kSessionData, CipherDirection::kDecipher, Bytes(12, 0)));
    EXPECT_FALSE(
        RunSessionCipher(key24, CipherUse::kSessionData, CipherDirection::kDecipher, Bytes(16, 0)));
    EXPECT_FALSE(
        RunSessionCipher(Bytes(12, 1), CipherUse::kSessionData, CipherDirection::kEncipher, data));
}

class BankServiceRequests : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        service_ = LoadBankService(DefaultKeyFolder(), "", &error);
        ASSERT_TRUE(service_) << error;
    }
    std::string StartSession() {
        const ServiceReply reply = service_->Handle("/session/start", json::object());
        EXPECT_EQ(reply.status, 200);
        return reply.body.value("sessionId", std::string());
    }
    std::unique_ptr<BankService> service_;
};

TEST_F(BankServiceRequests, RequestsOfTheWrongShapeOrOrderAreRefused) {
    EXPECT_EQ(service_->Handle("/session/start", std::string("[1]")).status, 400);
    EXPECT_EQ(service_->Handle("/session/start", std::string("{")).status, 400);
    EXPECT_EQ(service_->Handle("/session/start", json{{"rn1Length", 0}}).status, 400);
    EXPECT_EQ(service_->Handle("/session/start", json{{"rn1Length", 65}}).status, 400);
    EXPECT_EQ(service_->Handle("/session/start", json{{"rn1Length", "8"}}).status, 400);
    EXPECT_EQ(service_->Handle("/session/finish", json::object()).status, 404);

    const std::string id = StartSession();
    const json answer = {{"sessionId", id},
                         {"encryptRN2", "00"},
                         {"encryptHashRN2", "00"},
                         {"sessionKeyHash", "00"}};
    json missing = answer;
    missing.erase("encryptHashRN2");
    const ServiceReply noSignature = service_->Handle("/session/answer", missing);
    EXPECT_EQ(noSignature.status, 400);
    EXPECT_EQ(noSignature.body["error"], "encryptHashRN2 must be a string");

    json oddKey = answer;
    oddKey["sessionKeyLength"] = 12;
    EXPECT_EQ(service_->Handle("/session/answer", oddKey).body["error"],
              "a session key has 8, 16 or 24 bytes");
    // Deciphering waits for the key; a bad answer uses the RN1 up.
    EXPECT_EQ(service_->Handle("/session/decipher", json{{"sessionId", id}, {"data", "00"}})
                  .body["error"],
              "the session has no key yet");
    EXPECT_EQ(service_->Handle("/session/answer", answer).body["error"],
              "RN2 does not decrypt with the server private key");
    EXPECT_EQ(service_->Handle("/session/answer", answer).body["error"],
              "no RN1 is waiting for an answer in this session");

    json otherSession = answer;
    otherSession["sessionId"] = "00";
    EXPECT_EQ(service_->Handle("/session/answer", otherSession).status, 404);
    EXPECT_EQ(service_->Handle("/transaction", json::object()).status, 503);
}

TEST_F(BankServiceRequests, TheCommandLineSessionFileKeepsRn1AndTheKey) {
    const std::string id = StartSession();
    const auto saved = service_->SaveSession(id);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ((*saved)["stage"], "rn1Sent");
    EXPECT_EQ((*saved)["rn1"].get<std::string>().size(), 16u);

    json established = *saved;
    established["stage"] = "established";
    established["sessionKey"] = "0123456789ABCDEF";
    const auto restored = service_->RestoreSession(established);
    ASSERT_TRUE(restored.has_value());
    const ServiceReply enciphered = service_->Handle(
        "/session/encipher", json{{"sessionId", *restored}, {"data", "4E6F772069732074"}});
    EXPECT_EQ(enciphered.body["enciphered"].get<std::string>().substr(0, 16), "3FA40E8A984D4815");

    EXPECT_FALSE(
        service_->RestoreSession(json{{"stage", "done"}, {"rn1", ""}, {"sessionKey", ""}}));
    EXPECT_FALSE(service_->RestoreSession(json{{"stage", "established"}, {"rn1", 5}}));
    EXPECT_FALSE(service_->RestoreSession(json::array()));
}

TEST(BankCommandLine, CommandsTakeOnlyTheirOptions) {
    std::string error;
    const auto serve = ParseCommandLine({"--port", "8080", "--no-card"}, &error);
    ASSERT_TRUE(serve.has_value()) << error;
    EXPECT_EQ(serve->command, "serve");
    EXPECT_EQ(serve->options.at("--port"), "8080");
    EXPECT_TRUE(serve->options.contains("--no-card"));

    EXPECT_FALSE(ParseCommandLine({"start", "--port", "1"}, &error));
    EXPECT_EQ(error, "unknown option --port for start");
    EXPECT_FALSE(ParseCommandLine({"answer", "--state"}, &error));
    EXPECT_EQ(error, "--state needs a value");
    EXPECT_FALSE(ParseCommandLine({"refund"}, &error));
}

}  // namespace
}  // namespace qorv::banksim
