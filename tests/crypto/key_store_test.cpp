// The key store deciphers to the development keys and leaves nothing behind.
#include "crypto/key_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/der.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;

bool AllBuffersZero() {
    for (const auto buffer : test_hooks::KeyStoreBuffers()) {
        if (std::any_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b != 0; }))
            return false;
    }
    return true;
}

TEST(KeyStoreTest, DeciphersTheDeploymentKeysAndWipesThemOnExit) {
    const test_util::Pkey client = test_util::LoadPemKey("client-private.pem", true);
    const test_util::Pkey server = test_util::LoadPemKey("server-public.pem", false);
    ASSERT_TRUE(client && server);
    const auto clientComponents = test_util::ComponentsOf(client.get());
    {
        KeyStoreSession store;
        EXPECT_EQ(Bytes(store.ClientPrivateKey().begin(), store.ClientPrivateKey().end()),
                  test_util::PrivateKeyDer(clientComponents));
        RsaPublicKey serverKey;
        ASSERT_EQ(ReadRsaPublicKey(store.ServerPublicKey(), serverKey), kDerOk);
        Bytes modulus(serverKey.modulus.ByteLength());
        ASSERT_TRUE(serverKey.modulus.GetBytes(modulus));
        EXPECT_EQ(modulus, test_util::Component(server.get(), OSSL_PKEY_PARAM_RSA_N));
        // Each record ends in a zero byte after its plain text.
        EXPECT_EQ(store.ClientPrivateKey().data()[store.ClientPrivateKey().size()], 0);
        EXPECT_FALSE(AllBuffersZero());
    }
    EXPECT_TRUE(AllBuffersZero());
}

}  // namespace
}  // namespace qorv::crypto
