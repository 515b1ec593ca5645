// OpenSSL as the oracle of the RSA tests: key generation, PKCS#1 DER
// assembly from components, and the reference operations.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qorv::crypto::test_util {

using Bytes = std::vector<uint8_t>;

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

inline std::filesystem::path RepoRoot() {
#ifdef QORV_SOURCE_DIR
    return std::filesystem::path(QORV_SOURCE_DIR);
#else
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
#endif
}

inline Pkey GenerateRsaKey(unsigned bits) {
    return Pkey(EVP_RSA_gen(bits));
}

inline Pkey LoadPemKey(const std::string& fileName, bool isPrivate) {
    const std::string path = (RepoRoot() / "keys" / "dev" / fileName).string();
    BIO* bio = BIO_new_file(path.c_str(), "r");
    if (bio == nullptr) return nullptr;
    EVP_PKEY* key = isPrivate ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr)
                              : PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return Pkey(key);
}

// A component in big-endian bytes ("n", "e", "d", "rsa-factor1", ...).
inline Bytes Component(EVP_PKEY* key, const char* name) {
    BIGNUM* bn = nullptr;
    EVP_PKEY_get_bn_param(key, name, &bn);
    Bytes out(static_cast<std::size_t>(BN_num_bytes(bn)));
    BN_bn2bin(bn, out.data());
    BN_free(bn);
    return out;
}

inline void AppendDerLength(Bytes& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else if (length < 0x100) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(length)});
    } else {
        out.insert(out.end(),
                   {0x82, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    }
}

// A positive INTEGER (a 00 is put in front when the top bit is set).
inline Bytes DerInteger(const Bytes& value) {
    Bytes body = value;
    if (body.empty() || (body[0] & 0x80) != 0) body.insert(body.begin(), 0x00);
    Bytes out{0x02};
    AppendDerLength(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes DerSequence(const std::vector<Bytes>& items) {
    Bytes body;
    for (const Bytes& item : items) body.insert(body.end(), item.begin(), item.end());
    Bytes out{0x30};
    AppendDerLength(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The key's components in RSAPrivateKey order, after the version.
struct RsaComponents {
    Bytes n, e, d, p, q, dP, dQ, qInv;
};

inline RsaComponents ComponentsOf(EVP_PKEY* key) {
    return {Component(key, OSSL_PKEY_PARAM_RSA_N),
            Component(key, OSSL_PKEY_PARAM_RSA_E),
            Component(key, OSSL_PKEY_PARAM_RSA_D),
            Component(key, OSSL_PKEY_PARAM_RSA_FACTOR1),
            Component(key, OSSL_PKEY_PARAM_RSA_FACTOR2),
            Component(key, OSSL_PKEY_PARAM_RSA_EXPONENT1),
            Component(key, OSSL_PKEY_PARAM_RSA_EXPONENT2),
            Component(key, OSSL_PKEY_PARAM_RSA_COEFFICIENT1)};
}

inline Bytes PrivateKeyDer(const RsaComponents& c) {
    return DerSequence({DerInteger({0}), DerInteger(c.n), DerInteger(c.e), DerInteger(c.d),
                        DerInteger(c.p), DerInteger(c.q), DerInteger(c.dP), DerInteger(c.dQ),
                        DerInteger(c.qInv)});
}

inline Bytes PublicKeyDer(const RsaComponents& c) {
    return DerSequence({DerInteger(c.n), DerInteger(c.e)});
}

// The same key with p and q (and dP, dQ) exchanged and the matching q^-1 mod p.
inline RsaComponents WithPrimesExchanged(const RsaComponents& c) {
    RsaComponents s = c;
    std::swap(s.p, s.q);
    std::swap(s.dP, s.dQ);
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* p = BN_bin2bn(s.p.data(), static_cast<int>(s.p.size()), nullptr);
    BIGNUM* q = BN_bin2bn(s.q.data(), static_cast<int>(s.q.size()), nullptr);
    BIGNUM* inv = BN_mod_inverse(nullptr, q, p, ctx);
    s.qInv.assign(static_cast<std::size_t>(BN_num_bytes(inv)), 0);
    BN_bn2bin(inv, s.qInv.data());
    BN_free(p);
    BN_free(q);
    BN_free(inv);
    BN_CTX_free(ctx);
    return s;
}

// The same key storing p^-1 mod q as its coefficient (some issuers do).
inline RsaComponents WithInverseOfP(const RsaComponents& c) {
    RsaComponents swapped = WithPrimesExchanged(c);
    RsaComponents s = c;
    s.qInv = swapped.qInv;
    return s;
}

inline Bytes OpenSslRsa(EVP_PKEY* key, const Bytes& in, bool encrypt) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    Bytes out(512);
    std::size_t outLength = out.size();
    const bool ok =
        (encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx)) == 1 &&
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
        (encrypt ? EVP_PKEY_encrypt(ctx, out.data(), &outLength, in.data(), in.size())
                 : EVP_PKEY_decrypt(ctx, out.data(), &outLength, in.data(), in.size())) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!ok) return {};
    out.resize(outLength);
    return out;
}

inline bool OpenSslVerifySha1(EVP_PKEY* key, const Bytes& digest, const Bytes& signature) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    const bool ok =
        EVP_PKEY_verify_init(ctx) == 1 &&
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
        EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha1()) == 1 &&
        EVP_PKEY_verify(ctx, signature.data(), signature.size(), digest.data(), digest.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    return ok;
}

// Raw RSA without padding (to build deliberately malformed blocks).
inline Bytes OpenSslRawPublic(EVP_PKEY* key, const Bytes& block) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    Bytes out(512);
    std::size_t outLength = out.size();
    const bool ok = EVP_PKEY_encrypt_init(ctx) == 1 &&
                    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
                    EVP_PKEY_encrypt(ctx, out.data(), &outLength, block.data(), block.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!ok) return {};
    out.resize(outLength);
    return out;
}

// Upper-case hexadecimal text, as the session operations take their
// arguments (written here independently of the product's encoder).
inline std::u16string Hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::u16string text;
    for (const uint8_t b : bytes) {
        text.push_back(static_cast<char16_t>(kDigits[b >> 4]));
        text.push_back(static_cast<char16_t>(kDigits[b & 15]));
    }
    return text;
}

inline Bytes RandomBytes(std::size_t n, uint32_t& state) {
    Bytes out(n);
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return out;
}

}  // namespace qorv::crypto::test_util

// Older spelling used by some tests. Inside namespace qorv::crypto it hides
// GoogleTest's ::testing, so write ::testing:: for GoogleTest names there.
namespace qorv::crypto {
namespace testing = test_util;
}  // namespace qorv::crypto
