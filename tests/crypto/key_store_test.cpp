// The key store deciphers to the development keys and leaves nothing behind.
#include "crypto/key_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/der.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using testing::Bytes;

bool AllBuffersZero() {
    for (const auto buffer : ::qorv::crypto::testing::KeyStoreBuffers()) {
        if (std::any_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b != 0; })) return false;
    }
    return true;
}

TEST(KeyStoreTest, DeciphersTheDeploymentKeysAndWipesThemOnExit) {
    const testing::Pkey client = testing::LoadPemKey("client-private.pem", true);
    const testing::Pkey server = testing::LoadPemKey("server-public.pem", false);
    ASSERT_TRUE(client && server);
    const auto clientComponents = testing::ComponentsOf(client.get());
    {
        KeyStoreSession store;
        EXPECT_EQ(Bytes(store.ClientPrivateKey().begin(), store.ClientPrivateKey().end()),
                  testing::PrivateKeyDer(clientComponents));
        RsaPublicKey serverKey;
        ASSERT_EQ(ReadRsaPublicKey(store.ServerPublicKey(), serverKey), kDerOk);
        Bytes modulus(serverKey.modulus.ByteLength());
        ASSERT_TRUE(serverKey.modulus.GetBytes(modulus));
        EXPECT_EQ(modulus, testing::Component(server.get(), OSSL_PKEY_PARAM_RSA_N));
        // Each record ends in a zero byte after its plain text.
        EXPECT_EQ(store.ClientPrivateKey().data()[store.ClientPrivateKey().size()], 0);
        EXPECT_FALSE(AllBuffersZero());
    }
    EXPECT_TRUE(AllBuffersZero());
}

}  // namespace
}  // namespace qorv::crypto
