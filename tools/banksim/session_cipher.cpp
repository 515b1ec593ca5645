#include "tools/banksim/session_cipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>

namespace qorv::banksim {

namespace {

constexpr std::size_t kBlock = 8;

// Every key becomes a three-key triple DES key: single DES is K1 = K2 = K3 and
// two-key triple DES is K3 = K1. That keeps OpenSSL 3's legacy provider (the
// only home of single DES) out of the simulator.
std::optional<std::array<uint8_t, 24>> TripleDesKey(std::span<const uint8_t> sessionKey,
                                                    CipherUse use) {
    std::array<uint8_t, 24> key{};
    if (use == CipherUse::kDialogField) {
        if (sessionKey.size() != 8 && sessionKey.size() != 16 && sessionKey.size() != 24) {
            return std::nullopt;
        }
        const std::size_t used = std::min<std::size_t>(16, sessionKey.size());
        std::copy_n(sessionKey.begin(), used, key.begin());  // K2 stays zero for 8 bytes
        std::copy_n(key.begin(), kBlock, key.begin() + 16);
        return key;
    }
    switch (sessionKey.size()) {
        case 8:
            for (std::size_t part = 0; part < 3; ++part) {
                std::copy_n(sessionKey.begin(), kBlock, key.begin() + part * kBlock);
            }
            return key;
        case 16:
            std::copy_n(sessionKey.begin(), 16, key.begin());
            std::copy_n(sessionKey.begin(), kBlock, key.begin() + 16);
            return key;
        case 24:
            std::copy_n(sessionKey.begin(), 24, key.begin());
            return key;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<SecretBytes> RunSessionCipher(std::span<const uint8_t> sessionKey, CipherUse use,
                                            CipherDirection direction,
                                            std::span<const uint8_t> input) {
    auto key = TripleDesKey(sessionKey, use);
    if (!key) return std::nullopt;
    const bool encrypt = direction == CipherDirection::kEncipher;
    if (!encrypt && (input.empty() || input.size() % kBlock != 0)) {
        OPENSSL_cleanse(key->data(), key->size());
        return std::nullopt;
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    const std::array<uint8_t, kBlock> zeroIv{};
    Bytes output(input.size() + kBlock);
    int written = 0;
    int tail = 0;
    const bool ok = ctx &&
                    EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_cbc(), nullptr, key->data(),
                                      zeroIv.data(), encrypt ? 1 : 0) == 1 &&
                    EVP_CipherUpdate(ctx.get(), output.data(), &written, input.data(),
                                     static_cast<int>(input.size())) == 1 &&
                    EVP_CipherFinal_ex(ctx.get(), output.data() + written, &tail) == 1;
    OPENSSL_cleanse(key->data(), key->size());
    SecretBytes result(std::move(output));
    if (!ok) return std::nullopt;
    return SecretBytes(result.view().first(static_cast<std::size_t>(written + tail)));
}

}  // namespace qorv::banksim
