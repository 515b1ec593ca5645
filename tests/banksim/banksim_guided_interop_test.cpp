// The bank's guided documents and checks against the component's own field
// cipher (its key store on the same development keys): the component
// deciphers every list and pre-filled value the bank enciphered, and the
// bank reads the values the component enciphered.
#include <gtest/gtest.h>

#include "banksim/fixed_bank_session.h"
#include "crypto/session.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/guided_documents.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

class GuidedInterop : public FixedBankSession {
  protected:
    // The component's SessionFieldCipher as the dialogs call it (chaining mode 1).
    int32_t ComponentCipher(crypto::FieldDirection direction, int format,
                            const std::u16string& input, std::u16string& output) {
        int32_t length = 0;
        return crypto::SessionFieldCipher(keyHash_, encryptedKey_, direction, format, length, input,
                                          output, 1);
    }
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
                                      Utf8ToUtf16(hidden->Content(hidden->nodes[n])), deciphered),
                      0)
                << d.path << " node " << n;
            EXPECT_EQ(deciphered, Utf8ToUtf16(content)) << d.path << " node " << n;
        }
    }
}

TEST_F(GuidedInterop, TheBankReadsTheValuesTheComponentEnciphered) {
    std::u16string cipher;
    ASSERT_EQ(ComponentCipher(crypto::FieldDirection::kEncrypt, crypto::kFieldInputUtf16,
                              Utf8ToUtf16("812||0058100098765432||房東 Chen||"), cipher),
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
