// The enciphered key store compiled into the module. The definitions are
// generated at build time by the key-store tool (tools/keystore) from the
// deployment's key folder; see keys/dev/README.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

}  // namespace qorv::crypto
