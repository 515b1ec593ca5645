// Display scrambling and data-key protection, all two-key triple DES.
#include "crypto/value_protection.h"

#include <climits>
#include <cstring>

#include "crypto/base64.h"
#include "crypto/des.h"
#include "crypto/random.h"
#include "crypto/value_protection_keys.h"

namespace qorv::crypto {
namespace {

namespace keys = protection_keys;

// A two-key triple DES key area (K3 unused, zero).
using KeyArea = SecretBytes<kDesKeyAreaSize>;

const uint8_t* DisplayIv() {
    return reinterpret_cast<const uint8_t*>(keys::kDisplayIvWord);
}
const uint8_t* WrappingIv() {
    return reinterpret_cast<const uint8_t*>(keys::kWrappingIvWord);
}

void LoadTableKey(const char* table, uint32_t offset, KeyArea& area) {
    std::memcpy(area.data(), table + offset, kDataKeySize);
}

bool LoadDisplayKey(uint32_t offset, KeyArea& area) {
    if (offset > kMaxProtectionKeyOffset) return false;
    LoadTableKey(keys::kDisplayKeyTable, offset, area);
    return true;
}

bool LoadWrappingKey(uint32_t offset, uint32_t selector, KeyArea& area) {
    if (offset > kMaxProtectionKeyOffset) return false;
    LoadTableKey(keys::kWrappingKeyTables[selector < 3 ? selector : 3], offset, area);
    return true;
}

// Unwraps the data key straight into a key area.
int32_t UnwrapInto(const WrappedDataKey& wrapped, uint32_t keyOffset, uint32_t selector,
                   KeyArea& dataKeyArea) {
    KeyArea wrappingKey;
    if (!LoadWrappingKey(keyOffset, selector, wrappingKey)) return kDesArgumentError;
    int32_t length = kDataKeySize;
    return DesModeDecrypt(wrappingKey.data(), &length, wrapped.data(), dataKeyArea.data(),
                          kCipherTwoKeyTripleDes, kModeCbcNoPad, WrappingIv());
}

int32_t RunWithDataKey(bool encrypt, std::span<const uint8_t> in, const WrappedDataKey& wrapped,
                       uint32_t keyOffset, uint32_t selector, uint8_t* out) {
    if (in.size() > INT32_MAX) return kDesArgumentError;
    KeyArea dataKey;
    if (const int32_t rc = UnwrapInto(wrapped, keyOffset, selector, dataKey)) return rc;
    int32_t length = static_cast<int32_t>(in.size());
    return encrypt ? DesModeEncrypt(dataKey.data(), &length, in.data(), out, kCipherTwoKeyTripleDes,
                                    kModeCbcNoPad, kPadPkcs5, 0, WrappingIv())
                   : DesModeDecrypt(dataKey.data(), &length, in.data(), out, kCipherTwoKeyTripleDes,
                                    kModeCbcNoPad, WrappingIv());
}

}  // namespace

int32_t ScrambleDisplayText(std::span<const uint8_t> plain, uint32_t keyOffset,
                            std::u16string& scrambled) {
    scrambled.clear();
    if (plain.empty()) return kDesOk;
    if (plain.size() > INT32_MAX - kDesBlockSize) return kDesArgumentError;
    KeyArea displayKey;
    if (!LoadDisplayKey(keyOffset, displayKey)) return kDesArgumentError;
    std::vector<uint8_t> cipher(plain.size() + kDesBlockSize);
    int32_t length = static_cast<int32_t>(plain.size());
    const int32_t rc =
        DesModeEncrypt(displayKey.data(), &length, plain.data(), cipher.data(),
                       kCipherTwoKeyTripleDes, kModeCbcPadded, kPadPkcs5, 0, DisplayIv());
    if (rc != kDesOk) return rc;
    scrambled = Base64EncodeU16(std::span(cipher.data(), static_cast<std::size_t>(length)));
    return kDesOk;
}

int32_t UnscrambleDisplayText(std::u16string_view scrambled, uint32_t keyOffset,
                              std::vector<uint8_t>& plain) {
    SecureWipe(plain);
    KeyArea displayKey;
    if (!LoadDisplayKey(keyOffset, displayKey)) return kDesArgumentError;
    const std::vector<uint8_t> cipher = Base64Decode(scrambled);
    if (cipher.size() > INT32_MAX) return kDesArgumentError;
    plain.resize(cipher.size());
    int32_t length = static_cast<int32_t>(cipher.size());
    // An empty cipher text (malformed Base64) is refused by the engine: a
    // padded message has at least one block.
    const int32_t rc = DesModeDecrypt(displayKey.data(), &length, cipher.data(), plain.data(),
                                      kCipherTwoKeyTripleDes, kModeCbcPadded, DisplayIv());
    if (rc != kDesOk) {
        SecureWipe(plain);
        return rc;
    }
    // Shrinking keeps the capacity, so the dropped pad bytes stay inside
    // the buffer that the caller wipes.
    plain.resize(static_cast<std::size_t>(length));
    return kDesOk;
}

int32_t NewWrappedDataKey(uint32_t keyOffset, uint32_t selector, WrappedDataKey& wrapped) {
    KeyArea wrappingKey;
    if (!LoadWrappingKey(keyOffset, selector, wrappingKey)) return kDesArgumentError;
    SecretBytes<kDataKeySize> dataKey;
    RandomBlock(dataKey.data(), kDataKeySize / kRandomBlockSize, kParityNone);
    int32_t length = kDataKeySize;
    return DesModeEncrypt(wrappingKey.data(), &length, dataKey.data(), wrapped.data(),
                          kCipherTwoKeyTripleDes, kModeCbcNoPad, kPadPkcs5, 0, WrappingIv());
}

int32_t UnwrapDataKey(const WrappedDataKey& wrapped, uint32_t keyOffset, uint32_t selector,
                      SecretBytes<kDataKeySize>& dataKey) {
    KeyArea area;
    const int32_t rc = UnwrapInto(wrapped, keyOffset, selector, area);
    if (rc == kDesOk) std::memcpy(dataKey.data(), area.data(), kDataKeySize);
    return rc;
}

int32_t EncryptWithDataKey(std::span<const uint8_t> plain, const WrappedDataKey& wrapped,
                           uint32_t keyOffset, uint32_t selector, uint8_t* out) {
    return RunWithDataKey(true, plain, wrapped, keyOffset, selector, out);
}

int32_t DecryptWithDataKey(std::span<const uint8_t> cipher, const WrappedDataKey& wrapped,
                           uint32_t keyOffset, uint32_t selector, uint8_t* out) {
    return RunWithDataKey(false, cipher, wrapped, keyOffset, selector, out);
}

int32_t NewDialogProtection(DialogProtection& protection) {
    protection.keyOffset = RandomByte() & kMaxProtectionKeyOffset;
    protection.selector = RandomByte() & 3;
    protection.displayKeyOffset = RandomByte() & kMaxProtectionKeyOffset;
    return NewWrappedDataKey(protection.keyOffset, protection.selector, protection.wrappedKey);
}

}  // namespace qorv::crypto
