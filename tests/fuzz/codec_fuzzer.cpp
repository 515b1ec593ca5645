// Fuzz target: the text codecs at the scripting boundary and the page's
// symmetric operations that take and give text. The first input byte picks
// the codec; every codec is checked by a round trip or against a second
// computation of the same result, not only for crashes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/results.h"
#include "crypto/base64.h"
#include "crypto/des.h"
#include "crypto/des_operations.h"
#include "crypto/hex.h"
#include "crypto/text_bytes.h"
#include "crypto/value_protection.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#if __has_include("base/utf16.h")
#include "base/utf16.h"
#else
#include "reader/utf16.h"
#endif

namespace {

using qorv::fuzz::FuzzInput;
using Bytes = std::vector<uint8_t>;
namespace crypto = qorv::crypto;

bool IsUpperHex(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
    });
}

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'f' ? static_cast<char16_t>(c - 32) : c;
}

void CheckUtf8(const Bytes& input) {
    const std::string_view utf8(reinterpret_cast<const char*>(input.data()), input.size());
    const std::u16string units = qorv::Utf8ToUtf16(utf8);
    // Well-formed UTF-16: every surrogate in a high-low pair.
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0xD800 && units[i] <= 0xDBFF) {
            FUZZ_CHECK(i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF);
            ++i;
        } else {
            FUZZ_CHECK(units[i] < 0xDC00 || units[i] > 0xDFFF);
        }
    }
    const std::string again = qorv::Utf16ToUtf8(units);
    FUZZ_CHECK(qorv::Utf8ToUtf16(again) == units);
    // Without a replacement character the input was well-formed UTF-8, and
    // only the shortest form of each code point is: it must come back whole.
    if (units.find(u'\uFFFD') == std::u16string::npos) FUZZ_CHECK(again == utf8);
}

void CheckUtf16(const std::u16string& units) {
    std::u16string expected;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            expected.push_back(c);
            expected.push_back(units[++i]);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            expected.push_back(u'\uFFFD');
        } else {
            expected.push_back(c);
        }
    }
    FUZZ_CHECK(qorv::Utf8ToUtf16(qorv::Utf16ToUtf8(units)) == expected);
}

void CheckBase64(FuzzInput& in) {
    const Bytes bytes = in.Bytes(4096);
    const std::string encoded = crypto::Base64Encode(bytes);
    FUZZ_CHECK(encoded.size() == 4 * ((bytes.size() + 2) / 3));
    FUZZ_CHECK(crypto::Base64Decode(encoded) == bytes || bytes.empty());
    const std::u16string wide = crypto::Base64EncodeU16(bytes);
    FUZZ_CHECK(wide == std::u16string(encoded.begin(), encoded.end()));

    // Arbitrary text: decoded bytes encode and decode to themselves, and a
    // unit above 0x7F never passes for the character of its low byte.
    const std::u16string text = in.RestText();
    const Bytes decoded = crypto::Base64Decode(text);
    if (!decoded.empty()) {
        FUZZ_CHECK(crypto::Base64Decode(crypto::Base64Encode(decoded)) == decoded);
        std::size_t significant = 0;
        for (const char16_t c : text) {
            FUZZ_CHECK(c < 0x80);
            if (c != u'\r' && c != u'\n') ++significant;
        }
        FUZZ_CHECK(significant % 4 == 0);
        FUZZ_CHECK(decoded.size() <= significant / 4 * 3 &&
                   decoded.size() + 2 >= significant / 4 * 3);
        const std::string narrow(text.begin(), text.end());
        FUZZ_CHECK(crypto::Base64Decode(narrow) == decoded);
    }
}

void CheckHex(FuzzInput& in) {
    const Bytes bytes = in.Bytes(4096);
    const std::u16string encoded = crypto::HexEncodeU16(bytes);
    FUZZ_CHECK(encoded.size() == 2 * bytes.size() && IsUpperHex(encoded));
    Bytes back(bytes.size());
    FUZZ_CHECK(crypto::HexDecode(encoded, back.data()) && back == bytes);

    const std::u16string text = in.RestText();
    const bool allDigits = std::all_of(text.begin(), text.end(), IsHexDigit);
    Bytes decoded(crypto::HexDecodedSize(text.size()));
    const bool decodedOk = crypto::HexDecode(text, decoded.data());
    FUZZ_CHECK(decodedOk == allDigits);
    if (!decodedOk) return;
    std::u16string upper;
    for (const char16_t c : text) upper.push_back(Upper(c));
    if (upper.size() % 2 != 0) upper.push_back(u'0');
    FUZZ_CHECK(crypto::HexEncodeU16(decoded) == upper);
    const std::string narrow(text.begin(), text.end());
    Bytes narrowDecoded(decoded.size());
    FUZZ_CHECK(crypto::HexDecode(narrow, narrowDecoded.data()) && narrowDecoded == decoded);
}

