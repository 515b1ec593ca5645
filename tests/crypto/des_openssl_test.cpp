// Differential tests of every cipher type and chaining mode against
// OpenSSL on random keys, vectors and lengths (OpenSSL is only the oracle).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "crypto/des.h"

namespace qorv::crypto {
namespace {

using Bytes = std::vector<uint8_t>;

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

// OpenSSL's cipher for a type and mode; single DES is three-key triple DES
// with K1 = K2 = K3 (no legacy provider needed), and the key is expanded to
// match.
const EVP_CIPHER* OracleCipher(uint8_t type, uint8_t mode) {
    const bool twoKey = type == kCipherTwoKeyTripleDes;
    switch (mode) {
        case kModeEcb:
            return twoKey ? EVP_des_ede() : EVP_des_ede3();
        case kModeCbcPadded:
        case kModeCbcNoPad:
            return twoKey ? EVP_des_ede_cbc() : EVP_des_ede3_cbc();
        case kModeCfb64:
            return twoKey ? EVP_des_ede_cfb64() : EVP_des_ede3_cfb64();
        default:
            return twoKey ? EVP_des_ede_ofb() : EVP_des_ede3_ofb();
    }
}

Bytes OracleKey(const Bytes& keys, uint8_t type) {
    if (type == kCipherSingleDes) {
        Bytes k(keys.begin(), keys.begin() + 8);
        for (int i = 0; i < 2; ++i) k.insert(k.end(), keys.begin(), keys.begin() + 8);
        return k;
    }
    return Bytes(keys.begin(), keys.begin() + (type == kCipherTwoKeyTripleDes ? 16 : 24));
}

Bytes OracleRun(bool encrypt, const Bytes& keys, uint8_t type, uint8_t mode, const Bytes& iv,
                const Bytes& in, bool pad) {
    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    const Bytes key = OracleKey(keys, type);
    EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), OracleCipher(type, mode), nullptr, key.data(), iv.data(),
                                encrypt ? 1 : 0),
              1);
    EVP_CIPHER_CTX_set_padding(ctx.get(), pad ? 1 : 0);
    Bytes out(in.size() + 16);
    int n1 = 0, n2 = 0;
    EXPECT_EQ(EVP_CipherUpdate(ctx.get(), out.data(), &n1, in.data(), static_cast<int>(in.size())),
              1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), out.data() + n1, &n2), 1);
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

class DesAgainstOpenSsl : public ::testing::Test {
  protected:
    Bytes RandomBytes(std::size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = static_cast<uint8_t>(rng_());
        return b;
    }
    std::mt19937 rng_{20240611};
};

TEST_F(DesAgainstOpenSsl, AllTypesAndModesBothDirections) {
    for (uint8_t type = 0; type <= 2; ++type) {
        for (uint8_t mode : {kModeEcb, kModeCbcPadded, kModeCfb64, kModeOfb64, kModeCbcNoPad}) {
            for (int trial = 0; trial < 40; ++trial) {
                const bool blockMode = mode == kModeEcb || mode == kModeCbcNoPad;
                std::size_t length = rng_() % 80;
                if (blockMode) length -= length % 8;
                const Bytes keys = RandomBytes(24), iv = RandomBytes(8),
                            plain = RandomBytes(length);
                SCOPED_TRACE(testing::Message() << "type " << int(type) << " mode " << int(mode)
                                                << " length " << length);

                const Bytes expected =
                    OracleRun(true, keys, type, mode, iv, plain, mode == kModeCbcPadded);
                Bytes cipher(length + 8);
                int32_t n = static_cast<int32_t>(length);
                ASSERT_EQ(DesModeEncrypt(keys.data(), &n, plain.data(), cipher.data(), type, mode,
                                         kPadPkcs5, 0, iv.data()),
                          kDesOk);
                cipher.resize(static_cast<std::size_t>(n));
                ASSERT_EQ(cipher, expected);

                Bytes back(cipher.size() + 1);
                ASSERT_EQ(DesModeDecrypt(keys.data(), &n, cipher.data(), back.data(), type, mode,
                                         iv.data()),
                          kDesOk);
                back.resize(static_cast<std::size_t>(n));
                ASSERT_EQ(back, plain);
            }
        }
    }
}

}  // namespace
}  // namespace qorv::crypto
