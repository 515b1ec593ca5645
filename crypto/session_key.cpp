// Recovering and checking the session key that the bank server delivers
// enciphered under the client public key.
#include <algorithm>

#include "crypto/key_store.h"
#include "crypto/rsa.h"
#include "crypto/session.h"
#include "crypto/session_hex.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kMaxRsaOutput = 144;

}  // namespace

SessionKeyStep UnwrapSessionKey(const std::u16string& cpukEncSessionKey,
                                const std::u16string& sessionKeyHash, SessionKey& key) {
    key.Clear();

    SecretBuffer cipher(cpukEncSessionKey.size() / 2 + 1);
    if (!DecodeSessionHex(cpukEncSessionKey, cipher)) return SessionKeyStep::kDecodeEncryptedKey;

    SecretBytes<kMaxRsaOutput> plain;
    std::size_t plainLength = 0;
    {
        const KeyStoreSession store(KeyStoreRecords::kClientPrivateKey);
        // A cipher text beyond the number capacity fails here.
        if (RsaPrivateDecrypt(store.ClientPrivateKey(), cipher.bytes(),
                              std::span<uint8_t>(plain.data(), plain.size()),
                              plainLength) != kRsaOk) {
            return SessionKeyStep::kPrivateKeyDecrypt;
        }
    }
    if (plainLength == 0 || plainLength % 8 != 0 || plainLength > kMaxSessionKeyLength) {
        return SessionKeyStep::kKeyLength;
    }

    SecretBuffer digest(sessionKeyHash.size() / 2 + 1);
    if (!DecodeSessionHex(sessionKeyHash, digest)) return SessionKeyStep::kDecodeDigest;
    // A digest shorter than 20 bytes compares as if filled with zero bytes.
    SecretBytes<kSha1DigestSize> expected;
    std::copy_n(digest.bytes().data(), std::min(digest.bytes().size(), kSha1DigestSize),
                expected.data());
    SecretBytes<kSha1DigestSize> actual;
    Sha1(plain.data(), plainLength, actual.data());
    if (!std::equal(actual.data(), actual.data() + kSha1DigestSize, expected.data())) {
        return SessionKeyStep::kDigestMismatch;
    }

    std::copy_n(plain.data(), plainLength, key.bytes.data());
    key.length = plainLength;
    return SessionKeyStep::kOk;
}

int32_t VerifySessionKeyHash(const std::optional<std::u16string>& cpukEncSessionKey,
                             const std::optional<std::u16string>& sessionKeyHash) {
    if (!cpukEncSessionKey || !sessionKeyHash) return result::kArgumentMissing;
    SessionKey key;
    switch (UnwrapSessionKey(*cpukEncSessionKey, *sessionKeyHash, key)) {
        case SessionKeyStep::kOk:
            return result::kOk;
        case SessionKeyStep::kDigestMismatch:
            return result::kFailed;
        case SessionKeyStep::kDecodeEncryptedKey:
        case SessionKeyStep::kDecodeDigest:
            return result::kHexDecodeFailed;
        case SessionKeyStep::kArgumentMissing:
            return result::kArgumentMissing;
        case SessionKeyStep::kPrivateKeyDecrypt:
        case SessionKeyStep::kKeyLength:
            break;
    }
    return result::kPrivateKeyFailed;
}

}  // namespace qorv::crypto
