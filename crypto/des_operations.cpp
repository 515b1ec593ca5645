// DES, MAC and the text conversions of the page.
#include "crypto/des_operations.h"

#include <algorithm>
#include <span>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/hex.h"
#include "crypto/text_bytes.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kBlockDigits = 2 * kDesBlockSize;
constexpr int32_t kMaxIntToHexChars = 4096;
constexpr int32_t kMaxHexToIntDigits = 8192;

bool IsDesKeyLength(int32_t keyLen) {
    return keyLen == 8 || keyLen == 16 || keyLen == 24;
}

uint8_t CipherTypeForKeyLength(int32_t keyLen) {
    return static_cast<uint8_t>(keyLen / 8 - 1);
}

// The first 2 x keyLen digits into the zero-filled key area.
bool DecodeKey(const std::u16string& keyVal, int32_t keyLen, SecretBytes<kDesKeyAreaSize>& keys) {
    return HexDecode(std::u16string_view(keyVal).substr(0, 2 * static_cast<std::size_t>(keyLen)),
                     keys.data());
}

}  // namespace

int32_t DesOperation(int32_t opflag, int32_t keyLen, const std::optional<std::u16string>& keyVal,
                     const std::optional<std::u16string>& inData, std::u16string& responseData) {
    if ((opflag != 0 && opflag != 1) || !IsDesKeyLength(keyLen)) return result::kOutOfRange;
    if (!keyVal || !inData) return result::kArgumentMissing;
    if (static_cast<std::size_t>(keyLen) != keyVal->size() / 2 || inData->size() != kBlockDigits)
        return result::kBadLength;

    SecretBytes<kDesKeyAreaSize> keys;
    SecretBytes<kDesBlockSize> in;
    SecretBytes<kDesBlockSize> out;
    if (!DecodeKey(*keyVal, keyLen, keys) || !HexDecode(*inData, in.data())) return result::kFailed;
    int32_t length = kDesBlockSize;
    const uint8_t type = CipherTypeForKeyLength(keyLen);
    const int32_t rc = opflag == 0 ? DesModeEncrypt(keys.data(), &length, in.data(), out.data(),
                                                    type, kModeEcb, kPadPkcs5, 0, nullptr)
                                   : DesModeDecrypt(keys.data(), &length, in.data(), out.data(),
                                                    type, kModeEcb, nullptr);
    if (rc != kDesOk) return result::kFailed;
    responseData = HexEncodeU16(std::span(out.data(), kDesBlockSize));
    return result::kOk;
}

int32_t MacOperation(int32_t keyLen, const std::optional<std::u16string>& keyVal,
                     const std::optional<std::u16string>& icv, int32_t inLen,
                     const std::optional<std::u16string>& inData, std::u16string& responseData) {
    if (!IsDesKeyLength(keyLen)) return result::kOutOfRange;
    if (!keyVal || !icv || !inData) return result::kArgumentMissing;
    if (static_cast<std::size_t>(keyLen) != keyVal->size() / 2 || icv->size() != kBlockDigits)
        return result::kBadLength;
    if (inLen < 8 || inLen > kDesOpMaxDataBytes || inLen % 8 != 0) return result::kOutOfRange;
    if (static_cast<std::size_t>(inLen) != inData->size() / 2) return result::kBadLength;

    SecretBytes<kDesKeyAreaSize> keys;
    SecretBytes<kDesOpMaxDataBytes> data;
    uint8_t iv[kDesBlockSize];
    const auto dataDigits =
        std::u16string_view(*inData).substr(0, 2 * static_cast<std::size_t>(inLen));
    if (!DecodeKey(*keyVal, keyLen, keys) || !HexDecode(dataDigits, data.data()) ||
        !HexDecode(*icv, iv))
        return result::kFailed;
    // CBC over whole blocks: the MAC is the last cipher block. The data is
    // enciphered in place; only its last block is kept.
    int32_t length = inLen;
    if (DesModeEncrypt(keys.data(), &length, data.data(), data.data(),
                       CipherTypeForKeyLength(keyLen), kModeCbcNoPad, kPadFillThenCount, 0,
                       iv) != kDesOk)
        return result::kFailed;
    responseData = HexEncodeU16(std::span(data.data() + inLen - kDesBlockSize, kDesBlockSize));
    return result::kOk;
}

std::optional<std::u16string> ConvertIntToHex(int32_t inLength,
                                              const std::optional<std::u16string>& inval) {
    if (!inval || inLength <= 0 || inLength > kMaxIntToHexChars) return std::nullopt;
    const std::size_t count = std::min(static_cast<std::size_t>(inLength), inval->size());
    const std::vector<uint8_t> bytes = NarrowText(std::u16string_view(*inval).substr(0, count));
    return HexEncodeU16(bytes);
}

std::optional<std::u16string> ConvertHexToInt(int32_t inLength,
                                              const std::optional<std::u16string>& inval) {
    if (!inval || inLength <= 0 || inLength > kMaxHexToIntDigits) return std::nullopt;
    std::size_t digits = std::min(static_cast<std::size_t>(inLength), inval->size());
    digits -= digits % 2;
    std::vector<uint8_t> bytes(digits / 2);
    if (!HexDecode(std::u16string_view(*inval).substr(0, digits), bytes.data()))
        return std::nullopt;
    return WidenBytes(bytes);
}

}  // namespace qorv::crypto
