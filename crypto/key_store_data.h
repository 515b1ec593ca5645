// The enciphered key store compiled into the module. The definitions are
// generated at build time by the key-store tool (tools/keystore) from the
// deployment's key folder; see keys/dev/README.md.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "base/secure_wipe.h"

namespace qorv::crypto {

// One stored record: a 4-byte big-endian length L, then L bytes of two-key
// triple-DES CBC cipher text (PKCS#5 padding, zero initial vector).
struct StoredKeyRecord {
    const uint8_t* data;
    std::size_t size;
};

inline constexpr std::size_t kKeyStoreConstantSize = 8;
inline constexpr std::size_t kKeyStoreRecordCount = 4;

// The 8-byte constant from which the store key is derived at run time.
extern const std::array<uint8_t, kKeyStoreConstantSize> kKeyStoreConstant;
// Record 1: reserved (the client public key); 2: client private key
// (RSAPrivateKey); 3: bank server public key (RSAPublicKey); 4: reserved.
extern const std::array<StoredKeyRecord, kKeyStoreRecordCount> kStoredKeyRecords;

// The 16-byte store key from the constant (read big-endian): K1 = the
// constant rotated right by one bit, K2 = rotated left by one bit. Shared by
// the module, which deciphers the records, and the key-store tool, which
// enciphers them.
inline void DeriveKeyStoreKey(const uint8_t* constant, uint8_t* key) noexcept {
    uint64_t value = 0;
    for (std::size_t i = 0; i < kKeyStoreConstantSize; ++i) value = (value << 8) | constant[i];
    uint64_t halves[2] = {std::rotr(value, 1), std::rotl(value, 1)};
    for (std::size_t h = 0; h < 2; ++h) {
        for (std::size_t i = 0; i < 8; ++i)
            key[8 * h + i] = static_cast<uint8_t>(halves[h] >> (56 - 8 * i));
    }
    SecureWipe(&value, sizeof value);
    SecureWipe(halves, sizeof halves);
}

}  // namespace qorv::crypto
