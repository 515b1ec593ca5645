// The key store deciphers to the development keys and leaves nothing behind.
#include "crypto/key_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/der.h"
#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;

bool IsZero(std::span<const uint8_t> buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; });
}

bool AllBuffersZero() {
    for (const auto buffer : test_hooks::KeyStoreBuffers()) {
        if (!IsZero(buffer)) return false;
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

TEST(KeyStoreTest, ASessionDeciphersOnlyTheRecordsItNames) {
    // What a full load gives for each record, to compare with.
    std::array<Bytes, 4> full;
    {
        KeyStoreSession store;
        const auto buffers = test_hooks::KeyStoreBuffers();
        for (std::size_t i = 0; i < full.size(); ++i)
            full[i].assign(buffers[i].begin(), buffers[i].end());
        for (const Bytes& record : full) ASSERT_FALSE(IsZero(record));
    }
    ASSERT_TRUE(AllBuffersZero());

    struct Case {
        KeyStoreRecords records;
        std::array<bool, 4> deciphered;
    };
    for (const Case& c :
         {Case{KeyStoreRecords::kClientPrivateKey, {false, true, false, false}},
          Case{KeyStoreRecords::kServerPublicKey, {false, false, true, false}},
          Case{KeyStoreRecords::kClientPrivateAndServerPublic, {false, true, true, false}}}) {
        {
            KeyStoreSession store(c.records);
            EXPECT_EQ(test_hooks::LastLoadedRecords(), c.records);
            const auto buffers = test_hooks::KeyStoreBuffers();
            for (std::size_t i = 0; i < buffers.size(); ++i) {
                if (c.deciphered[i]) {
                    EXPECT_EQ(Bytes(buffers[i].begin(), buffers[i].end()), full[i]) << i;
                } else {
                    EXPECT_TRUE(IsZero(buffers[i])) << "record " << i + 1 << " deciphered";
                }
            }
            // A record not asked for is no key at all, never a stale one.
            EXPECT_EQ(store.ClientPrivateKey().empty(), !c.deciphered[1]);
            EXPECT_EQ(store.ServerPublicKey().empty(), !c.deciphered[2]);
        }
        EXPECT_TRUE(AllBuffersZero());
    }
}

TEST(KeyStoreTest, ANarrowerSessionAfterAWiderOneLeavesNoOtherRecordBehind) {
    // Loading clears every buffer first, so a load of one record after a
    // store left deciphered (a caller that forgot to wipe) shows no other.
    LoadKeyStore(KeyStoreRecords::kAll);
    ASSERT_FALSE(AllBuffersZero());
    {
        KeyStoreSession store(KeyStoreRecords::kServerPublicKey);
        const auto buffers = test_hooks::KeyStoreBuffers();
        EXPECT_TRUE(IsZero(buffers[0]));
        EXPECT_TRUE(IsZero(buffers[1]));
        EXPECT_TRUE(IsZero(buffers[3]));
        EXPECT_FALSE(store.ServerPublicKey().empty());
    }
    EXPECT_TRUE(AllBuffersZero());
}

}  // namespace
}  // namespace qorv::crypto
