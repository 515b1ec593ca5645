// CBC with an all-zero IV and PKCS#5 padding under a session key, as the bank
// server runs it (OpenSSL):
//   session data    the cipher follows the key length: 8 bytes single DES,
//                   16 two-key and 24 three-key triple DES (DESEncipher/DESDecipher)
//   dialog fields   always two-key triple DES over the first 16 key bytes, an
//                   8-byte key leaving K2 zero (the fields of the entry dialogs)
#pragma once

#include <optional>
#include <span>

#include "tools/banksim/secret_bytes.h"

namespace qorv::banksim {

enum class CipherUse { kSessionData, kDialogField };
enum class CipherDirection { kEncipher, kDecipher };

// Nothing when the key length is not 8, 16 or 24, or when deciphering meets a
// length that is not whole blocks or a bad pad.
std::optional<SecretBytes> RunSessionCipher(std::span<const uint8_t> sessionKey, CipherUse use,
                                            CipherDirection direction,
                                            std::span<const uint8_t> input);

}  // namespace qorv::banksim