void CheckTextBytes(FuzzInput& in) {
    const std::u16string text = in.RestText();
    const Bytes narrow = crypto::NarrowText(text);
    FUZZ_CHECK(narrow.size() == text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        FUZZ_CHECK(narrow[i] == static_cast<uint8_t>(text[i] & 0xFF));
    FUZZ_CHECK(crypto::NarrowText(crypto::WidenBytes(narrow)) == narrow);
    Bytes units(2 * text.size());
    crypto::Utf16ToBytes(text, units.data());
    FUZZ_CHECK(crypto::BytesToUtf16(units) == text);
}

// Hexadecimal text of a byte string, with a few damaged digits when asked.
std::u16string KeyText(FuzzInput& in, std::size_t bytes) {
    std::u16string text = crypto::HexEncodeU16(in.Bytes(bytes));
    if (in.Byte() == 0xFF && !text.empty()) text[in.Byte() % text.size()] = in.Integer<char16_t>();
    return text;
}

void CheckDes(FuzzInput& in) {
    const int32_t keyLens[] = {8, 16, 24, 0, 7, 32};
    const int32_t keyLen = keyLens[in.Choice(6)];
    const int32_t opflag = static_cast<int32_t>(in.Choice(3));
    const std::u16string key = KeyText(in, 32);
    const std::u16string block = KeyText(in, 12);
    std::u16string response = u"unchanged";
    const int32_t rc = crypto::DesOperation(opflag, keyLen, key, block, response);
    if (rc != qorv::result::kOk) {
        FUZZ_CHECK(response == u"unchanged");
        return;
    }
    FUZZ_CHECK(response.size() == 16 && IsUpperHex(response));
    std::u16string back;
    FUZZ_CHECK(crypto::DesOperation(1 - opflag, keyLen, key, response, back) == qorv::result::kOk);
    std::u16string upper;
    for (const char16_t c : block) upper.push_back(Upper(c));
    FUZZ_CHECK(back == upper);
}

void CheckMac(FuzzInput& in) {
    const int32_t keyLens[] = {8, 16, 24, 12};
    const int32_t keyLen = keyLens[in.Choice(4)];
    const int32_t inLen = in.Integer<int16_t>();
    const std::u16string key = KeyText(in, 32);
    const std::u16string icv = KeyText(in, 9);
    const std::u16string data = KeyText(in, 1100);
    std::u16string response = u"unchanged";
    const int32_t rc = crypto::MacOperation(keyLen, key, icv, inLen, data, response);
    if (rc != qorv::result::kOk) {
        FUZZ_CHECK(response == u"unchanged");
        return;
    }
    FUZZ_CHECK(inLen >= 8 && inLen <= crypto::kDesOpMaxDataBytes && inLen % 8 == 0);
    // The same MAC from the block engine: the last block of plain CBC.
    uint8_t keys[crypto::kDesKeyAreaSize] = {};
    uint8_t iv[crypto::kDesBlockSize];
    Bytes plain(static_cast<std::size_t>(inLen));
    FUZZ_CHECK(crypto::HexDecode(std::u16string_view(key).substr(0, 2 * keyLen), keys));
    FUZZ_CHECK(crypto::HexDecode(icv, iv));
    FUZZ_CHECK(crypto::HexDecode(std::u16string_view(data).substr(0, 2 * inLen), plain.data()));
    Bytes cipher(plain.size() + crypto::kDesBlockSize);
    int32_t length = inLen;
    FUZZ_CHECK(crypto::DesModeEncrypt(keys, &length, plain.data(), cipher.data(),
                                      static_cast<uint8_t>(keyLen / 8 - 1), crypto::kModeCbcNoPad,
                                      crypto::kPadPkcs5, 0, iv) == crypto::kDesOk);
    FUZZ_CHECK(response == crypto::HexEncodeU16(std::span(cipher.data() + inLen - 8, 8)));
}

void CheckConvert(FuzzInput& in) {
    const int32_t length = in.Integer<int16_t>();
    const std::u16string text = in.RestText();
    const auto hex = crypto::ConvertIntToHex(length, text);
    FUZZ_CHECK(hex.has_value() == (length >= 1 && length <= 4096));
    if (hex) {
        const std::size_t count =
            std::min<std::size_t>(static_cast<std::size_t>(length), text.size());
        FUZZ_CHECK(hex->size() == 2 * count && IsUpperHex(*hex));
        const auto back =
            crypto::ConvertHexToInt(std::max<int32_t>(static_cast<int32_t>(hex->size()), 1), *hex);
        FUZZ_CHECK(back.has_value() && back->size() == count);
        for (std::size_t i = 0; i < count; ++i) FUZZ_CHECK((*back)[i] == (text[i] & 0xFF));
    }
    // Text to bytes: only the first length digits count, an odd last one dropped.
    const auto bytes = crypto::ConvertHexToInt(length, text);
    if (length < 1 || length > 8192) {
        FUZZ_CHECK(!bytes.has_value());
        return;
    }
    const std::size_t digits =
        std::min<std::size_t>(static_cast<std::size_t>(length), text.size()) / 2 * 2;
    const bool allDigits =
        std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(digits), IsHexDigit);
    FUZZ_CHECK(bytes.has_value() == allDigits);
    if (bytes) FUZZ_CHECK(bytes->size() == digits / 2);
}

