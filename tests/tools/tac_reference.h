// An independent recomputation of the simulated card's TAC for tests: the CBC
// chaining and the padding are done by hand around single-block three-key
// triple-DES encryptions with K3 = K1, instead of OpenSSL's two-key CBC.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qorv::testing {

inline std::array<uint8_t, 8> ReferenceTac(const std::array<uint8_t, 16>& key,
                                           const std::string& snum,
                                           const std::vector<uint8_t>& record) {
    std::vector<uint8_t> message(snum.begin(), snum.end());
    message.insert(message.end(), record.begin(), record.end());
    while (message.size() % 8 != 0) {
        message.push_back(0x00);
    }
    std::array<uint8_t, 24> threeKeys{};
    std::copy(key.begin(), key.end(), threeKeys.begin());
    std::copy(key.begin(), key.begin() + 8, threeKeys.begin() + 16);

    std::array<uint8_t, 8> chain{};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_des_ede3_ecb(), nullptr, threeKeys.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (size_t offset = 0; offset < message.size(); offset += 8) {
        std::array<uint8_t, 8> block{};
        for (size_t i = 0; i < 8; ++i) {
            block[i] = chain[i] ^ message[offset + i];
        }
        int written = 0;
        EVP_EncryptUpdate(ctx, chain.data(), &written, block.data(), 8);
    }
    EVP_CIPHER_CTX_free(ctx);
    return chain;
}

}  // namespace qorv::testing
