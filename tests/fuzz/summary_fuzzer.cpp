// The confirmation summary comes from the page: the tags, the account check
// and the amount check must take any text, and an amount that passes must
// really be the amount the card will sign.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/confirmation_summary.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using namespace qorv::dialogs;

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
    for (uint8_t byte : input.RestBytes()) message.push_back(byte < 0x80 ? byte : 0x4E00 + byte);

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
    FUZZ_CHECK(IsAllZeroAmount(u"00000000000000"));
    const std::u16string grouped = GroupThousands(Digits(message).substr(0, 40));
    FUZZ_CHECK(Digits(grouped) == Digits(message).substr(0, 40));
    return 0;
}
