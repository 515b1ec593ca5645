// The bank's guided documents and checks against the component's own field
// cipher (its key store on the same development keys): the component
// deciphers every list and pre-filled value the bank enciphered, and the
// bank reads the values the component enciphered.
#include <gtest/gtest.h>

#include "crypto/session.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/guided_documents.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

const std::string kSessionKey = "00112233445566778899AABBCCDDEEFF";

std::u16string Wide(std::string_view text) {
    std::u16string wide;
    for (char c : text) wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

std::u16string Utf16(std::string_view utf8) {
    const Bytes units = Utf16LeFromUtf8(utf8).value_or(Bytes{});
    std::u16string text;
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        text.push_back(static_cast<char16_t>(units[i] | (units[i + 1] << 8)));
    }
    return text;
}

class GuidedInterop : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        auto keys = BankKeys::LoadFolder(DefaultKeyFolder(), &error);
        ASSERT_TRUE(keys) << error;
        const auto offer = OfferSessionKey(*keys, *FromHex(kSessionKey));
        ASSERT_TRUE(offer.ok()) << offer.error;
        encryptedKey_ = Wide(offer.value->encryptedSessionKey);
        keyHash_ = Wide(offer.value->sessionKeyHash);
        service_ = LoadBankService(DefaultKeyFolder(), "", &error);
        ASSERT_TRUE(service_) << error;
        session_ = *service_->RestoreSession(
            json{{"stage", "established"}, {"rn1", "01"}, {"sessionKey", kSessionKey}});
    }

    // The component's SessionFieldCipher as the dialogs call it (chaining mode 1).
    int32_t ComponentCipher(crypto::FieldDirection direction, int format,
                            const std::u16string& input, std::u16string& output) {
        int32_t length = 0;
        return crypto::SessionFieldCipher(keyHash_, encryptedKey_, direction, format, length, input,
                                          output, 1);
    }

    std::u16string encryptedKey_;
    std::u16string keyHash_;
    std::unique_ptr<BankService> service_;
    std::string session_;
};

TEST_F(GuidedInterop, TheComponentDeciphersEveryListAndPrefilledValueTheBankEnciphered) {
    const struct {
        const char* path;
        json extra;
    } documents[] = {{"/session/transfer-document", json::object()},
                     {"/session/common-account-document", {{"form", "pin"}}},
                     {"/session/common-account-document", {{"form", "pinpad"}}}};
    for (const auto& d : documents) {
        json request = d.extra;
        request["sessionId"] = session_;
        const ServiceReply plainReply = service_->Handle(d.path, request);
        request["encipher"] = true;
        const ServiceReply hiddenReply = service_->Handle(d.path, request);
        std::string error;
        const auto plain = ParseGuidedDocument(plainReply.body["document"], &error);
        const auto hidden = ParseGuidedDocument(hiddenReply.body["document"], &error);
        ASSERT_TRUE(plain && hidden) << d.path << error;
        for (std::size_t n = 0; n < plain->nodes.size(); ++n) {
            const std::string_view content = plain->Content(plain->nodes[n]);
            if (content.empty()) continue;
            std::u16string deciphered;
            ASSERT_EQ(ComponentCipher(crypto::FieldDirection::kDecrypt, crypto::kFieldInputHex,
                                      Wide(hidden->Content(hidden->nodes[n])), deciphered),
                      0)
                << d.path << " node " << n;
            EXPECT_EQ(deciphered, Utf16(content)) << d.path << " node " << n;
        }
    }
}

TEST_F(GuidedInterop, TheBankReadsTheValuesTheComponentEnciphered) {
    std::u16string cipher;
    ASSERT_EQ(ComponentCipher(crypto::FieldDirection::kEncrypt, crypto::kFieldInputUtf16,
                              Utf16("812||0058100098765432||房東 Chen||"), cipher),
              0);
    // One character per cipher byte; the page sees it as hexadecimal.
    Bytes bytes;
    for (char16_t c : cipher) bytes.push_back(static_cast<uint8_t>(c));
    const ServiceReply reply = service_->Handle(
        "/session/common-account", json{{"sessionId", session_}, {"encCommAcc", ToHex(bytes)}});
    ASSERT_EQ(reply.body["ok"], true) << reply.body.dump();
    EXPECT_EQ(reply.body["values"][2]["value"], "房東 Chen");
}

}  // namespace
}  // namespace qorv::banksim
