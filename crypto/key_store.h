// The module's RSA keys, kept enciphered in the module and deciphered only
// for the duration of one private- or public-key operation.
//
// Use a KeyStoreSession around each RSA operation: it deciphers the four
// records into their process-wide buffers when it is made and wipes them
// when it goes, on every path. Like the rest of the module it is meant for
// the control's single thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qorv::crypto {

inline constexpr std::array<std::size_t, 4> kKeyStoreBufferSizes = {256, 1280, 256, 256};

class KeyStoreSession {
  public:
    KeyStoreSession();
    ~KeyStoreSession();
    KeyStoreSession(const KeyStoreSession&) = delete;
    KeyStoreSession& operator=(const KeyStoreSession&) = delete;

    // The deciphered records; empty when a record could not be deciphered
    // (the RSA operations then report a missing key).
    std::span<const uint8_t> ClientPrivateKey() const;
    std::span<const uint8_t> ServerPublicKey() const;
};

// Clears the four buffers, derives the store key from the stored constant,
// deciphers the four records and clears the key. A record that does not
// decipher (bad length or padding) is left empty and zero.
void LoadKeyStore();
// Sets all four buffers (and their lengths) to zero.
void WipeKeyStore();

namespace test_hooks {
// Read-only views of the four whole buffers, so tests can prove they are
// zero after every operation. Exposes nothing that is not already zero
// outside an operation.
std::array<std::span<const uint8_t>, 4> KeyStoreBuffers();
}  // namespace test_hooks

}  // namespace qorv::crypto
