// The bank's side of the guided procedures: the documents it serves for a
// session (plain, and enciphered the way the component deciphers them), the
// common-account values it reads back, and the guided transfer it accepts
// only when the processing code, the transfer-in account the card MACed and
// the TAC agree. The test plays the component with the session key.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "banksim_server_process.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/guided_documents.h"
#include "tools/banksim/guided_transfer.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/session_cipher.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

const std::string kSessionKey = "0123456789ABCDEFFEDCBA9876543210";
const std::string kCardAccount = "0058100012345678";
const std::string kDateTime = "20261208153000";
const std::string kRemark = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";

// What the component sends: the field cipher over the text's UTF-16 code units.
std::string EncipherAsComponent(const std::string& key, const std::string& text) {
    const auto units = Utf16LeFromUtf8(text);
    const auto cipher = RunSessionCipher(*FromHex(key), CipherUse::kDialogField,
                                         CipherDirection::kEncipher, *units);
    return ToHex(cipher->view());
}

std::string DecipherAsComponent(const std::string& key, const std::string& hex) {
    const auto plain = RunSessionCipher(*FromHex(key), CipherUse::kDialogField,
                                        CipherDirection::kDecipher, *FromHex(hex));
    if (!plain) return "<no decipher>";
    return Utf8FromUtf16Le(plain->view()).value_or("<not UTF-16>");
}

std::string FileText(const std::string& name) {
    std::ifstream in(DefaultDocumentFolder() + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GuidedBank : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        service_ = LoadBankService(DefaultKeyFolder(), DefaultCardProfile(), &error);
        ASSERT_TRUE(service_) << error;
        ASSERT_TRUE(cardsim::LoadCardProfile(DefaultCardProfile(), &profile_, &error)) << error;
        session_ = Session("established", kSessionKey);
    }
    std::string Session(const std::string& stage, const std::string& key) {
        return service_
            ->RestoreSession(
                json{{"stage", stage}, {"rn1", "0102030405060708"}, {"sessionKey", key}})
            .value_or("");
    }
    ServiceReply Post(const std::string& path, json request) {
        if (!request.contains("sessionId")) request["sessionId"] = session_;
        return service_->Handle(path, request);
    }

    // The page's report of a guided transfer whose card record was `record`.
    json Transfer(const std::string& values, const std::string& record,
                  const std::string& snum = "00000011") {
        cardsim::Tac tac{};
        EXPECT_TRUE(cardsim::ComputeTac(profile_.tacKey, snum,
                                        std::vector<uint8_t>(record.begin(), record.end()), &tac));
        return {{"encImportAccount", EncipherAsComponent(kSessionKey, values)},
                {"pFdid", "FD000001"},
                {"pFdChkCode", "CHK00001"},
                {"pMoney", "00000000150000"},
                {"pAccount", kCardAccount},
                {"snum", snum},
                {"tac", ToHex(tac)},
                {"dateTime", kDateTime},
                {"issuer", "812"},
                {"remark", kRemark},
                {"account", kCardAccount}};
    }
    static std::string Head(const std::string& code) {
        return code + "00000000150000" + "FD000001" + "CHK00001" + kDateTime;
    }

    std::unique_ptr<BankService> service_;
    cardsim::CardProfile profile_;
    std::string session_;
};

TEST(GuidedDocuments, ShippedDocumentsHaveTheirFieldsAndReadStrictly) {
    std::string error;
    const auto transfer = LoadGuidedDocument(DefaultDocumentFolder(), "transfer", &error);
    ASSERT_TRUE(transfer) << error;
    ASSERT_EQ(transfer->nodes.size(), 3u);
    // The common list has items with and without e-mail addresses.
    const std::string_view common = transfer->Content(transfer->nodes[1]);
    EXPECT_NE(common.find("$$"), std::string_view::npos);
    EXPECT_EQ(ListItemCodes(common).size(), 3u);
    EXPECT_EQ(ListItemCodes(transfer->Content(transfer->nodes[2]))[3], "812");

    const auto withPin = LoadGuidedDocument(DefaultDocumentFolder(), "common-account", &error);
    const auto pinpad =
        LoadGuidedDocument(DefaultDocumentFolder(), "common-account-pinpad", &error);
    ASSERT_TRUE(withPin && pinpad) << error;
    const auto secretRows = [](const GuidedDocument& d) {
        return std::count_if(d.nodes.begin(), d.nodes.end(), [](const DocumentNode& n) {
            return n.Attribute("Type") == "6" || n.Attribute("Type") == "7";
        });
    };
    EXPECT_EQ(secretRows(*withPin), 1);
    EXPECT_EQ(secretRows(*pinpad), 0);

    EXPECT_FALSE(LoadGuidedDocument(DefaultDocumentFolder(), "../keys/dev/x", &error));
    EXPECT_FALSE(ParseGuidedDocument("<AtmNode Name=\"a\" Ciph=\"0\">x", &error));
    EXPECT_EQ(error, "AtmNode 1: has no </AtmNode>");
    EXPECT_FALSE(ParseGuidedDocument("<AtmNode Name=\"a\">x</AtmNode>", &error));
    EXPECT_FALSE(ParseGuidedDocument("<AtmNode Name=\"a Ciph=\"0\"/>", &error));
}

