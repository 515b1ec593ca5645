// The confirmation summary comes from the page: the tags, the account check
// and the amount check must take any text, and an amount that passes must
// really be the amount the card will sign. A confirmation that opens shows
// the arguments in its host block as the host formats them, and none of
// the values it checked holds a character that could hide or disguise them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/confirmation_dialog.h"
#include "dialogs/confirmation_summary.h"
#include "dialogs/page_text.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using namespace qorv::dialogs;

// Bytes from 0xE0 up stand for the characters a spoofed summary uses.
constexpr char16_t kSpecials[] = {
    0x2028, 0x2029, 0x202E, 0x202D, 0x202C, 0x200B, 0x200E, 0x2066, 0x2069, 0xFEFF, 0x0085,
    0xFF10, 0xFF19, 0xFF0C, 0x0660, 0x0E59, 0x3000, 0x00A0, 0xD835, 0xDFCE, 0x000A, 0x0009,
    0x8F49, 0x5E33, 0x91D1, 0x984D, 0x5165, 0x51FA, 0x865F, 0x9280, 0xFF1A, 0x003A,
};

class PresentCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override { return CardPresence::Present; }
};

class Silent final : public MessageSink {
  public:
    using MessageSink::ShowMessage;
    void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

std::u16string Digits(std::u16string_view text) {
    std::u16string digits;
    for (char16_t c : text)
        if (c >= u'0' && c <= u'9') digits.push_back(c);
    return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qorv::fuzz::FuzzInput input(data, size);
    // A 14-digit amount as the card takes it, and an account.
    std::u16string amount;
    for (int i = 0; i < 14; ++i) amount.push_back(static_cast<char16_t>(u'0' + input.Byte() % 10));
    const std::u16string account = input.Text(20);
    std::u16string message;
    for (uint8_t byte : input.RestBytes()) {
        if (byte >= 0xE0) {
            message.push_back(kSpecials[(byte - 0xE0) % std::size(kSpecials)]);
        } else {
            message.push_back(byte < 0x80 ? byte : 0x4E00 + byte);
        }
    }

    const SummaryTags tags = ExtractSummaryTags(message);
    for (const std::u16string& tag : tags) {
        FUZZ_CHECK(tag.size() <= kMaxSummaryTagLength);
        (void)AccountInSummaryTag(tag, account);
        const auto shown = CheckAmountInSummaryTag(tag, amount);
        if (!shown) continue;
        // The regrouped text keeps every digit of the tag: only separators move.
        std::u16string before = Digits(tag);
        std::u16string after = Digits(*shown);
        FUZZ_CHECK(before == after);
    }
    PresentCard card;
    Silent messages;
    ConfirmationDialog dialog({message, amount, account, account, ConfirmationMode::Transfer}, card,
                              messages);
    if (!dialog.Open()) {
        const HostBlock& block = dialog.view().hostBlock;
        FUZZ_CHECK(block.size() == 3);
        FUZZ_CHECK(block[0].value == InertText(account));
        FUZZ_CHECK(block[1].value == InertText(std::u16string_view(account).substr(0, 16)));
        FUZZ_CHECK(block[2].value == FormatAmount(amount));
        for (const int checked : {7, 11, 13})
            FUZZ_CHECK(!HasUnsafeCharacter(dialog.tags()[checked - 1]));
        // The amount row shows the card's amount, regrouped.
        std::u16string shown = dialog.view().TextOf(ControlForTag(13));
        std::erase(shown, u',');
        FUZZ_CHECK(CheckAmountInSummaryTag(shown, amount).has_value());
    }
    FUZZ_CHECK(IsAllZeroAmount(u"00000000000000"));
    const std::u16string grouped = GroupThousands(Digits(message).substr(0, 40));
    FUZZ_CHECK(Digits(grouped) == Digits(message).substr(0, 40));
    return 0;
}