void CheckBlockModes(FuzzInput& in) {
    const uint8_t type = static_cast<uint8_t>(in.Choice(4));
    const uint8_t mode = static_cast<uint8_t>(in.Choice(6));
    const int style = static_cast<int>(in.Choice(2));
    const uint8_t fill = in.Byte();
    uint8_t keys[crypto::kDesKeyAreaSize];
    uint8_t iv[crypto::kDesBlockSize];
    for (auto& b : keys) b = in.Byte();
    for (auto& b : iv) b = in.Byte();
    const Bytes plain = in.RestBytes();
    Bytes cipher(plain.size() + crypto::kDesBlockSize);
    int32_t length = static_cast<int32_t>(plain.size());
    if (crypto::DesModeEncrypt(keys, &length, plain.data(), cipher.data(), type, mode, style, fill,
                               iv) != crypto::kDesOk)
        return;
    FUZZ_CHECK(type <= 2);
    FUZZ_CHECK(length >= static_cast<int32_t>(plain.size()) &&
               length <= static_cast<int32_t>(cipher.size()));
    Bytes back(static_cast<std::size_t>(length) + 1);  // never empty: the output must not be null
    FUZZ_CHECK(crypto::DesModeDecrypt(keys, &length, cipher.data(), back.data(), type, mode, iv) ==
               crypto::kDesOk);
    FUZZ_CHECK(length == static_cast<int32_t>(plain.size()));
    FUZZ_CHECK(std::equal(plain.begin(), plain.end(), back.begin()));
}

void CheckDisplayScrambling(FuzzInput& in) {
    const uint32_t offset = in.Byte() % 40;
    const Bytes plain = in.Bytes(300);
    std::u16string scrambled;
    const int32_t rc = crypto::ScrambleDisplayText(plain, offset, scrambled);
    // An empty text stays empty under any offset (and has nothing to recover).
    if (plain.empty()) FUZZ_CHECK(rc == crypto::kDesOk && scrambled.empty());
    if (offset > crypto::kMaxProtectionKeyOffset && !plain.empty())
        FUZZ_CHECK(rc != crypto::kDesOk);
    if (rc == crypto::kDesOk && !plain.empty()) {
        std::vector<uint8_t> back;
        FUZZ_CHECK(crypto::UnscrambleDisplayText(scrambled, offset, back) == crypto::kDesOk);
        FUZZ_CHECK(back == plain);
    }
    // Any window text: recovered or refused with nothing left over.
    std::vector<uint8_t> recovered = {1, 2, 3};
    if (crypto::UnscrambleDisplayText(in.RestText(), offset, recovered) != crypto::kDesOk)
        FUZZ_CHECK(recovered.empty());
}

// A dialog's data key: what is enciphered under the wrapped key deciphers
// to itself; a wrong wrapping offset or selector never passes silently for
// the right one when the data is refused.
void CheckDataKey(FuzzInput& in) {
    const uint32_t offset = in.Byte() % 40;
    const uint32_t selector = in.Byte();
    crypto::WrappedDataKey wrapped{};
    for (auto& b : wrapped) b = in.Byte();
    if (in.Flag()) {
        const int32_t rc = crypto::NewWrappedDataKey(offset, selector, wrapped);
        FUZZ_CHECK((rc == crypto::kDesOk) == (offset <= crypto::kMaxProtectionKeyOffset));
    }
    const Bytes plain = in.RestBytes();
    Bytes cipher(plain.size() + 1);
    const int32_t rc = crypto::EncryptWithDataKey(plain, wrapped, offset, selector, cipher.data());
    if (rc != crypto::kDesOk) {
        FUZZ_CHECK(plain.size() % 8 != 0 || offset > crypto::kMaxProtectionKeyOffset);
        return;
    }
    FUZZ_CHECK(plain.size() % 8 == 0 && offset <= crypto::kMaxProtectionKeyOffset);
    Bytes back(plain.size() + 1);
    FUZZ_CHECK(crypto::DecryptWithDataKey(std::span(cipher.data(), plain.size()), wrapped, offset,
                                          selector, back.data()) == crypto::kDesOk);
    FUZZ_CHECK(std::equal(plain.begin(), plain.end(), back.begin()));
    // The wipe helpers sit in qorv::crypto or, once moved to base/, in qorv.
    using namespace qorv;
    using namespace qorv::crypto;
    SecretBytes<kDataKeySize> key;
    FUZZ_CHECK(crypto::UnwrapDataKey(wrapped, offset, selector, key) == crypto::kDesOk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    switch (in.Choice(11)) {
        case 0:
            CheckUtf8(in.RestBytes());
            break;
        case 1:
            CheckUtf16(in.RestText());
            break;
        case 2:
            CheckBase64(in);
            break;
        case 3:
            CheckHex(in);
            break;
        case 4:
            CheckTextBytes(in);
            break;
        case 5:
            CheckDes(in);
            break;
        case 6:
            CheckMac(in);
            break;
        case 7:
            CheckConvert(in);
            break;
        case 8:
            CheckBlockModes(in);
            break;
        case 9:
            CheckDisplayScrambling(in);
            break;
        default:
            CheckDataKey(in);
            break;
    }
    return 0;
}
