#include "tools/banksim/openssl_primitives.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace qorv::banksim {

Sha1Digest Sha1(std::span<const uint8_t> data) {
    Sha1Digest digest{};
    unsigned int length = 0;
    // EVP_Digest only fails when OpenSSL cannot allocate; a zero digest then
    // never matches anything the component sends.
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1) {
        digest.fill(0);
    }
    return digest;
}

std::optional<SecretBytes> RandomSecret(std::size_t length) {
    Bytes bytes(length);
    if (RAND_bytes(bytes.data(), static_cast<int>(length)) != 1) return std::nullopt;
    return SecretBytes(std::move(bytes));
}

}  // namespace qorv::banksim
