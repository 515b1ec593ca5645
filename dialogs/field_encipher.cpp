#include "dialogs/field_encipher.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "base/results.h"
#include "base/secure_wipe.h"
#include "crypto/hex.h"
#include "crypto/key_store.h"
#include "crypto/session.h"

namespace qorv::dialogs {
namespace {

constexpr uint8_t kFieldChainingMode = 1;

}  // namespace

bool SessionFieldEncipher::Encipher(std::u16string_view plain, std::u16string& hex) {
    SecureWipe(hex);
    std::optional<std::u16string> input{std::u16string(plain)};
    std::u16string cipher;
    int32_t length = 0;
    const int32_t rc = crypto::SessionFieldCipher(
        sessionKeyHash_, cpukEncSessionKey_, crypto::FieldDirection::kEncrypt,
        crypto::kFieldInputUtf16, length, input, cipher, kFieldChainingMode);
    // The cipher loads the key store for its RSA step; none of it stays.
    crypto::WipeKeyStore();
    SecureWipe(*input);
    if (rc != result::kOk || cipher.empty()) {
        SecureWipe(cipher);
        return false;
    }
    std::vector<uint8_t> bytes(cipher.size());
    for (std::size_t i = 0; i < cipher.size(); ++i) bytes[i] = static_cast<uint8_t>(cipher[i]);
    hex = crypto::HexEncodeU16(bytes);
    SecureWipe(bytes);
    SecureWipe(cipher);
    return true;
}

}  // namespace qorv::dialogs
