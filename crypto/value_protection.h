// Protection of values that the dialogs keep in memory and in window texts.
//
// Display scrambling: a keypad label or the content of a secure display
// field is held in its window as Base64 of a two-key triple DES (CBC, PKCS#5
// padding) cipher text under a display key chosen by offset, and deciphered
// only while it is painted, so reading the window text from outside shows
// nothing useful.
//
// Data keys: each dialog makes a fresh random 16-byte key when it opens and
// keeps it only wrapped (enciphered under a wrapping key chosen by offset and
// table selector); the values the customer types are enciphered under it.
//
// Every function returns a DES engine result code (crypto/des.h); key
// offsets above 31 are refused with kDesArgumentError. All key material and
// plain intermediate values are wiped before returning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/secure_wipe.h"

namespace qorv::crypto {

inline constexpr std::size_t kDataKeySize = 16;
inline constexpr uint32_t kMaxProtectionKeyOffset = 31;
// A display text of this many bytes scrambles to 320 characters, the most a
// secure display field holds.
inline constexpr std::size_t kMaxDisplayTextBytes = 232;

using WrappedDataKey = std::array<uint8_t, kDataKeySize>;

// Scrambles the bytes (dialogs pass UTF-16 text, 2 bytes per character, see
// Utf16ToBytes) under the display key at keyOffset. Empty input gives an
// empty text and 0.
int32_t ScrambleDisplayText(std::span<const uint8_t> plain, uint32_t keyOffset,
                            std::u16string& scrambled);

// Recovers the bytes; malformed Base64 or a wrong offset gives a DES engine
// failure and an empty (wiped) result. plain is wiped before it is refilled.
int32_t UnscrambleDisplayText(std::u16string_view scrambled, uint32_t keyOffset,
                              std::vector<uint8_t>& plain);

// selector picks the wrapping key table: 0, 1, 2, or 3 for any other value.
int32_t NewWrappedDataKey(uint32_t keyOffset, uint32_t selector, WrappedDataKey& wrapped);
int32_t UnwrapDataKey(const WrappedDataKey& wrapped, uint32_t keyOffset, uint32_t selector,
                      SecretBytes<kDataKeySize>& dataKey);

// CBC without padding under the data key: the length must be a multiple of
// 8 (else kDesLengthError); out has room for plain.size() bytes.
int32_t EncryptWithDataKey(std::span<const uint8_t> plain, const WrappedDataKey& wrapped,
                           uint32_t keyOffset, uint32_t selector, uint8_t* out);
int32_t DecryptWithDataKey(std::span<const uint8_t> cipher, const WrappedDataKey& wrapped,
                           uint32_t keyOffset, uint32_t selector, uint8_t* out);

// The protection values a dialog holds for its lifetime: its wrapped data
// key with the wrapping key's offset and selector, and its display offset.
struct DialogProtection {
    WrappedDataKey wrappedKey{};
    uint32_t keyOffset = 0;
    uint32_t selector = 0;
    uint32_t displayKeyOffset = 0;
};

// Draws the offsets and a fresh data key for a dialog that is opening.
int32_t NewDialogProtection(DialogProtection& protection);

}  // namespace qorv::crypto
