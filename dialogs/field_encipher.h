// Enciphers a dialog's result text for the bank: the entry dialogs hand the
// page each result both in clear and enciphered under the session key.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace qorv::dialogs {

// The cipher text as upper-case hexadecimal. The dialogs use
// SessionFieldEncipher; tests give their own.
class FieldEncipher {
  public:
    virtual ~FieldEncipher() = default;
    // false on any failure; hex is then empty.
    virtual bool Encipher(std::u16string_view plain, std::u16string& hex) = 0;
};

// SessionFieldCipher in the encrypt direction over the text's UTF-16 code
// units (chaining mode 1) under the session key of the call, the cipher
// bytes turned into hexadecimal; the key store is wiped after every call.
class SessionFieldEncipher final : public FieldEncipher {
  public:
    SessionFieldEncipher(std::u16string sessionKeyHash, std::u16string cpukEncSessionKey)
        : sessionKeyHash_(std::move(sessionKeyHash)),
          cpukEncSessionKey_(std::move(cpukEncSessionKey)) {}
    bool Encipher(std::u16string_view plain, std::u16string& hex) override;

  private:
    std::u16string sessionKeyHash_;
    std::u16string cpukEncSessionKey_;
};

}  // namespace qorv::dialogs
