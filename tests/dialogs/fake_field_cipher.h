// A stand-in for the session cipher of the guided dialogs that keeps the
// whole UTF-16 text: the "cipher text" is each code unit as four
// hexadecimal digits, padded with "0000" units to a multiple of 16 digits.
// Either direction can be told to fail from a given call on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dialogs/config_document.h"
#include "dialogs/transfer_account_dialog.h"

namespace qorv::dialogs::testing {

inline std::u16string WideHex(std::u16string_view plain) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string hex;
    for (char16_t c : plain)
        for (int shift = 12; shift >= 0; shift -= 4) hex += kDigits[(c >> shift) & 15];
    while (hex.size() % 16 != 0) hex += u"0000";
    return hex;
}

class WideHexEncipher final : public FieldEncipher {
  public:
    bool Encipher(std::u16string_view plain, std::u16string& hex) override {
        inputs.emplace_back(plain);
        hex.clear();
        if (static_cast<int>(inputs.size()) > failFromCall && failFromCall >= 0) return false;
        hex = WideHex(plain);
        return true;
    }
    std::vector<std::u16string> inputs;
    int failFromCall = -1;  // calls after this many fail; -1 never
};

class WideHexDecipher final : public FieldDecipher {
  public:
    bool Decipher(std::u16string_view hex, std::u16string& plain) override {
        ++calls;
        plain.clear();
        if ((failFromCall >= 0 && calls > failFromCall) || hex.size() % 4 != 0) return false;
        for (std::size_t i = 0; i < hex.size(); i += 4) {
            char16_t unit = 0;
            for (std::size_t j = 0; j < 4; ++j) {
                const char16_t d = hex[i + j];
                const int v = d >= u'0' && d <= u'9'   ? d - u'0'
                              : d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                       : -1;
                if (v < 0) return false;
                unit = static_cast<char16_t>(unit * 16 + v);
            }
            if (unit != 0) plain += unit;
        }
        return true;
    }
    int calls = 0;
    int failFromCall = -1;  // calls after this many fail; -1 never
};

}  // namespace qorv::dialogs::testing
