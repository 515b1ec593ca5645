// The system's own crypto against OpenSSL, in one run: our time over
// OpenSSL's for the operations the bank protocol leans on.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "crypto/des.h"
#include "crypto/hex.h"
#include "crypto/rsa.h"
#include "crypto/session.h"
#include "crypto/sha1.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

Key ReadKey(const std::string& path, bool isPrivate) {
    FILE* file = std::fopen(path.c_str(), "r");
    EVP_PKEY* key = nullptr;
    if (file != nullptr) {
        key = isPrivate ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr)
                        : PEM_read_PUBKEY(file, nullptr, nullptr, nullptr);
        std::fclose(file);
    }
    return Key(key, EVP_PKEY_free);
}

// PKCS#1 DER, the form the product reads.
Bytes PrivateDer(EVP_PKEY* key) {
    unsigned char* out = nullptr;
    const int length = i2d_PrivateKey(key, &out);
    Bytes der(out, out + length);
    OPENSSL_free(out);
    return der;
}

Bytes PublicDer(EVP_PKEY* key) {
    unsigned char* out = nullptr;
    const int length = i2d_PublicKey(key, &out);
    Bytes der(out, out + length);
    OPENSSL_free(out);
    return der;
}

Bytes Random(std::size_t size) {
    Bytes bytes(size);
    RAND_bytes(bytes.data(), static_cast<int>(size));
    return bytes;
}

Bytes OpenSslRsa(EVP_PKEY* key, const Bytes& in, int (*init)(EVP_PKEY_CTX*),
                 int (*op)(EVP_PKEY_CTX*, unsigned char*, size_t*, const unsigned char*, size_t)) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
    Bytes out(256);
    size_t length = out.size();
    op(ctx, out.data(), &length, in.data(), in.size());
    EVP_PKEY_CTX_free(ctx);
    out.resize(length);
    return out;
}

Bytes OpenSslSignSha1(EVP_PKEY* key, const Bytes& message) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestSignInit(ctx, nullptr, EVP_sha1(), nullptr, key);
    Bytes out(256);
    size_t length = out.size();
    EVP_DigestSign(ctx, out.data(), &length, message.data(), message.size());
    EVP_MD_CTX_free(ctx);
    out.resize(length);
    return out;
}

void OpenSslCipher(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& in, Bytes& out,
                   bool encrypt = true) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const uint8_t iv[8] = {};
    EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int length = 0;
    EVP_CipherUpdate(ctx, out.data(), &length, in.data(), static_cast<int>(in.size()));
    EVP_CIPHER_CTX_free(ctx);
}

std::u16string Hex16(const Bytes& bytes) {
    return qorv::crypto::HexEncodeU16(bytes);
}

}  // namespace

