// The guided transfer's confirmation (mode 23) with its transfer-in
// processing: what the customer sees of the chosen account, the processing
// code by ServiceType and the banks involved, and the transfer values after
// OK, with the cipher failures.
#include "dialogs/transfer_in_processing.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/value_protection.h"
#include "fake_field_cipher.h"

namespace qorv::dialogs {
namespace {

using testing::WideHex;
using testing::WideHexDecipher;
using testing::WideHexEncipher;

constexpr char16_t kHome[] = u"812";
constexpr char16_t kAccount[] = u"0058100012345678";
constexpr char16_t kAmount[] = u"00000000123400";
constexpr char16_t kRecord[] = u"00000001234567892004 臺灣銀行%%004$$me@home.tw";
constexpr char16_t kValues[] = u"004||123456789||2||2523||me@home.tw||";

class ScriptedCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override { return present ? CardPresence::Present : CardPresence::Absent; }
    bool present = true;
};

std::u16string Summary(std::u16string_view tag5) {
    return u"<MSG><Tag1>轉帳：確認交易資料</Tag1><Tag4>轉出銀行</Tag4><Tag5>" +
           std::u16string(tag5) + u"</Tag5><Tag6>轉出帳號</Tag6><Tag7>" + kAccount +
           u"</Tag7><Tag8>轉入銀行</Tag8><Tag10>轉入帳號</Tag10><Tag12>金額</Tag12>"
           u"<Tag13>NT$ 1234</Tag13><Tag14>Email通知</Tag14></MSG>";
}

struct Fixture {
    Fixture(std::u16string_view tag5, char16_t serviceType, std::u16string record = kRecord,
            std::u16string values = kValues)
        : transferIn({record, WideHex(values), WideHex(record), serviceType}, decipher, encipher,
                     kHome),
          dialog({Summary(tag5), kAmount, kAccount, record, ConfirmationMode::GuidedTransfer}, card,
                 messages, &transferIn) {}

    // Opens, takes the card out and puts it back, presses OK.
    void Confirm() {
        ASSERT_EQ(dialog.Open(), std::nullopt);
        card.present = false;
        for (int i = 0; i < 4; ++i) dialog.Tick();
        card.present = true;
        dialog.Tick();
        dialog.PressOk();
        ASSERT_EQ(dialog.outcome(), kConfirmOk);
    }

