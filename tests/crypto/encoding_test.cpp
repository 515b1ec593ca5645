// Hexadecimal text, text/byte conversions and Base64 (RFC 4648).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/hex.h"
#include "crypto/text_bytes.h"

namespace qorv::crypto {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Ascii(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

std::optional<Bytes> Decode(std::u16string_view digits) {
    Bytes out(HexDecodedSize(digits.size()), 0);
    if (!HexDecode(digits, out.data())) return std::nullopt;
    return out;
}

TEST(Hex, EncodesUpperCaseAndDecodesEitherCase) {
    const Bytes bytes = {0x00, 0x1f, 0xab, 0xcd, 0xef, 0x9A};
    EXPECT_EQ(HexEncode(bytes), "001FABCDEF9A");
    EXPECT_EQ(HexEncodeU16(bytes), u"001FABCDEF9A");
    EXPECT_EQ(Decode(u"001FABCDEF9A"), bytes);
    EXPECT_EQ(Decode(u"001fabcdef9a"), bytes);
    EXPECT_EQ(HexEncode(Bytes{}), "");
}

TEST(Hex, OddDigitCountPutsTheLastDigitInTheHighHalf) {
    EXPECT_EQ(Decode(u"ABC"), (Bytes{0xAB, 0xC0}));
    EXPECT_EQ(Decode(u"7"), (Bytes{0x70}));
}

TEST(Hex, RefusesAnyOtherCharacter) {
    // Letters past F, separators, and UTF-16 units whose low byte is a digit.
    const std::u16string embeddedNul{u'1', u'2', u'\0', u'3'};
    for (std::u16string_view bad :
         {std::u16string_view(u"0G"), std::u16string_view(u"GG"), std::u16string_view(u"12 4"),
          std::u16string_view(u"1-"), std::u16string_view(u"0x12"),
          std::u16string_view(u"\u0141\u0141"), std::u16string_view(embeddedNul),
          std::u16string_view(u"ABC:")}) {
        EXPECT_EQ(Decode(bad), std::nullopt) << std::string(bad.begin(), bad.end());
    }
    uint8_t out[2];
    EXPECT_FALSE(HexDecode(std::string_view("1z"), out));
}

TEST(TextBytes, NarrowKeepsLowByteWidenMakesOneUnitPerByte) {
    EXPECT_EQ(NarrowText(u"AB\u0141\u00FF"), (Bytes{0x41, 0x42, 0x41, 0xFF}));
    EXPECT_EQ(WidenBytes(Bytes{0x41, 0x00, 0xFF}), std::u16string(u"A\0\u00FF", 3));
}

TEST(TextBytes, Utf16UnitsRoundTripLowByteFirst) {
    const std::u16string text = u"A\u4E2D";
    Bytes bytes(4);
    Utf16ToBytes(text, bytes.data());
    EXPECT_EQ(bytes, (Bytes{0x41, 0x00, 0x2D, 0x4E}));
    EXPECT_EQ(BytesToUtf16(bytes), text);
    EXPECT_EQ(BytesToUtf16(Bytes{0x41, 0x00, 0x42}), u"A");
}

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(Ascii(plain)), encoded);
        if (*plain != '\0') {
            EXPECT_EQ(Base64Decode(std::string_view(encoded)), Ascii(plain)) << encoded;
            const std::string e(encoded);
            EXPECT_EQ(Base64Decode(std::u16string(e.begin(), e.end())), Ascii(plain));
        }
    }
    EXPECT_EQ(Base64EncodeU16(Ascii("fo")), u"Zm8=");
    EXPECT_EQ(Base64Encode(Bytes{0xFB, 0xFF, 0xBF}), "+/+/");
}

TEST(Base64, LineBreaksAreIgnored) {
    EXPECT_EQ(Base64Decode(std::string_view("Zm9v\r\nYmFy\r\n")), Ascii("foobar"));
    EXPECT_EQ(Base64Decode(std::string_view("Zm\n9vYg==")), Ascii("foob"));
}

TEST(Base64, MalformedTextGivesNoBytes) {
    for (std::string_view bad : {"Zm9vY", "Zm9", "", "\r\n", "Zm9v!mFy", "Zm=vYmFy", "Zg==Zm9v",
                                 "Z===", "====", "Zm 9v"}) {
        EXPECT_TRUE(Base64Decode(bad).empty()) << bad;
    }
    EXPECT_TRUE(Base64Decode(std::u16string_view(u"Zm9\u0176")).empty());
}

}  // namespace
}  // namespace qorv::crypto
