// VerifyRN1andGenerateRN2: the client's half of the RN1/RN2 exchange.
#include <algorithm>
#include <array>

#include "crypto/hex.h"
#include "crypto/key_store.h"
#include "crypto/random.h"
#include "crypto/rsa.h"
#include "crypto/session.h"
#include "crypto/session_hex.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kRandomNumberSize = 8;
constexpr int64_t kMaxCipherBytes = 128;  // 1024-bit RSA
constexpr std::size_t kMaxRsaOutput = 144;

// The first 2 x min(declared, 128) digits of a text whose length was checked.
std::u16string_view LeadingCipherDigits(const std::u16string& text, int32_t declaredBytes) {
    const int64_t bytes = std::clamp<int64_t>(declaredBytes, 0, kMaxCipherBytes);
    return std::u16string_view(text).substr(0, static_cast<std::size_t>(2 * bytes));
}

}  // namespace

int32_t VerifyRN1andGenerateRN2(int32_t rn1Len,
                                const std::optional<std::u16string>& cpukEncryptedRn1,
                                int32_t dsigLen, const std::optional<std::u16string>& sprkSignRn1,
                                SessionExchangeState& state) {
    if (!cpukEncryptedRn1 || !sprkSignRn1) return result::kArgumentMissing;
    if (static_cast<int64_t>(cpukEncryptedRn1->size()) != 2 * static_cast<int64_t>(rn1Len)) {
        return result::kRn1LengthMismatch;
    }
    if (static_cast<int64_t>(sprkSignRn1->size()) != 2 * static_cast<int64_t>(dsigLen)) {
        return result::kSignatureLengthMismatch;
    }
    state.sessionFlag = 0;

    SecretBuffer encryptedRn1(kMaxCipherBytes);
    if (!DecodeSessionHex(LeadingCipherDigits(*cpukEncryptedRn1, rn1Len), encryptedRn1)) {
        return result::kHexDecodeFailed;
    }

    SecretBytes<kMaxRsaOutput> rn1;
    SecretBytes<kRandomNumberSize> rn2;
    std::array<uint8_t, kMaxRsaOutput> encryptedRn2{};
    std::array<uint8_t, kMaxRsaOutput> signature{};
    std::size_t encryptedRn2Length = 0;
    std::size_t signatureLength = 0;
    {
        // The two keys this exchange uses; wiped when this block ends, on every path.
        const KeyStoreSession store(KeyStoreRecords::kClientPrivateAndServerPublic);
        std::size_t rn1Length = 0;
        if (RsaPrivateDecrypt(store.ClientPrivateKey(), encryptedRn1.bytes(),
                              std::span<uint8_t>(rn1.data(), rn1.size()), rn1Length) != kRsaOk ||
            rn1Length != kRandomNumberSize) {
            return result::kPrivateKeyFailed;
        }
        // The server's signature of RN1 is only decoded; nothing checks it.
        SecretBuffer serverSignature(kMaxCipherBytes);
        if (!DecodeSessionHex(LeadingCipherDigits(*sprkSignRn1, dsigLen), serverSignature)) {
            return result::kHexDecodeFailed;
        }

        RandomBlock(rn2.data(), 1, kParityOdd);
        const std::span<const uint8_t> rn2Bytes(rn2.data(), rn2.size());
        if (RsaPublicEncrypt(store.ServerPublicKey(), rn2Bytes, encryptedRn2, encryptedRn2Length) !=
            kRsaOk) {
            return result::kEncryptRn2Failed;
        }
        state.encryptedRn2 =
            HexEncodeU16(std::span<const uint8_t>(encryptedRn2.data(), encryptedRn2Length));
        if (RsaSignDigest(store.ClientPrivateKey(), false, kDigestSha1, rn2Bytes, signature,
                          signatureLength) != kRsaOk) {
            return result::kSignRn2Failed;
        }
    }
    state.encryptedHashRn2 =
        HexEncodeU16(std::span<const uint8_t>(signature.data(), signatureLength));

    SecretBytes<2 * kRandomNumberSize> rn1rn2;
    std::copy_n(rn1.data(), kRandomNumberSize, rn1rn2.data());
    std::copy_n(rn2.data(), kRandomNumberSize, rn1rn2.data() + kRandomNumberSize);
    SecretBytes<kSha1DigestSize> hash;
    Sha1(rn1rn2.data(), rn1rn2.size(), hash.data());

    state.sessionFlag = 1;
    state.sessionKeyHash = HexEncodeU16(std::span<const uint8_t>(hash.data(), hash.size()));
    return result::kOk;
}

}  // namespace qorv::crypto
