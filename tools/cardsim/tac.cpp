#include "tools/cardsim/tac.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace qorv::cardsim {

std::vector<uint8_t> TacInput(std::string_view snum, std::span<const uint8_t> record) {
    std::vector<uint8_t> input(snum.begin(), snum.end());
    input.insert(input.end(), record.begin(), record.end());
    return input;
}

bool ComputeTac(const TacKey& key, std::string_view snum, std::span<const uint8_t> record,
                Tac* tac) {
    std::vector<uint8_t> padded = TacInput(snum, record);
    constexpr size_t kBlock = 8;
    if (padded.empty() || padded.size() % kBlock != 0) {
        padded.resize((padded.size() / kBlock + 1) * kBlock, 0x00);
    }

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    const std::array<uint8_t, kBlock> zeroIv{};
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_des_ede_cbc(), nullptr, key.data(), zeroIv.data()) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1) {
        return false;
    }
    std::vector<uint8_t> cipher(padded.size() + kBlock);
    int written = 0;
    if (EVP_EncryptUpdate(ctx.get(), cipher.data(), &written, padded.data(),
                          static_cast<int>(padded.size())) != 1 ||
        static_cast<size_t>(written) != padded.size()) {
        return false;
    }
    int tail = 0;
    if (EVP_EncryptFinal_ex(ctx.get(), cipher.data() + written, &tail) != 1 || tail != 0) {
        return false;
    }
    std::copy_n(cipher.begin() + written - kBlock, kBlock, tac->begin());
    return true;
}

}  // namespace qorv::cardsim
