// The transaction summary that a bank page hands to the confirmation dialog:
// tagged text (<MSG><Tag1>...</Tag1>...<Tag19>...</Tag19></MSG>) from which
// the dialog takes the lines it shows, and the checks that the account, the
// transfer-in account and the amount passed to the card really appear in it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qorv::dialogs {

inline constexpr std::size_t kSummaryTagCount = 19;
// A tag text longer than this is cut to this many characters.
inline constexpr std::size_t kMaxSummaryTagLength = 279;

// Tag texts by number: entry 0 is Tag1, entry 18 Tag19. An absent tag is empty.
using SummaryTags = std::array<std::u16string, kSummaryTagCount>;

// For each number N the text between the first <TagN> and the next </TagN>
// after it, tag names in any case; the <MSG> wrapper is optional.
SummaryTags ExtractSummaryTags(std::u16string_view message);

// The account passes when it occurs in the tag text (leading blanks of the
// tag are skipped first).
bool AccountInSummaryTag(std::u16string_view tag, std::u16string_view account);

// Checks the 14-digit amount (the last two digits are hundredths) against
// the first number of the tag text. On success returns the tag text with
// that number's integer digits grouped by thousands ("NT$ 1234" becomes
// "NT$ 1,234"); a number that is not one of the amount's written forms
// gives nothing.
std::optional<std::u16string> CheckAmountInSummaryTag(std::u16string_view tag,
                                                      std::u16string_view amount);

// True when nothing but '0' characters remain after the leading '0'
// characters are skipped, i.e. the amount is empty or zero.
bool IsAllZeroAmount(std::u16string_view amount);

// "1234567" becomes "1,234,567".
std::u16string GroupThousands(std::u16string_view digits);

}  // namespace qorv::dialogs