    WideHexDecipher decipher;
    WideHexEncipher encipher;
    ScriptedCard card;
    qorv::testing::RecordedMessages messages;
    GuidedTransferIn transferIn;
    ConfirmationDialog dialog;
};

TEST(GuidedTransferIn, ShowsTheBankTextTheAddressesAndTheAccountOnlyScrambled) {
    Fixture f(u"812 台新銀行", u'0');
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    const ConfirmationView& view = f.dialog.view();
    EXPECT_EQ(view.TextOf(ControlForTag(9)), u"004 臺灣銀行");
    EXPECT_EQ(view.TextOf(ControlForTag(15)), u"me@home.tw");
    EXPECT_EQ(f.transferIn.bankCode(), u"004");
    EXPECT_TRUE(f.messages.messages.empty());

    const SecureFieldContent& field = view.transferInField;
    EXPECT_EQ(field.mode, kModeCells);
    EXPECT_TRUE(view.transferInFieldVisible);
    EXPECT_EQ(field.text.find(u"123456789"), std::u16string::npos);
    std::vector<uint8_t> plain;
    ASSERT_EQ(crypto::UnscrambleDisplayText(field.text, field.displayOffset, plain), 0);
    std::u16string shown;
    for (std::size_t i = 0; i + 1 < plain.size(); i += 2)
        shown += static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
    EXPECT_EQ(shown, u"0000000123456789");

    Fixture noAddress(u"812", u'0', u"00000001234567892004 臺灣銀行%%004");
    ASSERT_EQ(noAddress.dialog.Open(), std::nullopt);
    EXPECT_EQ(noAddress.dialog.view().TextOf(ControlForTag(15)), u" ");
}

TEST(GuidedTransferIn, TheProcessingCodeFollowsTheBanksAndTheServiceType) {
    // Record banks: 004 (transfer-in), or the home bank 812 right after the
    // category digit.
    constexpr char16_t kHomeRecord[] = u"00000001234567892812 台新銀行%%812";
    const struct {
        const char16_t* tag5;
        const char16_t* record;
        const char16_t* codes[3];  // ServiceType 0, 1, 2
    } cases[] = {
        {u"004 臺灣銀行", kRecord, {u"2523", u"2563", u"2523"}},
        {u"812 台新銀行", kRecord, {u"2521", u"2561", u"2561"}},
        {u"700 中華郵政", kHomeRecord, {u"2522", u"2562", u"2562"}},
        {u"700 中華郵政", kRecord, {u"2524", u"2564", u"2564"}},
    };
    for (const auto& c : cases) {
        for (int column = 0; column < 3; ++column) {
            SCOPED_TRACE(std::to_string(column) + " " + std::to_string(&c - cases));
            Fixture f(c.tag5, static_cast<char16_t>(u'0' + column), c.record);
            ASSERT_EQ(f.dialog.Open(), std::nullopt);
            EXPECT_EQ(f.transferIn.processingCode(), c.codes[column]);
        }
    }
    Fixture other(u"812", u'9');  // any other ServiceType counts as 0
    ASSERT_EQ(other.dialog.Open(), std::nullopt);
    EXPECT_EQ(other.transferIn.processingCode(), u"2521");
}

TEST(GuidedTransferIn, AfterOkTheCodeStandsInTheFourthFieldClearAndEnciphered) {
    Fixture f(u"812 台新銀行", u'0');
    f.Confirm();
    const auto results = f.transferIn.Results(f.messages);
    ASSERT_TRUE(results.has_value());
    EXPECT_EQ(results->processingCode, u"2521");
    EXPECT_EQ(results->clearTransferValues, u"004||123456789||2||2521||me@home.tw||");
    EXPECT_EQ(results->encipheredTransferValues, WideHex(results->clearTransferValues));
    EXPECT_EQ(f.encipher.inputs.back(), results->clearTransferValues);

    // Values without the final "||" get it.
    Fixture unended(u"004", u'0', kRecord, u"004||123456789||2||2523");
    unended.Confirm();
    EXPECT_EQ(unended.transferIn.Results(unended.messages)->clearTransferValues,
              u"004||123456789||2||2523||");
}

TEST(GuidedTransferIn, ServiceTypeTwoSendsTheTransferInAccountOnlyUnder2523) {
    const struct {
        const char16_t* tag5;
        char16_t serviceType;
        const char16_t* code;
        GuidedRecordLayout layout;
    } cases[] = {
        {u"004 臺灣銀行", u'2', u"2523", GuidedRecordLayout::kTransfer},
        {u"812 台新銀行", u'2', u"2561", GuidedRecordLayout::kWithoutTransferIn},
        {u"004 臺灣銀行", u'1', u"2563", GuidedRecordLayout::kWithoutTransferIn},
        {u"812 台新銀行", u'0', u"2521", GuidedRecordLayout::kTransfer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        Fixture f(c.tag5, c.serviceType);
        f.Confirm();
        const auto results = f.transferIn.Results(f.messages);
        ASSERT_TRUE(results.has_value());
        EXPECT_EQ(results->processingCode, c.code);
        EXPECT_EQ(results->clearTransferValues.substr(19, 4), c.code);
        EXPECT_EQ(GuidedRecordLayoutFor(c.serviceType, results->processingCode), c.layout);
    }
}

TEST(GuidedTransferIn, ARecordThatDoesNotDecipherShowsTheCipherErrorAndAnEmptyField) {
    Fixture f(u"812", u'0');
    f.decipher.failFromCall = 0;
    ASSERT_EQ(f.dialog.Open(), std::nullopt);
    EXPECT_EQ(f.messages.messages, std::vector<std::u16string>{u"加密資料錯誤"});
    EXPECT_EQ(f.messages.captions, std::vector<std::u16string>{u"Qorv商業銀行 WEB ATM"});
    EXPECT_EQ(f.dialog.view().transferInField.text, u"");
    // The rest of the dialog goes on: the bank text and the code come from the record.
    EXPECT_EQ(f.dialog.view().TextOf(ControlForTag(9)), u"004 臺灣銀行");
    EXPECT_EQ(f.transferIn.processingCode(), u"2521");
}

TEST(GuidedTransferIn, TransferValuesThatDoNotDecipherOrEncipherYieldNoResults) {
    Fixture undecipherable(u"812", u'0');
    undecipherable.Confirm();
    undecipherable.decipher.failFromCall = undecipherable.decipher.calls;
    EXPECT_EQ(undecipherable.transferIn.Results(undecipherable.messages), std::nullopt);
    EXPECT_EQ(undecipherable.messages.messages, std::vector<std::u16string>{u"加密資料錯誤"});
    EXPECT_EQ(undecipherable.messages.captions,
              std::vector<std::u16string>{u"Qorv商業銀行 WEB ATM"});
    EXPECT_TRUE(undecipherable.encipher.inputs.empty());

    Fixture unencipherable(u"812", u'0');
    unencipherable.Confirm();
    unencipherable.encipher.failFromCall = 0;
    EXPECT_EQ(unencipherable.transferIn.Results(unencipherable.messages), std::nullopt);
    EXPECT_EQ(unencipherable.messages.messages, std::vector<std::u16string>{u"加密資料錯誤"});

    // The dialog's empty transfer values (no item chosen) have no fourth field.
    Fixture empty(u"812", u'0', u"00000000000000000", u"");
    empty.Confirm();
    EXPECT_EQ(empty.transferIn.Results(empty.messages), std::nullopt);
    EXPECT_TRUE(empty.encipher.inputs.empty());
}

}  // namespace
}  // namespace qorv::dialogs
