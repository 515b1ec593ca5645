#include "tools/banksim/bank_keys.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <fstream>
#include <sstream>

namespace qorv::banksim {

namespace {

struct CtxDeleter {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, CtxDeleter>;

struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxDeleter>;

Pkey ReadPem(const std::string& pem, bool privateKey) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    if (!bio) return nullptr;
    EVP_PKEY* key = privateKey ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                               : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
    if (key == nullptr && !privateKey) {
        // A private key file holds the public key too.
        BIO_reset(bio.get());
        key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    }
    if (key != nullptr && EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        EVP_PKEY_free(key);
        key = nullptr;
    }
    return Pkey(key);
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

PkeyCtx ContextWithPadding(EVP_PKEY* key, int (*init)(EVP_PKEY_CTX*)) {
    PkeyCtx ctx(EVP_PKEY_CTX_new(key, nullptr));
    if (!ctx || init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        return nullptr;
    }
    return ctx;
}

}  // namespace

std::optional<BankKeys> BankKeys::FromPem(const std::string& serverPrivatePem,
                                          const std::string& clientPublicPem, std::string* error) {
    Pkey serverPrivate = ReadPem(serverPrivatePem, true);
    if (!serverPrivate) {
        *error = "the server private key is not an RSA private key in PEM";
        return std::nullopt;
    }
    Pkey clientPublic = ReadPem(clientPublicPem, false);
    if (!clientPublic) {
        *error = "the client public key is not an RSA key in PEM";
        return std::nullopt;
    }
    return BankKeys(std::move(serverPrivate), std::move(clientPublic));
}

std::optional<BankKeys> BankKeys::LoadFolder(const std::string& folder, std::string* error) {
    const std::string serverPath = folder + "/server-private.pem";
    const std::string clientPath = folder + "/client-public.pem";
    const auto serverPem = ReadFile(serverPath);
    if (!serverPem) {
        *error = "cannot read " + serverPath + " (the bank server's private key)";
        return std::nullopt;
    }
    const auto clientPem = ReadFile(clientPath);
    if (!clientPem) {
        *error = "cannot read " + clientPath + " (the client's public key)";
        return std::nullopt;
    }
    auto keys = FromPem(*serverPem, *clientPem, error);
    if (!keys) *error = folder + ": " + *error;
    return keys;
}

std::optional<Bytes> BankKeys::EncryptForClient(std::span<const uint8_t> plain) const {
    PkeyCtx ctx = ContextWithPadding(clientPublic_.get(), EVP_PKEY_encrypt_init);
    std::size_t length = 0;
    if (!ctx || EVP_PKEY_encrypt(ctx.get(), nullptr, &length, plain.data(), plain.size()) != 1) {
        return std::nullopt;
    }
    Bytes cipher(length);
    if (EVP_PKEY_encrypt(ctx.get(), cipher.data(), &length, plain.data(), plain.size()) != 1) {
        return std::nullopt;
    }
    // OpenSSL writes the cipher text left-padded to the modulus length.
    cipher.resize(length);
    return cipher;
}

std::optional<SecretBytes> BankKeys::DecryptWithServerKey(std::span<const uint8_t> cipher) const {
    PkeyCtx ctx = ContextWithPadding(serverPrivate_.get(), EVP_PKEY_decrypt_init);
    std::size_t length = 0;
    if (!ctx || EVP_PKEY_decrypt(ctx.get(), nullptr, &length, cipher.data(), cipher.size()) != 1) {
        return std::nullopt;
    }
    Bytes plain(length);
    const bool ok =
        EVP_PKEY_decrypt(ctx.get(), plain.data(), &length, cipher.data(), cipher.size()) == 1;
    SecretBytes secret(std::move(plain));
    if (!ok) return std::nullopt;
    Bytes exact(secret.data(), secret.data() + length);
    return SecretBytes(std::move(exact));
}

std::optional<Bytes> BankKeys::SignWithServerKey(std::span<const uint8_t> data) const {
    MdCtx md(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr;  // owned by md
    std::size_t length = 0;
    if (!md ||
        EVP_DigestSignInit(md.get(), &pctx, EVP_sha1(), nullptr, serverPrivate_.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) != 1 ||
        EVP_DigestSign(md.get(), nullptr, &length, data.data(), data.size()) != 1) {
        return std::nullopt;
    }
    Bytes signature(length);
    if (EVP_DigestSign(md.get(), signature.data(), &length, data.data(), data.size()) != 1) {
        return std::nullopt;
    }
    signature.resize(length);
    return signature;
}

bool BankKeys::VerifyClientSignature(std::span<const uint8_t> data,
                                     std::span<const uint8_t> signature) const {
    MdCtx md(EVP_MD_CTX_new());
    EVP_PKEY_CTX* pctx = nullptr;
    return md &&
           EVP_DigestVerifyInit(md.get(), &pctx, EVP_sha1(), nullptr, clientPublic_.get()) == 1 &&
           EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1 &&
           EVP_DigestVerify(md.get(), signature.data(), signature.size(), data.data(),
                            data.size()) == 1;
}

std::size_t BankKeys::clientModulusBytes() const {
    return static_cast<std::size_t>(EVP_PKEY_get_size(clientPublic_.get()));
}

std::size_t BankKeys::serverModulusBytes() const {
    return static_cast<std::size_t>(EVP_PKEY_get_size(serverPrivate_.get()));
}

}  // namespace qorv::banksim
