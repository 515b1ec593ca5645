#include "key_files.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/decoder.h>
#include <openssl/encoder.h>
#include <openssl/evp.h>

#include <cctype>
#include <fstream>
#include <iterator>

namespace qorv::keystore {
namespace {

Bytes ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private key is read as a key pair; a public key from a file that holds
// either a public key or a whole key pair.
EVP_PKEY* DecodeKey(const Bytes& content, bool privateKey) {
    for (const int selection : {OSSL_KEYMGMT_SELECT_KEYPAIR, OSSL_KEYMGMT_SELECT_PUBLIC_KEY}) {
        if (privateKey && selection != OSSL_KEYMGMT_SELECT_KEYPAIR) break;
        EVP_PKEY* key = nullptr;
        OSSL_DECODER_CTX* ctx = OSSL_DECODER_CTX_new_for_pkey(&key, nullptr, nullptr, "RSA",
                                                              selection, nullptr, nullptr);
        if (ctx == nullptr) continue;
        const unsigned char* data = content.data();
        std::size_t size = content.size();
        const bool decoded = OSSL_DECODER_from_data(ctx, &data, &size) == 1;
        OSSL_DECODER_CTX_free(ctx);
        if (decoded && key != nullptr) return key;
        EVP_PKEY_free(key);
    }
    return nullptr;
}

// "type-specific" DER of an RSA key is PKCS#1 (RSAPrivateKey / RSAPublicKey).
bool EncodePkcs1(EVP_PKEY* key, bool privateKey, Bytes& der) {
    const int selection = privateKey ? OSSL_KEYMGMT_SELECT_KEYPAIR : OSSL_KEYMGMT_SELECT_PUBLIC_KEY;
    OSSL_ENCODER_CTX* ctx =
        OSSL_ENCODER_CTX_new_for_pkey(key, selection, "DER", "type-specific", nullptr);
    if (ctx == nullptr) return false;
    unsigned char* data = nullptr;
    std::size_t size = 0;
    const bool ok = OSSL_ENCODER_to_data(ctx, &data, &size) == 1;
    OSSL_ENCODER_CTX_free(ctx);
    if (ok) der.assign(data, data + size);
    OPENSSL_clear_free(data, size);
    return ok;
}

}  // namespace

std::optional<std::filesystem::path> FindKeyFile(const std::filesystem::path& folder,
                                                 const std::string& stem) {
    for (const char* extension : {".pem", ".der"}) {
        const auto path = folder / (stem + extension);
        if (std::filesystem::exists(path)) return path;
    }
    return std::nullopt;
}

std::optional<RsaKeyDer> ReadRsaKey(const std::filesystem::path& file, bool privateKey,
                                    std::string& error) {
    Bytes content = ReadFile(file);
    if (content.empty()) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    EVP_PKEY* key = DecodeKey(content, privateKey);
    OPENSSL_cleanse(content.data(), content.size());
    if (key == nullptr) {
        error = file.string() + ": not an RSA " + (privateKey ? "private" : "public") + " key";
        return std::nullopt;
    }
    RsaKeyDer result;
    result.modulusBits = EVP_PKEY_get_bits(key);
    BIGNUM* n = nullptr;
    if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) == 1) {
        result.modulus.resize(static_cast<std::size_t>(BN_num_bytes(n)));
        BN_bn2bin(n, result.modulus.data());
    }
    BN_free(n);
    const bool encoded = EncodePkcs1(key, privateKey, result.der);
    EVP_PKEY_free(key);
    if (!encoded) {
        error = file.string() + ": cannot write the key as PKCS#1 DER";
        return std::nullopt;
    }
    return result;
}

std::optional<Bytes> ReadConstant(const std::filesystem::path& file, std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    std::string digits;
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        if (line.find("0x") != std::string::npos) line.erase(line.find("0x"), 2);
        for (const char c : line) {
            if (std::isxdigit(static_cast<unsigned char>(c))) {
                digits.push_back(c);
            } else if (!std::isspace(static_cast<unsigned char>(c))) {
                error = file.string() + ": the constant must be 16 hexadecimal digits";
                return std::nullopt;
            }
        }
    }
    if (digits.size() != 16) {
        error = file.string() + ": the constant must be 16 hexadecimal digits";
        return std::nullopt;
    }
    Bytes constant(8);
    for (std::size_t i = 0; i < 8; ++i) {
        constant[i] = static_cast<uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
    }
    return constant;
}

}  // namespace qorv::keystore
