#include "base/utf16.h"

#include <gtest/gtest.h>

namespace qorv {
namespace {

TEST(Utf16, RoundTripsReaderNamesWithNonAsciiCharacters) {
    const std::u16string name = u"讀卡機 Virtual PCD 0 \U0001F4B3";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(name)), name);
    EXPECT_EQ(Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
}

TEST(Utf16, ReplacesWhatTheOtherSideCannotCarry) {
    // Truncated sequence, stray continuation byte, overlong form, encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16("a\xE8\xAE"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\x80z"), u"\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    const std::u16string lone{char16_t{0xD800}, u'x'};
    EXPECT_EQ(Utf16ToUtf8(lone), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace qorv
