// Reading a deployment key folder with OpenSSL: RSA keys in PEM or DER, in
// any of the usual structures, turned into the PKCS#1 DER that the key store
// holds; and the key-store constant.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qorv::keystore {

using Bytes = std::vector<uint8_t>;

struct RsaKeyDer {
    Bytes der;  // RSAPrivateKey or RSAPublicKey
    int modulusBits = 0;
    Bytes modulus;  // to match a public key with its private key
};

// Finds "<stem>.pem" or "<stem>.der" in the folder.
std::optional<std::filesystem::path> FindKeyFile(const std::filesystem::path& folder,
                                                 const std::string& stem);

// Reads a key file; privateKey selects RSAPrivateKey output, otherwise the
// public half of whatever the file holds is written as RSAPublicKey.
// Errors go to `error`.
std::optional<RsaKeyDer> ReadRsaKey(const std::filesystem::path& file, bool privateKey,
                                    std::string& error);

// The constant file: 16 hexadecimal digits (spaces, a "0x" prefix and
// "#" comment lines allowed).
std::optional<Bytes> ReadConstant(const std::filesystem::path& file, std::string& error);

}  // namespace qorv::keystore