TEST_F(GuidedBank, DocumentsAreServedPlainOrEncipheredUnderTheSessionKey) {
    const ServiceReply plain = Post("/session/transfer-document", json::object());
    ASSERT_EQ(plain.status, 200);
    EXPECT_EQ(plain.body["document"], FileText("transfer.xml"));

    const ServiceReply hidden = Post("/session/transfer-document", {{"encipher", true}});
    ASSERT_EQ(hidden.body["ok"], true) << hidden.body.dump();
    std::string error;
    const auto served = ParseGuidedDocument(hidden.body["document"], &error);
    const auto original = ParseGuidedDocument(FileText("transfer.xml"), &error);
    ASSERT_TRUE(served && original) << error;
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(served->nodes[n].Attribute("Ciph"), "1");
        const std::string content(served->Content(served->nodes[n]));
        EXPECT_EQ(content.size() % 16, 0u);
        EXPECT_EQ(DecipherAsComponent(kSessionKey, content), original->Content(original->nodes[n]));
    }

    // Only the bank list; the pre-filled values of the PIN-pad form.
    const ServiceReply banks = Post("/session/transfer-document", {{"encipher", {2}}});
    const auto onlyBanks = ParseGuidedDocument(banks.body["document"], &error);
    EXPECT_EQ(onlyBanks->nodes[0].Attribute("Ciph"), "0");
    EXPECT_EQ(onlyBanks->nodes[2].Attribute("Ciph"), "1");
    const ServiceReply form =
        Post("/session/common-account-document", {{"form", "pinpad"}, {"encipher", {1, 2}}});
    const auto prefilled = ParseGuidedDocument(form.body["document"], &error);
    ASSERT_TRUE(prefilled) << error;
    EXPECT_EQ(
        DecipherAsComponent(kSessionKey, std::string(prefilled->Content(prefilled->nodes[2]))),
        "房東 Chen");
    EXPECT_LE(prefilled->Content(prefilled->nodes[1]).size(), kMaxPrefilledValue);
}

TEST_F(GuidedBank, DocumentRequestsThatCannotBeServedAreRefused) {
    EXPECT_EQ(Post("/session/transfer-document", {{"sessionId", "00"}}).status, 404);
    EXPECT_EQ(Post("/session/transfer-document", {{"encipher", "yes"}}).status, 400);
    EXPECT_EQ(Post("/session/transfer-document", {{"encipher", {-1}}}).status, 400);
    EXPECT_EQ(Post("/session/transfer-document", {{"encipher", {3}}}).body["ok"], false);
    EXPECT_EQ(Post("/session/common-account-document", {{"form", "review"}}).status, 400);
    // A session without a key gets plain documents only.
    const std::string waiting = Session("rn1Sent", "");
    EXPECT_EQ(Post("/session/transfer-document", {{"sessionId", waiting}}).body["ok"], true);
    EXPECT_EQ(Post("/session/transfer-document", {{"sessionId", waiting}, {"encipher", true}})
                  .body["error"],
              "the session has no key yet");

    // A pre-filled value the multi-field dialog could not hold once enciphered.
    std::string error;
    const auto longValue = ParseGuidedDocument(
        "<AtmNode Name=\"a\" Type=\"5\" Ciph=\"0\">" + std::string(60, 'x') + "</AtmNode>", &error);
    ASSERT_TRUE(longValue) << error;
    const auto key = *FromHex(kSessionKey);
    EXPECT_FALSE(EncipherDocumentNodes(*longValue, key, {0}, true).ok());
    EXPECT_TRUE(EncipherDocumentNodes(*longValue, key, {0}, false).ok());
}

