// The page's direct uses of the symmetric cryptography: one-block DES, the
// CBC MAC, enciphering and deciphering under the bank server's session key,
// and the two text/hexadecimal conversions.
//
// Binary values are hexadecimal text (either case read, upper case
// written); text with any other character is refused. A possibly-null text
// argument is std::nullopt when the page passed no string. The four cipher
// operations write responseData only on success.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/results.h"

namespace qorv::crypto {

// Largest data of MAC and of the session-key operations, in bytes.
inline constexpr int32_t kDesOpMaxDataBytes = 1024;

// DES: opflag 0 encrypts, 1 decrypts one block (16 digits) in ECB under a
// key of keyLen 8, 16 or 24 bytes (2 x keyLen digits). responseData: 16
// digits. Returns 0, -1, 8193, 8194 or 8195.
int32_t DesOperation(int32_t opflag, int32_t keyLen, const std::optional<std::u16string>& keyVal,
                     const std::optional<std::u16string>& inData, std::u16string& responseData);

// MAC: the last block of the CBC encryption of inLen bytes (8..1024, whole
// blocks) under the key, starting from the 16-digit ICV. responseData: 16
// digits. Returns 0, -1, 8193, 8194 or 8195.
int32_t MacOperation(int32_t keyLen, const std::optional<std::u16string>& keyVal,
                     const std::optional<std::u16string>& icv, int32_t inLen,
                     const std::optional<std::u16string>& inData, std::u16string& responseData);

// DESEncipher / DESDecipher: CBC with PKCS#5 padding and a zero initial
// vector under the session key that the server sent enciphered under the
// client public key (checked against its SHA-1 digest). data holds 2 x
// dataLen digits, at most 2048; deciphering needs whole, non-empty blocks.
// Returns 0, 8193, 8194, 8195, 8452, 20741, 20752 or 20753.
int32_t DesEncipherOperation(const std::optional<std::u16string>& sessionKeyHash,
                             const std::optional<std::u16string>& cpukEncSessionKey,
                             int32_t dataLen, const std::optional<std::u16string>& data,
                             std::u16string& responseData);
int32_t DesDecipherOperation(const std::optional<std::u16string>& sessionKeyHash,
                             const std::optional<std::u16string>& cpukEncSessionKey,
                             int32_t dataLen, const std::optional<std::u16string>& data,
                             std::u16string& responseData);

// ConvertIntToHex: the low bytes of the first inLength characters (1..4096)
// as upper-case digits. ConvertHexToInt: the first inLength digits
// (1..8192, an odd last one dropped) as one character per byte. A shorter
// text ends the input early. No string (nullopt) for a missing text, a
// length out of range, or (ConvertHexToInt) a non-hexadecimal character.
std::optional<std::u16string> ConvertIntToHex(int32_t inLength,
                                              const std::optional<std::u16string>& inval);
std::optional<std::u16string> ConvertHexToInt(int32_t inLength,
                                              const std::optional<std::u16string>& inval);

}  // namespace qorv::crypto
