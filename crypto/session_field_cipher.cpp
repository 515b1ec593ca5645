// SessionFieldCipher: the dialogs' values enciphered and deciphered under
// the session key.
#include <algorithm>

#include "crypto/base64.h"
#include "crypto/des.h"
#include "crypto/session.h"
#include "crypto/session_hex.h"
#include "crypto/text_bytes.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kTripleDesKeyBytes = 16;

int32_t StepCode(SessionKeyStep step) {
    switch (step) {
        case SessionKeyStep::kOk:
            return result::kOk;
        case SessionKeyStep::kArgumentMissing:
            return kFieldArgumentMissing;
        case SessionKeyStep::kDecodeEncryptedKey:
            return kFieldDecodeEncryptedKey;
        case SessionKeyStep::kPrivateKeyDecrypt:
            return kFieldPrivateKeyDecrypt;
        case SessionKeyStep::kKeyLength:
            return kFieldKeyLength;
        case SessionKeyStep::kDecodeDigest:
            return kFieldDecodeDigest;
        case SessionKeyStep::kDigestMismatch:
            return kFieldDigestMismatch;
    }
    return kFieldCipherFailure;
}

// The input as bytes, by input format; false when it cannot be converted.
bool InputBytes(const std::u16string& input, int inputFormat, uint8_t chainingMode,
                SecretBuffer& out) {
    switch (inputFormat) {
        case kFieldInputNarrowText:
            out.bytes().resize(input.size());
            NarrowText(input, out.bytes().data());
            return true;
        case kFieldInputHex:
            return DecodeSessionHex(input, out);
        case kFieldInputUtf16:
            if (chainingMode == kModeCbcNoPad && input.size() % 8 != 0) return false;
            out.bytes().resize(2 * input.size());
            Utf16ToBytes(input, out.bytes().data());
            return true;
        default: {
            std::vector<uint8_t> decoded = Base64Decode(input);
            out.bytes().resize(decoded.size());
            std::copy(decoded.begin(), decoded.end(), out.bytes().begin());
            SecureWipe(decoded);
            return true;
        }
    }
}

bool LooksLikeUtf16(const std::vector<uint8_t>& plain) {
    for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
        const uint8_t c = plain[i];
        const bool asciiWord =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
        if (asciiWord && plain[i + 1] == 0) return true;
    }
    return false;
}

}  // namespace

int32_t SessionFieldCipher(const std::optional<std::u16string>& sessionKeyHash,
                           const std::optional<std::u16string>& cpukEncSessionKey,
                           FieldDirection direction, int inputFormat, int32_t& length,
                           const std::optional<std::u16string>& input, std::u16string& output,
                           uint8_t chainingMode) {
    if (!sessionKeyHash || !cpukEncSessionKey || !input) return kFieldArgumentMissing;
    SessionKey key;
    const SessionKeyStep step = UnwrapSessionKey(*cpukEncSessionKey, *sessionKeyHash, key);
    if (step != SessionKeyStep::kOk) return StepCode(step);

    // Two-key triple DES over the first 16 key bytes; an 8-byte session key
    // leaves K2 all zero. K3 is unused by cipher type 1.
    SecretBytes<kDesKeyAreaSize> keyArea;
    std::copy_n(key.bytes.data(), std::min(key.length, kTripleDesKeyBytes), keyArea.data());
    key.Clear();

    // Sized once for the input in any format plus a padding block, so the
    // buffers never reallocate and leave unwiped copies.
    const std::size_t capacity = 2 * input->size() + kDesBlockSize;
    SecretBuffer in(capacity);
    if (!InputBytes(*input, inputFormat, chainingMode, in)) return kFieldInputData;
    if (in.bytes().size() > static_cast<std::size_t>(INT32_MAX - kDesBlockSize))
        return kFieldInputData;

    SecretBuffer out(capacity);
    out.bytes().resize(in.bytes().size() + kDesBlockSize);
    static constexpr uint8_t kZeroIv[kDesBlockSize] = {};
    int32_t outLength = static_cast<int32_t>(in.bytes().size());
    const int32_t rc =
        direction == FieldDirection::kEncrypt
            ? DesModeEncrypt(keyArea.data(), &outLength, in.bytes().data(), out.bytes().data(),
                             kCipherTwoKeyTripleDes, chainingMode, kPadPkcs5, 0, kZeroIv)
            : DesModeDecrypt(keyArea.data(), &outLength, in.bytes().data(), out.bytes().data(),
                             kCipherTwoKeyTripleDes, chainingMode, kZeroIv);
    if (rc != kDesOk || outLength < 0) return kFieldCipherFailure;
    out.bytes().resize(static_cast<std::size_t>(outLength));

    const std::span<const uint8_t> result(out.bytes().data(), out.bytes().size());
    output = direction == FieldDirection::kDecrypt && LooksLikeUtf16(out.bytes())
                 ? BytesToUtf16(result)
                 : WidenBytes(result);
    length = outLength;
    return result::kOk;
}

}  // namespace qorv::crypto
