// The text conversions when the text runs out before any character is
// converted: an empty text (a successful conversion of nothing), the same way
// in both directions; the null string stays the sign of a failure.
#include "control_fixture.h"

namespace qorv::testing {
namespace {

TEST_F(ControlTest, ConversionOfNothingIsAnEmptyTextInBothDirections) {
    EXPECT_EQ(Call("ConvertIntToHex", {2, Text(u"")}), Text(u""));
    EXPECT_EQ(Call("ConvertHexToInt", {4, Text(u"")}), Text(u""));
    EXPECT_EQ(Call("ConvertHexToInt", {1, Text(u"4")}), Text(u""));
    EXPECT_EQ(Call("ConvertHexToInt", {2, Text(u"4")}), Text(u""));
    // Failures are still null, whatever the text.
    EXPECT_EQ(Call("ConvertIntToHex", {0, Text(u"")}), kNull);
    EXPECT_EQ(Call("ConvertHexToInt", {0, Text(u"")}), kNull);
    EXPECT_EQ(Call("ConvertIntToHex", {4097, Text(u"")}), kNull);
    EXPECT_EQ(Call("ConvertHexToInt", {8193, Text(u"")}), kNull);
}

}  // namespace
}  // namespace qorv::testing
