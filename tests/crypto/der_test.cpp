// The DER key reader: what it accepts and the code of each refusal.
#include "crypto/der.h"

#include <gtest/gtest.h>

#include "rsa_openssl_test_util.h"

namespace qorv::crypto {
namespace {

using test_util::Bytes;
using test_util::DerInteger;
using test_util::DerSequence;

Bytes Modulus(std::size_t bytes) {
    Bytes n(bytes, 0xC3);
    n.back() |= 1;
    return n;
}

int32_t ReadPublic(const Bytes& der) {
    RsaPublicKey key;
    return ReadRsaPublicKey(der, key);
}

TEST(DerTest, LeadingZerosAreDroppedAndLongFormLengthsRead) {
    Bytes paddedModulus = {0, 0, 0};
    const Bytes n = Modulus(128);
    paddedModulus.insert(paddedModulus.end(), n.begin(), n.end());
    // 0x84 with four length bytes is a legal long form.
    Bytes body = DerInteger(paddedModulus);
    const Bytes exponent = DerInteger({1, 0, 1});
    body.insert(body.end(), exponent.begin(), exponent.end());
    Bytes der = {0x30,
                 0x84,
                 0,
                 0,
                 static_cast<uint8_t>(body.size() >> 8),
                 static_cast<uint8_t>(body.size())};
    der.insert(der.end(), body.begin(), body.end());
    RsaPublicKey key;
    ASSERT_EQ(ReadRsaPublicKey(der, key), kDerOk);
    EXPECT_EQ(key.modulus.ByteLength(), 128u);
    EXPECT_EQ(key.publicExponent.BitLength(), 17u);
}

TEST(DerTest, MalformedHeadersGiveTheirCodes) {
    const Bytes good = DerSequence({DerInteger(Modulus(64)), DerInteger({3})});
    Bytes notSequence = good;
    notSequence[0] = 0x31;
    EXPECT_EQ(ReadPublic(notSequence), kDerBadTag);

    Bytes notInteger = good;
    notInteger[2] = 0x03;  // the modulus tagged BIT STRING
    EXPECT_EQ(ReadPublic(notInteger), kDerNotInteger);

    for (const uint8_t badLongForm : {0x80, 0x85, 0xFF}) {
        Bytes bad = good;
        bad[1] = badLongForm;
        EXPECT_EQ(ReadPublic(bad), kDerBadLength) << int{badLongForm};
    }
    Bytes pastTheEnd = good;
    pastTheEnd[3] = 0x7F;  // the modulus claims more bytes than the record has
    EXPECT_EQ(ReadPublic(pastTheEnd), kDerBadLength);
    EXPECT_EQ(ReadPublic(Bytes(good.begin(), good.end() - 1)), kDerBadLength);
    EXPECT_EQ(ReadPublic({}), kDerMissing);
}

TEST(DerTest, ComponentsMustFitTheCapacityOfTheKeySize) {
    // 143 bytes is the largest modulus (72 sixteen-bit digits); 144 is too big.
    EXPECT_EQ(ReadPublic(DerSequence({DerInteger(Modulus(143)), DerInteger({3})})), kDerOk);
    EXPECT_EQ(ReadPublic(DerSequence({DerInteger(Modulus(144)), DerInteger({3})})),
              kDerComponentTooLarge);
    // A 64-byte modulus has 33 digits: components of up to 66 bytes.
    EXPECT_EQ(ReadPublic(DerSequence({DerInteger(Modulus(64)), DerInteger(Bytes(66, 1))})), kDerOk);
    EXPECT_EQ(ReadPublic(DerSequence({DerInteger(Modulus(64)), DerInteger(Bytes(67, 1))})),
              kDerComponentTooLarge);

    test_util::RsaComponents c{Modulus(64),  {3},          Bytes(64, 1), Bytes(32, 1),
                               Bytes(32, 2), Bytes(32, 3), Bytes(32, 4), Bytes(67, 5)};
    RsaPrivateKey key;
    EXPECT_EQ(ReadRsaPrivateKey(test_util::PrivateKeyDer(c), key), kDerComponentTooLarge);
    EXPECT_TRUE(key.modulus.IsZero());  // a failed read leaves nothing behind
    c.qInv = Bytes(32, 5);
    EXPECT_EQ(ReadRsaPrivateKey(test_util::PrivateKeyDer(c), key), kDerOk);
    EXPECT_EQ(key.coefficient.ByteLength(), 32u);
}

}  // namespace
}  // namespace qorv::crypto
