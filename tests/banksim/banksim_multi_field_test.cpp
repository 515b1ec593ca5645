// The multi-field entry dialog on the bank's own common-account forms, with
// the component's real session cipher on both sides: the dialog deciphers the
// enciphered lists and pre-filled values the bank served, and the bank reads
// back the values the dialog enciphered after OK.
#include <gtest/gtest.h>

#include "banksim/fixed_bank_session.h"
#include "base/utf16.h"
#include "dialogs/multi_field_dialog.h"
#include "support/recorded_messages.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/openssl_primitives.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

class RecordedPin final : public dialogs::CardPinCheck {
  public:
    int32_t VerifyPin(std::u16string_view pin) override {
        pins.emplace_back(pin);
        return 0;
    }
    std::vector<std::u16string> pins;
};

class MultiFieldWithBank : public FixedBankSession {
  protected:
    std::u16string Document(const std::string& form) {
        const ServiceReply reply =
            service_->Handle("/session/common-account-document",
                             json{{"sessionId", session_}, {"form", form}, {"encipher", true}});
        return Utf8ToUtf16(reply.body["document"].get<std::string>());
    }
};

TEST_F(MultiFieldWithBank, TheBankReadsWhatTheDialogEncipheredFromItsEncipheredForm) {
    for (const std::string form : {"pin", "pinpad"}) {
        dialogs::SessionFieldDecipher decipher(keyHash_, encryptedKey_);
        dialogs::SessionFieldEncipher encipher(keyHash_, encryptedKey_);
        RecordedPin pin;
        qorv::testing::RecordedMessages messages;
        dialogs::MultiFieldDialog dialog(Document(form), {decipher, encipher, pin, messages});
        ASSERT_FALSE(dialog.Open());
        ASSERT_TRUE(messages.messages.empty()) << form;
        EXPECT_EQ(dialog.view().rows[0].items.at(1), u"812 Qorv銀行");
        EXPECT_EQ(dialog.entryCount(1), 16u);
        EXPECT_EQ(dialog.editText(2), u"房東 Chen");
        if (form == "pin") {
            dialog.FocusRow(3);  // not an edit: only the mouse selects it
            const dialogs::Rect field = dialog.view().layout.fields[3];
            dialog.ReleaseMouse(field.x + 4, field.y + 4);
            ASSERT_EQ(dialog.activeRow(), 3u);
            // The key order is random: press each digit key once (6 of 10 keys).
            for (int key = dialogs::kFirstKeyId; key < dialogs::kFirstKeyId + 6; ++key)
                dialog.PressKey(key);
        }
        ASSERT_TRUE(dialog.view().okEnabled) << form;
        dialog.PressOk();
        ASSERT_EQ(dialog.outcome(), dialogs::kOutcomeOk) << form;
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(pin.pins.size(), form == "pin" ? 1u : 0u);

        std::u16string confirmation, joined, hex;
        dialog.ReadResults(confirmation, joined, hex);
        EXPECT_EQ(joined, u"812||0058100098765432||房東 Chen||");
        ASSERT_FALSE(hex.empty());
        const ServiceReply reply = service_->Handle(
            "/session/common-account",
            json{{"sessionId", session_}, {"form", form}, {"encCommAcc", Utf16ToUtf8(hex)}});
        ASSERT_EQ(reply.body["ok"], true) << reply.body.dump();
        EXPECT_EQ(reply.body["values"][1]["value"], "0058100098765432");
        EXPECT_EQ(reply.body["values"][2]["value"], "房東 Chen");
    }
}

}  // namespace
}  // namespace qorv::banksim
