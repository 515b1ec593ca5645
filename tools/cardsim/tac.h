// The transaction authentication code (TAC) of the simulated card.
//
// The card answers a transaction write (00 E2 10 80) with a serial number SNUM
// and a TAC. A bank simulator verifies the TAC with the card's key, so the
// definition lives here, in a tiny library that both sides link:
//
//   key     16 bytes K1 || K2: two-key triple DES (encrypt K1, decrypt K2, encrypt K1)
//   input   the 8 SNUM characters exactly as the card returns them (ASCII digits),
//           followed by the record bytes the host sent (the command data, Lc bytes)
//   padding 00 bytes appended until the length is a multiple of 8 (none when it
//           already is) - ISO/IEC 9797-1 padding method 1
//   MAC     CBC over the padded input with a zero IV, triple DES on every block;
//           the TAC is the whole last cipher block (ISO/IEC 9797-1 MAC algorithm 1)
//
// Computed with OpenSSL; the product's own DES is never used here.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qorv::cardsim {

using TacKey = std::array<uint8_t, 16>;
using Tac = std::array<uint8_t, 8>;

inline constexpr size_t kSnumLength = 8;

// The exact bytes that are MACed, before padding: SNUM then the record.
std::vector<uint8_t> TacInput(std::string_view snum, std::span<const uint8_t> record);

// Computes the TAC; false only when OpenSSL fails.
[[nodiscard]] bool ComputeTac(const TacKey& key, std::string_view snum,
                              std::span<const uint8_t> record, Tac* tac);

}  // namespace qorv::cardsim