int main() {
    using namespace qorv;
    const std::string keys = KEY_DIR;
    Key clientPrivate = ReadKey(keys + "/client-private.pem", true);
    Key clientPublic = ReadKey(keys + "/client-public.pem", false);
    Key serverPrivate = ReadKey(keys + "/server-private.pem", true);
    Key serverPublic = ReadKey(keys + "/server-public.pem", false);
    if (!clientPrivate || !clientPublic || !serverPrivate || !serverPublic) {
        std::fprintf(stderr, "cannot read the keys of %s\n", keys.c_str());
        return 1;
    }
    const Bytes privateDer = PrivateDer(clientPrivate.get());
    const Bytes publicDer = PublicDer(clientPublic.get());
    std::printf("crypto benchmarks: ours against OpenSSL %s, medians (ratio = ours / OpenSSL)\n",
                OpenSSL_version(OPENSSL_VERSION_STRING));

    // The RSA figures alternate ours and OpenSSL's runs (see MedianMicrosPaired).
    constexpr int kRsaRuns = 500;
    const Bytes message = Random(8);
    const Bytes cipher =
        OpenSslRsa(clientPublic.get(), message, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt);
    std::array<uint8_t, 256> out{};
    std::size_t outLength = 0;
    bench::PrintRatio(
        "RSA-1024 CRT private decrypt",
        bench::MedianMicrosPaired(
            kRsaRuns, [&] { crypto::RsaPrivateDecrypt(privateDer, cipher, out, outLength); },
            [&] {
                OpenSslRsa(clientPrivate.get(), cipher, EVP_PKEY_decrypt_init, EVP_PKEY_decrypt);
            }),
        "OpenSSL");
    bench::PrintRatio("RSA-1024 sign (SHA-1)",
                      bench::MedianMicrosPaired(
                          kRsaRuns,
                          [&] {
                              crypto::RsaSignDigest(privateDer, false, crypto::kDigestSha1, message,
                                                    out, outLength);
                          },
                          [&] { OpenSslSignSha1(clientPrivate.get(), message); }),
                      "OpenSSL");
    bench::PrintRatio(
        "RSA-1024 public encrypt",
        bench::MedianMicrosPaired(
            kRsaRuns, [&] { crypto::RsaPublicEncrypt(publicDer, message, out, outLength); },
            [&] {
                OpenSslRsa(clientPublic.get(), message, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt);
            }),
        "OpenSSL");

    const Bytes desKey = Random(16);
    for (const std::size_t size : {std::size_t{1024}, std::size_t{64 * 1024}}) {
        const Bytes plain = Random(size);
        Bytes cipherText(size + 8);
        const uint8_t iv[8] = {};
        const int runs = size > 4096 ? 50 : 500;
        const std::string label = "3DES two-key CBC over " + std::to_string(size / 1024) + " KiB";
        bench::PrintRatio(
            label.c_str(),
            bench::MedianMicros(runs,
                                [&] {
                                    int32_t length = static_cast<int32_t>(size);
                                    crypto::DesModeEncrypt(desKey.data(), &length, plain.data(),
                                                           cipherText.data(),
                                                           crypto::kCipherTwoKeyTripleDes,
                                                           crypto::kModeCbcNoPad, 0, 0, iv);
                                }),
            bench::MedianMicros(
                runs, [&] { OpenSslCipher(EVP_des_ede_cbc(), desKey, plain, cipherText); }),
            "OpenSSL");
        // Decryption (the key store's path) takes two blocks at a time.
        Bytes decrypted(size);
        const std::string decryptLabel =
            "3DES two-key CBC decrypt over " + std::to_string(size / 1024) + " KiB";
        bench::PrintRatio(
            decryptLabel.c_str(),
            bench::MedianMicros(runs,
                                [&] {
                                    int32_t length = static_cast<int32_t>(size);
                                    crypto::DesModeDecrypt(
                                        desKey.data(), &length, cipherText.data(), decrypted.data(),
                                        crypto::kCipherTwoKeyTripleDes, crypto::kModeCbcNoPad, iv);
                                }),
            bench::MedianMicros(
                runs, [&] { OpenSslCipher(EVP_des_ede_cbc(), desKey, plain, decrypted, false); }),
            "OpenSSL");
    }

    for (const std::size_t size : {std::size_t{64}, std::size_t{1024 * 1024}}) {
        const Bytes data = Random(size);
        uint8_t digest[20];
        unsigned int digestLength = 0;
        const int runs = size > 4096 ? 30 : 5000;
        const std::string label =
            "SHA-1 over " + (size < 1024 ? std::to_string(size) + " bytes" : std::string("1 MiB"));
        bench::PrintRatio(
            label.c_str(),
            bench::MedianMicros(runs, [&] { crypto::Sha1(data.data(), data.size(), digest); }),
            bench::MedianMicros(runs,
                                [&] {
                                    EVP_Digest(data.data(), data.size(), digest, &digestLength,
                                               EVP_sha1(), nullptr);
                                }),
            "OpenSSL");
    }

    // The whole client side of the key agreement: what a page waits for.
    const Bytes rn1 = Random(8);
    const Bytes encryptedRn1 =
        OpenSslRsa(clientPublic.get(), rn1, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt);
    const Bytes signature = OpenSslSignSha1(serverPrivate.get(), rn1);
    const std::u16string encryptedRn1Hex = Hex16(encryptedRn1);
    const std::u16string signatureHex = Hex16(signature);
    bench::PrintRatio(
        "VerifyRN1andGenerateRN2 (whole call)",
        bench::MedianMicrosPaired(
            kRsaRuns,
            [&] {
                crypto::SessionExchangeState state;
                crypto::VerifyRN1andGenerateRN2(
                    static_cast<int32_t>(encryptedRn1.size()), encryptedRn1Hex,
                    static_cast<int32_t>(signature.size()), signatureHex, state);
            },
            [&] {
                const Bytes plain = OpenSslRsa(clientPrivate.get(), encryptedRn1,
                                               EVP_PKEY_decrypt_init, EVP_PKEY_decrypt);
                const Bytes rn2 = Random(8);
                OpenSslRsa(serverPublic.get(), rn2, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt);
                OpenSslSignSha1(clientPrivate.get(), rn2);
                Bytes both = plain;
                both.insert(both.end(), rn2.begin(), rn2.end());
                uint8_t digest[20];
                unsigned int digestLength = 0;
                EVP_Digest(both.data(), both.size(), digest, &digestLength, EVP_sha1(), nullptr);
            }),
        "OpenSSL equivalent");
    return 0;
}