TEST_F(GuidedBank, CommonAccountValuesAreReadByTheFormsRows) {
    const std::string joined = "812||0058100098765432||房東 Chen||";
    for (const char* form : {"pin", "pinpad"}) {
        const ServiceReply reply = Post("/session/common-account",
                                        {{"form", form},
                                         {"encCommAcc", EncipherAsComponent(kSessionKey, joined)},
                                         {"clearCommAcc", joined}});
        ASSERT_EQ(reply.body["ok"], true) << form << reply.body.dump();
        EXPECT_EQ(reply.body["values"].size(), 3u);
        EXPECT_EQ(reply.body["values"][1]["value"], "0058100098765432");
    }
    const struct {
        std::string joined;
        std::string error;
    } refused[] = {
        {"999||0058100098765432||房東||", "row 1 (轉入銀行): \"999\" is not a code of its list"},
        {"812||00581000A8765432||房東||", "row 2 (轉入帳號): must be digits"},
        {"812||||房東||", "row 2 (轉入帳號): shorter than 1"},
        {"812||00581000987654321||房東||", "row 2 (轉入帳號): longer than 16"},
        {"812||0058100098765432||房東", "row 3 (帳號暱稱): no value before ||"},
        {"812||1||房東||123456;;", "the joined output goes on after the last row: \"123456;;\""},
    };
    for (const auto& c : refused) {
        const ServiceReply reply =
            Post("/session/common-account",
                 {{"encCommAcc", EncipherAsComponent(kSessionKey, c.joined)}});
        EXPECT_EQ(reply.body["error"], c.error) << c.joined;
    }
    // The clear copy must be what the enciphered one holds; another key's
    // cipher text is not accepted.
    EXPECT_EQ(
        Post("/session/common-account", {{"encCommAcc", EncipherAsComponent(kSessionKey, joined)},
                                         {"clearCommAcc", "822||1||x||"}})
            .body["ok"],
        false);
    EXPECT_EQ(
        Post("/session/common-account",
             {{"encCommAcc", EncipherAsComponent("00112233445566778899AABBCCDDEEFF", joined)}})
            .body["ok"],
        false);
    EXPECT_EQ(Post("/session/common-account", {{"encCommAcc", "ABC"}}).body["ok"], false);
}

TEST_F(GuidedBank, GuidedTransferNeedsCodeTransferInAccountAndTacToAgree) {
    const std::string values = "822||123456789||2||2524||a@b.tw||";
    const std::string transferRecord = Head("2524") + "0000000123456789" + kCardAccount;
    ServiceReply reply = Post("/transaction/guided-transfer", Transfer(values, transferRecord));
    ASSERT_EQ(reply.body["ok"], true) << reply.body.dump();
    EXPECT_EQ(reply.body["transferInAccount"], "0000000123456789");
    EXPECT_EQ(reply.body["email"], "a@b.tw");
    // The same SNUM and TAC again is a replay.
    EXPECT_EQ(Post("/transaction/guided-transfer", Transfer(values, transferRecord)).body["ok"],
              false);

    // The card MACed another transfer-in account than the enciphered values name.
    const std::string swapped = Head("2524") + "0000000999999999" + kCardAccount;
    EXPECT_EQ(
        Post("/transaction/guided-transfer", Transfer(values, swapped, "00000012")).body["ok"],
        false);
    // ... or another processing code.
    const std::string otherCode = Head("2521") + "0000000123456789" + kCardAccount;
    EXPECT_EQ(
        Post("/transaction/guided-transfer", Transfer(values, otherCode, "00000013")).body["ok"],
        false);

    json claimed = Transfer(values, Head("2524") + "0000000123456789" + kCardAccount, "00000014");
    claimed["pPCode"] = "2521";
    EXPECT_EQ(Post("/transaction/guided-transfer", claimed).body["ok"], false);
    claimed.erase("pPCode");
    claimed["clearImportAccount"] = "822||999||2||2524||";
    EXPECT_EQ(Post("/transaction/guided-transfer", claimed).body["error"],
              "clearImportAccount is not what encImportAccount holds");
}

