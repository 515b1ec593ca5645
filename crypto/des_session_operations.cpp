// DESEncipher and DESDecipher: CBC under the session key that the bank
// server delivered enciphered under the client public key.
#include <algorithm>
#include <span>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/des_operations.h"
#include "crypto/hex.h"
#include "crypto/session.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kSessionKeyHashDigits = 40;
constexpr std::size_t kEncSessionKeyDigits = 256;       // a 1024-bit RSA cipher text
constexpr std::size_t kShortEncSessionKeyDigits = 254;  // ... with its leading zero byte dropped

int32_t CodeForSessionKeyStep(SessionKeyStep step) {
    switch (step) {
        case SessionKeyStep::kOk:
            return result::kOk;
        case SessionKeyStep::kArgumentMissing:
            return result::kArgumentMissing;
        case SessionKeyStep::kDecodeEncryptedKey:
        case SessionKeyStep::kDecodeDigest:
            return result::kHexDecodeFailed;
        case SessionKeyStep::kPrivateKeyDecrypt:
        case SessionKeyStep::kKeyLength:
            return result::kPrivateKeyFailed;
        case SessionKeyStep::kDigestMismatch:
            return result::kSessionKeyMismatch;
    }
    return result::kPrivateKeyFailed;
}

int32_t RunUnderSessionKey(bool encrypt, const std::optional<std::u16string>& sessionKeyHash,
                           const std::optional<std::u16string>& cpukEncSessionKey, int32_t dataLen,
                           const std::optional<std::u16string>& data,
                           std::u16string& responseData) {
    if (!sessionKeyHash || !cpukEncSessionKey || !data) return result::kArgumentMissing;
    if (sessionKeyHash->size() != kSessionKeyHashDigits ||
        (cpukEncSessionKey->size() != kEncSessionKeyDigits &&
         cpukEncSessionKey->size() != kShortEncSessionKeyDigits))
        return result::kBadLength;

    SessionKey sessionKey;
    const SessionKeyStep step = UnwrapSessionKey(*cpukEncSessionKey, *sessionKeyHash, sessionKey);
    // On kOk the key is 8, 16 or 24 bytes (UnwrapSessionKey checks it).
    if (step != SessionKeyStep::kOk) return CodeForSessionKeyStep(step);

    if (int64_t{dataLen} * 2 != static_cast<int64_t>(data->size()) ||
        data->size() > 2 * static_cast<std::size_t>(kDesOpMaxDataBytes))
        return result::kOutOfRange;
    // Deciphering works on whole cipher blocks, and a padded message has at
    // least one.
    if (!encrypt && (dataLen == 0 || dataLen % 8 != 0)) return result::kOutOfRange;

    SecretBytes<kDesOpMaxDataBytes> input;
    SecretBytes<kDesOpMaxDataBytes + kDesBlockSize> output;
    if (!HexDecode(*data, input.data())) return result::kHexDecodeFailed;

    SecretBytes<kDesKeyAreaSize> keys;
    std::copy_n(sessionKey.bytes.data(), sessionKey.length, keys.data());
    const auto type = static_cast<uint8_t>((sessionKey.length - 1) / 8);
    const uint8_t zeroIv[kDesBlockSize] = {};
    int32_t length = dataLen;
    const int32_t rc = encrypt ? DesModeEncrypt(keys.data(), &length, input.data(), output.data(),
                                                type, kModeCbcPadded, kPadPkcs5, 0, zeroIv)
                               : DesModeDecrypt(keys.data(), &length, input.data(), output.data(),
                                                type, kModeCbcPadded, zeroIv);
    if (rc != kDesOk) return result::kCipherFailed;
    responseData = HexEncodeU16(std::span(output.data(), static_cast<std::size_t>(length)));
    return result::kOk;
}

}  // namespace

int32_t DesEncipherOperation(const std::optional<std::u16string>& sessionKeyHash,
                             const std::optional<std::u16string>& cpukEncSessionKey,
                             int32_t dataLen, const std::optional<std::u16string>& data,
                             std::u16string& responseData) {
    return RunUnderSessionKey(true, sessionKeyHash, cpukEncSessionKey, dataLen, data, responseData);
}

int32_t DesDecipherOperation(const std::optional<std::u16string>& sessionKeyHash,
                             const std::optional<std::u16string>& cpukEncSessionKey,
                             int32_t dataLen, const std::optional<std::u16string>& data,
                             std::u16string& responseData) {
    return RunUnderSessionKey(false, sessionKeyHash, cpukEncSessionKey, dataLen, data,
                              responseData);
}

}  // namespace qorv::crypto
