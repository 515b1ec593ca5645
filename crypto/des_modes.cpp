// Chaining modes and padding over the DES block cipher.
#include <climits>
#include <cstring>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/des_core.h"

namespace qorv::crypto {
namespace {

using detail::DesBlockCipher;
using detail::LoadBlock;
using detail::StoreBlock;

bool IsBlockMode(uint8_t mode) {
    return mode == kModeEcb || mode == kModeCbcPadded || mode == kModeCbcNoPad;
}

int32_t CheckArguments(const uint8_t* keys, const int32_t* length, const uint8_t* input,
                       const uint8_t* output, uint8_t cipherType, uint8_t mode, const uint8_t* iv) {
    if (keys == nullptr || length == nullptr || output == nullptr) return kDesArgumentError;
    if (*length < 0 || cipherType > kCipherThreeKeyTripleDes) return kDesArgumentError;
    // An empty input may come from an empty container without storage.
    if (input == nullptr && *length > 0) return kDesArgumentError;
    if (mode != kModeEcb && iv == nullptr) return kDesArgumentError;
    return kDesOk;
}

// XORs a keystream block into up to 8 bytes.
void XorPartialBlock(uint64_t keystream, const uint8_t* in, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(in[i] ^ (keystream >> (56 - 8 * i)));
}

// CFB-64 and OFB-64, byte by byte: the register is enciphered every 8 bytes
// (with the encryption direction in both directions). In CFB the register
// takes the cipher bytes; in OFB it keeps the keystream.
void StreamMode(const DesBlockCipher& cipher, bool cfb, bool decrypt, uint64_t reg,
                const uint8_t* in, uint8_t* out, size_t length) {
    size_t offset = 0;
    for (; offset + 8 <= length; offset += 8) {
        const uint64_t keystream = cipher.Process(reg);
        const uint64_t data = LoadBlock(in + offset);
        const uint64_t result = data ^ keystream;
        StoreBlock(result, out + offset);
        reg = !cfb ? keystream : (decrypt ? data : result);
    }
    if (offset < length)
        XorPartialBlock(cipher.Process(reg), in + offset, out + offset, length - offset);
}

void FillPadBlock(const uint8_t* tail, size_t tailLength, int paddingStyle, uint8_t fillByte,
                  uint8_t* block) {
    const auto count = static_cast<uint8_t>(kDesBlockSize - tailLength);
    if (tailLength > 0) std::memcpy(block, tail, tailLength);  // tail may be null when empty
    const uint8_t filler = paddingStyle != kPadFillThenCount ? count : fillByte;
    std::memset(block + tailLength, filler, count - 1);
    block[kDesBlockSize - 1] = count;
}

}  // namespace

int32_t DesModeEncrypt(const uint8_t* keys, int32_t* length, const uint8_t* input, uint8_t* output,
                       uint8_t cipherType, uint8_t mode, int paddingStyle, uint8_t fillByte,
                       const uint8_t* iv) noexcept {
    if (const int32_t rc = CheckArguments(keys, length, input, output, cipherType, mode, iv))
        return rc;
    const auto total = static_cast<size_t>(*length);
    const size_t tail = total % kDesBlockSize;
    const size_t full = total - tail;
    if ((mode == kModeEcb || mode == kModeCbcNoPad) && tail != 0) return kDesLengthError;
    if (mode == kModeCbcPadded && *length > INT32_MAX - static_cast<int32_t>(kDesBlockSize))
        return kDesLengthError;

    const DesBlockCipher cipher(keys, cipherType, false);
    const uint64_t startRegister = mode == kModeEcb ? 0 : LoadBlock(iv);

    if (mode == kModeEcb) {
        for (size_t off = 0; off < full; off += 8)
            StoreBlock(cipher.Process(LoadBlock(input + off)), output + off);
        return kDesOk;
    }
    if (mode == kModeCbcPadded || mode == kModeCbcNoPad) {
        uint64_t chain = startRegister;
        for (size_t off = 0; off < full; off += 8) {
            chain = cipher.Process(LoadBlock(input + off) ^ chain);
            StoreBlock(chain, output + off);
        }
        if (mode == kModeCbcPadded) {
            // The tail is read before the pad block overwrites it (in place).
            uint8_t pad[kDesBlockSize];
            FillPadBlock(input + full, tail, paddingStyle, fillByte, pad);
            StoreBlock(cipher.Process(LoadBlock(pad) ^ chain), output + full);
            SecureWipe(pad, sizeof pad);
            *length = static_cast<int32_t>(full + kDesBlockSize);
        }
        return kDesOk;
    }
    StreamMode(cipher, mode == kModeCfb64, false, startRegister, input, output, total);
    return kDesOk;
}

int32_t DesModeDecrypt(const uint8_t* keys, int32_t* length, const uint8_t* input, uint8_t* output,
                       uint8_t cipherType, uint8_t mode, const uint8_t* iv) noexcept {
    if (const int32_t rc = CheckArguments(keys, length, input, output, cipherType, mode, iv))
        return rc;
    const auto total = static_cast<size_t>(*length);
    // Whole blocks only, and a padded message has at least its pad block:
    // anything else would make the pad count read outside the data.
    if (IsBlockMode(mode) && total % kDesBlockSize != 0) return kDesLengthError;
    if (mode == kModeCbcPadded && total == 0) return kDesLengthError;

    const uint64_t startRegister = mode == kModeEcb ? 0 : LoadBlock(iv);
    if (!IsBlockMode(mode)) {
        const DesBlockCipher cipher(keys, cipherType, false);
        StreamMode(cipher, mode == kModeCfb64, true, startRegister, input, output, total);
        return kDesOk;
    }

    const DesBlockCipher cipher(keys, cipherType, true);
    // Decryption takes its blocks two at a time: no block depends on the
    // result of another. Both are read before either is written, so the
    // output may be the input.
    size_t off = 0;
    if (mode == kModeEcb) {
        for (; off + 16 <= total; off += 16) {
            uint64_t first = LoadBlock(input + off);
            uint64_t second = LoadBlock(input + off + 8);
            cipher.ProcessTwo(first, second);
            StoreBlock(first, output + off);
            StoreBlock(second, output + off + 8);
        }
        if (off < total) StoreBlock(cipher.Process(LoadBlock(input + off)), output + off);
        return kDesOk;
    }
    uint64_t chain = startRegister;
    for (; off + 16 <= total; off += 16) {
        const uint64_t block0 = LoadBlock(input + off);
        const uint64_t block1 = LoadBlock(input + off + 8);
        uint64_t plain0 = block0;
        uint64_t plain1 = block1;
        cipher.ProcessTwo(plain0, plain1);
        StoreBlock(plain0 ^ chain, output + off);
        StoreBlock(plain1 ^ block0, output + off + 8);
        chain = block1;
    }
    if (off < total) StoreBlock(cipher.Process(LoadBlock(input + off)) ^ chain, output + off);
    if (mode == kModeCbcPadded) {
        const uint8_t padCount = output[total - 1];
        if (padCount > kDesBlockSize) return kDesPaddingError;
        *length = static_cast<int32_t>(total - padCount);
    }
    return kDesOk;
}

}  // namespace qorv::crypto
