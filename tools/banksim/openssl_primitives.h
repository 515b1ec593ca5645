// The small OpenSSL helpers every part of the bank simulator needs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "tools/banksim/secret_bytes.h"
#include "tools/cardsim/hex.h"

namespace qorv::banksim {

using Sha1Digest = std::array<uint8_t, 20>;

Sha1Digest Sha1(std::span<const uint8_t> data);
// Fresh random bytes from OpenSSL's generator; nothing when it fails.
std::optional<SecretBytes> RandomSecret(std::size_t length);

// Upper-case hexadecimal, as the component writes it; either case is read.
using cardsim::FromHex;
using cardsim::ToHex;

}  // namespace qorv::banksim
