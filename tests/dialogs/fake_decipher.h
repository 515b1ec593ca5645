// A stand-in for the session cipher: the "enciphered" text is the plain
// text's bytes in hexadecimal, and texts beginning with "FFFF" fail.
#pragma once

#include <string>
#include <string_view>

#include "dialogs/config_document.h"

namespace qorv::dialogs::testing {

class HexDecipher final : public FieldDecipher {
  public:
    bool Decipher(std::u16string_view hex, std::u16string& plain) override {
        ++calls;
        plain.clear();
        if (hex.substr(0, 4) == u"FFFF" || hex.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int hi = Nibble(hex[i]);
            const int lo = Nibble(hex[i + 1]);
            if (hi < 0 || lo < 0) return false;
            if (hi * 16 + lo != 0) plain += static_cast<char16_t>(hi * 16 + lo);  // padding
        }
        return true;
    }
    int calls = 0;

  private:
    static int Nibble(char16_t c) {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    }
};

// Hex of the text's low bytes, padded with zero bytes to a multiple of 8.
inline std::u16string Encipher(std::u16string_view plain) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string hex;
    for (char16_t c : plain) {
        hex += kDigits[(c >> 4) & 15];
        hex += kDigits[c & 15];
    }
    while (hex.size() % 16 != 0) hex += u"00";
    return hex;
}

}  // namespace qorv::dialogs::testing
