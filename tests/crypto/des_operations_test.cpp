// DES, MAC and the text conversions that the page calls.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "crypto/des_operations.h"

namespace qorv::crypto {
namespace {

using Text = std::optional<std::u16string>;

const Text kFipsKey = u"133457799BBCDFF1";
const Text kFipsPlain = u"0123456789ABCDEF";
const Text kFipsCipher = u"85E813540F0AB405";

TEST(DesOperation, EncryptsAndDecryptsOneBlock) {
    std::u16string response;
    ASSERT_EQ(DesOperation(0, 8, kFipsKey, u"0123456789abcdef", response), result::kOk);
    EXPECT_EQ(response, *kFipsCipher);
    ASSERT_EQ(DesOperation(1, 8, u"133457799bbcdff1", kFipsCipher, response), result::kOk);
    EXPECT_EQ(response, *kFipsPlain);
    // Equal key halves (and thirds) act as single DES.
    ASSERT_EQ(DesOperation(0, 16, *kFipsKey + *kFipsKey, kFipsPlain, response), result::kOk);
    EXPECT_EQ(response, *kFipsCipher);
    ASSERT_EQ(DesOperation(1, 24, *kFipsKey + *kFipsKey + *kFipsKey, kFipsCipher, response),
              result::kOk);
    EXPECT_EQ(response, *kFipsPlain);
}

TEST(DesOperation, ChecksInOrderAndKeepsTheResponseOnFailure) {
    std::u16string response = u"previous";
    // Range checks come before the texts are looked at.
    EXPECT_EQ(DesOperation(2, 8, std::nullopt, std::nullopt, response), result::kOutOfRange);
    EXPECT_EQ(DesOperation(0, 12, kFipsKey, kFipsPlain, response), result::kOutOfRange);
    EXPECT_EQ(DesOperation(0, 8, std::nullopt, kFipsPlain, response), result::kArgumentMissing);
    EXPECT_EQ(DesOperation(0, 8, kFipsKey, std::nullopt, response), result::kArgumentMissing);
    EXPECT_EQ(DesOperation(0, 8, kFipsKey, u"0123456789ABCDE", response), result::kBadLength);
    EXPECT_EQ(DesOperation(0, 8, kFipsKey, u"0123456789ABCDEF0", response), result::kBadLength);
    EXPECT_EQ(DesOperation(0, 16, kFipsKey, kFipsPlain, response), result::kBadLength);
    EXPECT_EQ(DesOperation(0, 8, u"133457799BBCDFFG", kFipsPlain, response), result::kFailed);
    EXPECT_EQ(DesOperation(0, 8, kFipsKey, u"0123456789ABCDE ", response), result::kFailed);
    EXPECT_EQ(response, u"previous");
}

TEST(MacOperation, OneBlockIsTheCbcEncryptionOfThatBlock) {
    std::u16string response;
    // ICV 0123456789ABCDEF XOR data 0000000000000000 = the FIPS plain block.
    ASSERT_EQ(MacOperation(8, kFipsKey, u"0123456789ABCDEF", 8, u"0000000000000000", response),
              result::kOk);
    EXPECT_EQ(response, *kFipsCipher);
}

TEST(MacOperation, IsTheLastCipherBlockOfTripleDesCbc) {
    // A triple DES CBC MAC over three blocks (reference values from OpenSSL
    // des-ede-cbc / des-ede3-cbc), so every block runs the full cipher.
    const std::u16string data = u"4E6F77206973207468652074696D6520666F7220616C6C20";
    std::u16string response;
    ASSERT_EQ(MacOperation(16, u"0123456789ABCDEFFEDCBA9876543210", u"1234567890ABCDEF", 24, data,
                           response),
              result::kOk);
    EXPECT_EQ(response, u"B9627D35385D2E24");
    ASSERT_EQ(MacOperation(24, u"0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123",
                           u"1234567890abcdef", 24, data, response),
              result::kOk);
    EXPECT_EQ(response, u"30BA36075D6F0176");
}

TEST(MacOperation, ArgumentChecks) {
    std::u16string response = u"previous";
    const Text block = u"0000000000000000";
    const Text icv = u"0000000000000000";
    EXPECT_EQ(MacOperation(7, kFipsKey, icv, 8, block, response), result::kOutOfRange);
    EXPECT_EQ(MacOperation(8, kFipsKey, std::nullopt, 8, block, response),
              result::kArgumentMissing);
    EXPECT_EQ(MacOperation(8, kFipsKey, u"000000000000000", 8, block, response),
              result::kBadLength);
    for (int32_t inLen : {0, 4, 12, 1032, -8})
        EXPECT_EQ(MacOperation(8, kFipsKey, icv, inLen, block, response), result::kOutOfRange)
            << inLen;
    EXPECT_EQ(MacOperation(8, kFipsKey, icv, 16, block, response), result::kBadLength);
    EXPECT_EQ(MacOperation(8, kFipsKey, icv, 8, u"000000000000000x", response), result::kFailed);
    EXPECT_EQ(MacOperation(8, kFipsKey, u"00000000000000-0", 8, block, response), result::kFailed);
    EXPECT_EQ(response, u"previous");
    // The largest MAC input.
    EXPECT_EQ(MacOperation(8, kFipsKey, icv, 1024, std::u16string(2048, u'A'), response),
              result::kOk);
}

TEST(Conversions, TextToHexAndBack) {
    EXPECT_EQ(ConvertIntToHex(2, u"AB"), u"4142");
    EXPECT_EQ(ConvertIntToHex(2, u"\u0141\u00FFz"), u"41FF");
    EXPECT_EQ(ConvertHexToInt(4, u"4142"), u"AB");
    EXPECT_EQ(ConvertHexToInt(3, u"414"), u"A");
    EXPECT_EQ(ConvertHexToInt(4, u"00ff"), std::u16string(u"\0\u00FF", 2));
}

TEST(Conversions, ShortTextEndsEarlyAndBadInputGivesNoText) {
    EXPECT_EQ(ConvertIntToHex(10, u"AB"), u"4142");
    EXPECT_EQ(ConvertHexToInt(10, u"41424"), u"AB");
    for (int32_t length : {0, -1, 4097})
        EXPECT_EQ(ConvertIntToHex(length, u"AB"), std::nullopt) << length;
    EXPECT_NE(ConvertIntToHex(4096, u"AB"), std::nullopt);
    for (int32_t length : {0, -1, 8193})
        EXPECT_EQ(ConvertHexToInt(length, u"4142"), std::nullopt) << length;
    EXPECT_NE(ConvertHexToInt(8192, u"4142"), std::nullopt);
    EXPECT_EQ(ConvertIntToHex(2, std::nullopt), std::nullopt);
    EXPECT_EQ(ConvertHexToInt(2, std::nullopt), std::nullopt);
    EXPECT_EQ(ConvertHexToInt(4, u"41G2"), std::nullopt);
    // The bad digit lies past inLength: it is not read.
    EXPECT_EQ(ConvertHexToInt(2, u"41G2"), u"A");
}

}  // namespace
}  // namespace qorv::crypto
