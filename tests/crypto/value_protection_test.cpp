// Display scrambling and data-key protection of the dialogs.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/des.h"
#include "crypto/value_protection.h"
#include "crypto/value_protection_keys.h"

namespace qorv::crypto {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Utf16Bytes(std::u16string_view text) {
    Bytes out;
    for (char16_t ch : text) {
        out.push_back(static_cast<uint8_t>(ch));
        out.push_back(static_cast<uint8_t>(ch >> 8));
    }
    return out;
}

Bytes DataKeyOf(const WrappedDataKey& wrapped, uint32_t offset, uint32_t selector) {
    SecretBytes<kDataKeySize> key;
    EXPECT_EQ(UnwrapDataKey(wrapped, offset, selector, key), kDesOk);
    return Bytes(key.data(), key.data() + kDataKeySize);
}

TEST(DisplayScrambling, OneCharacterIsOneBlockOfBase64AndComesBack) {
    const Bytes plain = Utf16Bytes(u"7");
    std::u16string scrambled;
    ASSERT_EQ(ScrambleDisplayText(plain, 5, scrambled), kDesOk);
    EXPECT_EQ(scrambled.size(), 12u);
    Bytes back;
    ASSERT_EQ(UnscrambleDisplayText(scrambled, 5, back), kDesOk);
    EXPECT_EQ(back, plain);
    // Another display key gives other bytes or a pad-count failure.
    const int32_t rc = UnscrambleDisplayText(scrambled, 6, back);
    EXPECT_TRUE(rc == kDesPaddingError || (rc == kDesOk && back != plain));
}

TEST(DisplayScrambling, MatchesTwoKeyTripleDesCbcUnderTheTableKey) {
    // Pins the stored format: Base64 of des-ede-cbc with PKCS#5 padding,
    // key = 16 table bytes at the offset, IV = first 8 bytes of the IV word.
    const Bytes plain = Utf16Bytes(u"帳號 1234");
    const uint32_t offset = 31;
    std::u16string scrambled;
    ASSERT_EQ(ScrambleDisplayText(plain, offset, scrambled), kDesOk);

    const auto* key = reinterpret_cast<const uint8_t*>(protection_keys::kDisplayKeyTable) + offset;
    const auto* iv = reinterpret_cast<const uint8_t*>(protection_keys::kDisplayIvWord);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_des_ede_cbc(), nullptr, key, iv), 1);
    Bytes cipher(plain.size() + 8);
    int n1 = 0, n2 = 0;
    EVP_EncryptUpdate(ctx, cipher.data(), &n1, plain.data(), static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(ctx, cipher.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    cipher.resize(static_cast<std::size_t>(n1 + n2));
    EXPECT_EQ(scrambled, Base64EncodeU16(cipher));
}

TEST(DisplayScrambling, LengthsAndFailures) {
    std::u16string scrambled = u"old";
    EXPECT_EQ(ScrambleDisplayText(Bytes{}, 0, scrambled), kDesOk);
    EXPECT_TRUE(scrambled.empty());
    // The longest display text fills a field's 320 characters.
    ASSERT_EQ(ScrambleDisplayText(Bytes(kMaxDisplayTextBytes, 0x31), 0, scrambled), kDesOk);
    EXPECT_EQ(scrambled.size(), 320u);
    EXPECT_EQ(ScrambleDisplayText(Bytes(2, 0x31), 32, scrambled), kDesArgumentError);

    Bytes plain = {1, 2, 3};
    EXPECT_EQ(UnscrambleDisplayText(u"not base64!", 0, plain), kDesLengthError);
    EXPECT_TRUE(plain.empty());
    EXPECT_EQ(UnscrambleDisplayText(u"QUJD", 0, plain), kDesLengthError);  // 3 bytes
    EXPECT_EQ(UnscrambleDisplayText(scrambled, 32, plain), kDesArgumentError);
}

TEST(DataKeys, WrapUnwrapAndEncipherRoundTrip) {
    WrappedDataKey wrapped{};
    ASSERT_EQ(NewWrappedDataKey(17, 2, wrapped), kDesOk);
    const Bytes dataKey = DataKeyOf(wrapped, 17, 2);
    EXPECT_NE(dataKey, Bytes(wrapped.begin(), wrapped.end()));
    for (uint8_t b : dataKey) EXPECT_NE(b, 0);  // random blocks never hold a zero byte
    // Another wrapping key unwraps to something else.
    EXPECT_NE(DataKeyOf(wrapped, 16, 2), dataKey);
    EXPECT_NE(DataKeyOf(wrapped, 17, 1), dataKey);
    // Selectors above 3 use table 3.
    WrappedDataKey wrapped3{};
    ASSERT_EQ(NewWrappedDataKey(0, 3, wrapped3), kDesOk);
    EXPECT_EQ(DataKeyOf(wrapped3, 0, 200), DataKeyOf(wrapped3, 0, 3));

    const Bytes plain = Utf16Bytes(u"A1234567");  // 16 bytes
    Bytes cipher(plain.size()), back(plain.size());
    ASSERT_EQ(EncryptWithDataKey(plain, wrapped, 17, 2, cipher.data()), kDesOk);
    EXPECT_NE(cipher, plain);
    ASSERT_EQ(DecryptWithDataKey(cipher, wrapped, 17, 2, back.data()), kDesOk);
    EXPECT_EQ(back, plain);
    // Under another dialog's data key the same value enciphers differently.
    Bytes otherCipher(plain.size());
    ASSERT_EQ(EncryptWithDataKey(plain, wrapped3, 0, 3, otherCipher.data()), kDesOk);
    EXPECT_NE(otherCipher, cipher);
}

TEST(DataKeys, PartialBlocksAndBadOffsetsAreRefused) {
    WrappedDataKey wrapped{};
    ASSERT_EQ(NewWrappedDataKey(0, 0, wrapped), kDesOk);
    Bytes out(16, 0xEE);
    EXPECT_EQ(EncryptWithDataKey(Bytes(12, 1), wrapped, 0, 0, out.data()), kDesLengthError);
    EXPECT_EQ(DecryptWithDataKey(Bytes(12, 1), wrapped, 0, 0, out.data()), kDesLengthError);
    EXPECT_EQ(out, Bytes(16, 0xEE));
    EXPECT_EQ(NewWrappedDataKey(32, 0, wrapped), kDesArgumentError);
    SecretBytes<kDataKeySize> key;
    EXPECT_EQ(UnwrapDataKey(wrapped, 40, 0, key), kDesArgumentError);
}

TEST(DataKeys, DialogsOpenedOneAfterAnotherHoldDifferentKeys) {
    DialogProtection first, second;
    ASSERT_EQ(NewDialogProtection(first), kDesOk);
    ASSERT_EQ(NewDialogProtection(second), kDesOk);
    for (const DialogProtection* p : {&first, &second}) {
        EXPECT_LE(p->keyOffset, kMaxProtectionKeyOffset);
        EXPECT_LE(p->selector, 3u);
        EXPECT_LE(p->displayKeyOffset, kMaxProtectionKeyOffset);
    }
    EXPECT_NE(DataKeyOf(first.wrappedKey, first.keyOffset, first.selector),
              DataKeyOf(second.wrappedKey, second.keyOffset, second.selector));
}

}  // namespace
}  // namespace qorv::crypto
