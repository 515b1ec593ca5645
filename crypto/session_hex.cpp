#include "crypto/session_hex.h"

#include "crypto/hex.h"

namespace qorv::crypto {

bool DecodeSessionHex(std::u16string_view digits, SecretBuffer& out) {
    SecureWipe(out.bytes());
    const std::size_t size = HexDecodedSize(digits.size());
    out.bytes().reserve(size);
    out.bytes().resize(size);
    if (!HexDecode(digits, out.bytes().data())) {
        SecureWipe(out.bytes());
        return false;
    }
    return true;
}

}  // namespace qorv::crypto
