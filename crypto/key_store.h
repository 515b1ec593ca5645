// The module's RSA keys, kept enciphered in the module and deciphered only
// for the duration of one private- or public-key operation.
//
// Use a KeyStoreSession around each RSA operation: it deciphers the records
// the operation needs into their process-wide buffers when it is made and
// wipes all four buffers when it goes, on every path. Records an operation
// does not need stay enciphered (their buffers stay zero), so no more key
// material is in clear than the operation uses. Like the rest of the module
// it is meant for the control's single thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qorv::crypto {

inline constexpr std::array<std::size_t, 4> kKeyStoreBufferSizes = {256, 1280, 256, 256};

// Which records a session deciphers: a bit per record (bit 0 is record 1).
enum class KeyStoreRecords : unsigned {
    kClientPrivateKey = 1u << 1,  // record 2
    kServerPublicKey = 1u << 2,   // record 3
    kClientPrivateAndServerPublic = kClientPrivateKey | kServerPublicKey,
    kAll = 0xFu,  // with the two reserved records 1 and 4
};

class KeyStoreSession {
  public:
    // Deciphers all four records.
    KeyStoreSession();
    // Deciphers only the records named.
    explicit KeyStoreSession(KeyStoreRecords records);
    ~KeyStoreSession();
    KeyStoreSession(const KeyStoreSession&) = delete;
    KeyStoreSession& operator=(const KeyStoreSession&) = delete;

    // The deciphered records; empty when a record was not asked for or could
    // not be deciphered (the RSA operations then report a missing key).
    std::span<const uint8_t> ClientPrivateKey() const;
    std::span<const uint8_t> ServerPublicKey() const;
};

// Clears the four buffers, derives the store key from the stored constant,
// deciphers the records asked for and clears the key. A record that does not
// decipher (bad length or padding) is left empty and zero.
void LoadKeyStore(KeyStoreRecords records = KeyStoreRecords::kAll);
// Sets all four buffers (and their lengths) to zero.
void WipeKeyStore();

namespace test_hooks {
// Read-only views of the four whole buffers, so tests can prove they are
// zero after every operation. Exposes nothing that is not already zero
// outside an operation.
std::array<std::span<const uint8_t>, 4> KeyStoreBuffers();
// The records the last load was asked to decipher, so tests can prove an
// operation deciphered no record it does not use.
KeyStoreRecords LastLoadedRecords();
}  // namespace test_hooks

}  // namespace qorv::crypto
