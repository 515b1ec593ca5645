// Base64 (RFC 4648) with strict decoding: malformed text decodes to nothing
// rather than to bytes with holes in them.
#include "crypto/base64.h"

#include <array>
#include <type_traits>

#include "base/secure_wipe.h"

namespace qorv::crypto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> BuildReverse() {
    std::array<int8_t, 256> reverse{};
    reverse.fill(-1);
    for (int i = 0; i < 64; ++i)
        reverse[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return reverse;
}
constexpr std::array<int8_t, 256> kReverse = BuildReverse();

template <typename String>
String Encode(std::span<const uint8_t> bytes) {
    using Char = typename String::value_type;
    String text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group =
            (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            text.push_back(static_cast<Char>(kAlphabet[(group >> shift) & 63]));
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (rest == 2) group |= uint32_t{bytes[i + 1]} << 8;
        text.push_back(static_cast<Char>(kAlphabet[(group >> 18) & 63]));
        text.push_back(static_cast<Char>(kAlphabet[(group >> 12) & 63]));
        text.push_back(static_cast<Char>(rest == 2 ? kAlphabet[(group >> 6) & 63] : '='));
        text.push_back(static_cast<Char>('='));
    }
    return text;
}

// Sextet value of a unit, or -1 outside the alphabet (non-ASCII included).
template <typename CharT>
int SextetValue(CharT ch) {
    const auto u = static_cast<uint32_t>(static_cast<std::make_unsigned_t<CharT>>(ch));
    return u < 256 ? kReverse[u] : -1;
}

// Decodes text without line breaks into bytes (reserved at their final
// size); false for malformed text.
template <typename CharT>
bool DecodeCompact(const std::basic_string<CharT>& compact, std::vector<uint8_t>& bytes) {
    const std::size_t length = compact.size();
    if (length < 4 || length % 4 != 0) return false;
    std::size_t padding = 0;
    if (compact[length - 1] == CharT('=')) padding = compact[length - 2] == CharT('=') ? 2 : 1;

    bytes.reserve(length / 4 * 3 - padding);
    for (std::size_t i = 0; i < length; i += 4) {
        const bool lastGroup = i + 4 == length;
        const std::size_t dataChars = lastGroup ? 4 - padding : 4;
        uint32_t group = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            int value = 0;
            if (j < dataChars) {
                value = SextetValue(compact[i + j]);
                if (value < 0) return false;
            }
            group = (group << 6) | static_cast<uint32_t>(value);
        }
        bytes.push_back(static_cast<uint8_t>(group >> 16));
        if (dataChars > 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
        if (dataChars > 3) bytes.push_back(static_cast<uint8_t>(group));
    }
    return true;
}

// The text may be the encoding of a secret (a value to be enciphered), so
// the working copy and any partial result are wiped.
template <typename CharT>
std::vector<uint8_t> Decode(std::basic_string_view<CharT> text) {
    // Line breaks are tolerated anywhere, as writers that wrap lines put them.
    std::basic_string<CharT> compact;
    compact.reserve(text.size());
    for (const CharT ch : text)
        if (ch != CharT('\r') && ch != CharT('\n')) compact.push_back(ch);
    std::vector<uint8_t> bytes;
    if (!DecodeCompact(compact, bytes)) SecureWipe(bytes);
    SecureWipe(compact);
    return bytes;
}

}  // namespace

std::string Base64Encode(std::span<const uint8_t> bytes) {
    return Encode<std::string>(bytes);
}

std::u16string Base64EncodeU16(std::span<const uint8_t> bytes) {
    return Encode<std::u16string>(bytes);
}

std::vector<uint8_t> Base64Decode(std::string_view text) {
    return Decode(text);
}

std::vector<uint8_t> Base64Decode(std::u16string_view text) {
    return Decode(text);
}

}  // namespace qorv::crypto