TEST_F(GuidedBank, ServiceTypeChoosesTheRecordTheBankRebuilds) {
    const struct {
        std::string serviceType;
        std::string values;
        std::string record;  // what the card MACed
        bool ok;
    } cases[] = {
        // 2523 under ServiceType 2 carries the transfer-in account ...
        {"2", "812||58100098765432||0||2523||", Head("2523") + "0058100098765432" + kCardAccount,
         true},
        // ... 2561 is the 64-byte record without it.
        {"2", "004||1234567890123||1||2561||", Head("2561") + kCardAccount, true},
        {"1", "004||1234567890123||1||2563||", Head("2563") + kCardAccount, true},
        // 2521 is no code of ServiceType 2, 2523 none of ServiceType 1.
        {"2", "004||1234567890123||1||2521||", Head("2521") + kCardAccount, false},
        {"1", "004||1234567890123||1||2523||", Head("2523") + kCardAccount, false},
        // ServiceType 5 sends no record, so there is nothing to accept.
        {"5", "004||1234567890123||1||2521||", Head("2521") + kCardAccount, false},
    };
    int snum = 20;
    for (const auto& c : cases) {
        json request = Transfer(c.values, c.record, "000000" + std::to_string(snum++));
        request["serviceType"] = c.serviceType;
        const ServiceReply reply = Post("/transaction/guided-transfer", request);
        EXPECT_EQ(reply.body["ok"], c.ok) << c.serviceType << " " << c.values << reply.body.dump();
    }
}

TEST(GuidedTransferValues, ShapesTheComponentNeverSendsAreRefused) {
    EXPECT_TRUE(ParseGuidedTransferValues("822||123456789||3||2523||").ok());
    for (const char* bad :
         {"822||123456789||3||2523", "822||123456789||4||2523||", "822||||2||2523||",
          "822||12345678901234567||2||2523||", "822||1234||2||25x3||", "||1||2||2523||",
          "822||1||2||2523||a||b||", "123456789||1||2||2523||"}) {
        EXPECT_FALSE(ParseGuidedTransferValues(bad).ok()) << bad;
    }
    EXPECT_EQ(RightAlignedAccount("123456789"), "0000000123456789");
}

TEST(GuidedText, Utf16RoundTripAndMalformedText) {
    const std::string text = "房東 Chen 𠀀";
    const auto units = Utf16LeFromUtf8(text);
    ASSERT_TRUE(units);
    EXPECT_EQ(units->size(), 2u * 10);  // the last character takes a surrogate pair
    EXPECT_EQ(Utf8FromUtf16Le(*units), text);
    EXPECT_FALSE(Utf16LeFromUtf8("\xC0\x80"));      // overlong
    EXPECT_FALSE(Utf16LeFromUtf8("\xED\xA0\x80"));  // a surrogate written in UTF-8
    EXPECT_FALSE(Utf16LeFromUtf8("\xE6\x88"));      // cut short
    EXPECT_FALSE(Utf8FromUtf16Le(Bytes{0x41}));
    EXPECT_FALSE(Utf8FromUtf16Le(Bytes{0x00, 0xD8, 0x41, 0x00}));
}

TEST(GuidedBankHttp, TheGuidedEndpointsAreServed) {
    BanksimServerProcess server({});
    ASSERT_TRUE(server.firstLine().starts_with("listening 127.0.0.1:")) << server.firstLine();
    httplib::Client client("127.0.0.1", server.port());
    const auto start = client.Post("/session/start", "{}", "application/json");
    ASSERT_TRUE(start);
    const std::string id = json::parse(start->body)["sessionId"];
    const auto document = client.Post("/session/common-account-document",
                                      json{{"sessionId", id}}.dump(), "application/json");
    ASSERT_TRUE(document);
    EXPECT_EQ(json::parse(document->body)["document"], FileText("common-account.xml"));
    for (const char* path : {"/session/transfer-document", "/session/common-account",
                             "/transaction/guided-transfer"}) {
        const auto reply = client.Post(path, "{\"sessionId\":\"00\"}", "application/json");
        ASSERT_TRUE(reply) << path;
        // The service's own refusal (a missing member, an unknown session),
        // not the server's empty answer for a path it does not route.
        EXPECT_TRUE(json::parse(reply->body, nullptr, false).contains("error"))
            << path << " " << reply->status;
    }
    EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
}  // namespace qorv::banksim
