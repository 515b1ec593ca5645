// The bank server's RSA keys: its own private key and the client's public key,
// and the four PKCS#1 v1.5 operations of the key agreement, all in OpenSSL.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "tools/banksim/secret_bytes.h"

namespace qorv::banksim {

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDeleter>;

class BankKeys {
  public:
    // Reads server-private.pem and client-public.pem from `folder`.
    static std::optional<BankKeys> LoadFolder(const std::string& folder, std::string* error);
    // PEM texts; the client key may be a public or a private key.
    static std::optional<BankKeys> FromPem(const std::string& serverPrivatePem,
                                           const std::string& clientPublicPem, std::string* error);

    // RSA PKCS#1 v1.5 encryption under the client public key: the full modulus
    // length, leading zero bytes included.
    std::optional<Bytes> EncryptForClient(std::span<const uint8_t> plain) const;
    // Decryption with the server private key; nothing when the padding is wrong.
    std::optional<SecretBytes> DecryptWithServerKey(std::span<const uint8_t> cipher) const;
    // PKCS#1 v1.5 signature over SHA-1 of `data` with the server private key.
    std::optional<Bytes> SignWithServerKey(std::span<const uint8_t> data) const;
    // Checks a PKCS#1 v1.5 signature over SHA-1 of `data` with the client public key.
    bool VerifyClientSignature(std::span<const uint8_t> data,
                               std::span<const uint8_t> signature) const;

    std::size_t clientModulusBytes() const;
    std::size_t serverModulusBytes() const;

  private:
    BankKeys(Pkey serverPrivate, Pkey clientPublic)
        : serverPrivate_(std::move(serverPrivate)), clientPublic_(std::move(clientPublic)) {}

    std::shared_ptr<EVP_PKEY> serverPrivate_;
    std::shared_ptr<EVP_PKEY> clientPublic_;
};

}  // namespace qorv::banksim
