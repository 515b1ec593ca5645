// Hexadecimal texts of the session operations decoded straight into wiped
// storage (they carry RSA cipher texts and digests of secrets).
#pragma once

#include <string_view>

#include "base/secure_wipe.h"

namespace qorv::crypto {

// Decodes all of digits into out (resized to the decoded byte count; an odd
// last digit gives a byte with low half 0). False on any character other
// than 0-9, A-F, a-f; out is then wiped and empty.
bool DecodeSessionHex(std::u16string_view digits, SecretBuffer& out);

}  // namespace qorv::crypto
