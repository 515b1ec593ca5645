// The cipher methods as the page calls them: results in the shared response
// data, null strings for failed conversions, the session texts.
#include "control_fixture.h"

namespace qorv::testing {
namespace {

TEST_F(ControlTest, DesOutputIsReadByBothSharedGetters) {
    // FIPS 81: "Now is t" under 0123456789ABCDEF.
    EXPECT_EQ(Long("DES", {0, 8, Text(u"0123456789abcdef"), Text(u"4E6F772069732074")}), 0);
    EXPECT_EQ(Call("GetRespData"), Text(u"3FA40E8A984D4815"));
    EXPECT_EQ(Call("GetClearCommAcc"), Text(u"3FA40E8A984D4815"));
    EXPECT_EQ(Long("DES", {1, 8, Text(u"0123456789ABCDEF"), Text(u"3FA40E8A984D4815")}), 0);
    EXPECT_EQ(Call("GetRespData"), Text(u"4E6F772069732074"));
    EXPECT_EQ(Long("GetRespLength"), 0);
}

TEST_F(ControlTest, FailedCipherCallsKeepThePreviousResponse) {
    ASSERT_EQ(Long("MAC", {8, Text(u"0123456789ABCDEF"), Text(u"0000000000000000"), 8,
                           Text(u"4E6F772069732074")}),
              0);
    EXPECT_EQ(Long("DES", {0, 8, Text(u"0123456789ABCDEG"), Text(u"4E6F772069732074")}), -1);
    EXPECT_EQ(Long("MAC", {8, kNull, Text(u"0000000000000000"), 8, Text(u"4E6F772069732074")}),
              8195);
    EXPECT_EQ(Call("GetRespData"), Text(u"3FA40E8A984D4815"));
    // A new card session clears it.
    pcsc.AddReader("Virtual PCD 00 00");
    ASSERT_EQ(Long("ConnectCard", {Text(u"Virtual PCD 00 00")}), 0);
    EXPECT_EQ(Call("GetRespData"), Text(u""));
}

TEST_F(ControlTest, ConversionsAnswerNullOnFailure) {
    EXPECT_EQ(Call("ConvertIntToHex", {3, Text(u"AB\u00FF")}), Text(u"4142FF"));
    EXPECT_EQ(Call("ConvertHexToInt", {4, Text(u"41ff")}), Text(u"A\u00FF"));
    EXPECT_EQ(Call("ConvertHexToInt", {2, Text(u"4G")}), kNull);
    EXPECT_EQ(Call("ConvertIntToHex", {0, Text(u"AB")}), kNull);
    EXPECT_EQ(Call("ConvertIntToHex", {3, kNull}), kNull);
}

TEST_F(ControlTest, SessionHashStaysNullUntilTheKeyAgreementSucceeds) {
    EXPECT_EQ(Long("VerifyRN1andGenerateRN2", {2, Text(u"ABCD"), 1, Text(u"EF")}), 20741);
    EXPECT_EQ(Call("GetSessionKeyHash"), kNull);
    EXPECT_EQ(Long("VerifyRN1andGenerateRN2", {2, Text(u"ABC"), 1, Text(u"EF")}), 8450);
    EXPECT_EQ(Long("VerifyRN1andGenerateRN2", {2, kNull, 1, Text(u"EF")}), 8195);
    EXPECT_EQ(Long("VerifySessionKeyHash", {Text(u"00"), kNull}), 8195);
}

}  // namespace
}  // namespace qorv::testing
