// Client side of the key agreement with the bank server and the handling of
// the session key that the server delivers afterwards.
//
// The server sends RN1 enciphered under the client public key (and a
// signature of it); the client answers with RN2 enciphered under the server
// public key, RN2 signed with the client private key, and SHA-1(RN1 || RN2).
// The server then sends the session key enciphered under the client public
// key with its SHA-1 digest; every use of the session key decrypts and checks
// it again (UnwrapSessionKey), so it never stays in memory between calls.
//
// Every operation here loads the key store just before its RSA operation and
// wipes it right after, on every path; RN1, RN2 and session keys are wiped
// before returning. Hexadecimal texts with a character other than 0-9, A-F,
// a-f are refused (decoding error).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/results.h"
#include "base/secure_wipe.h"

namespace qorv::crypto {

// The values that the control keeps for GetEncryptRN2, GetEncryptHashRN2 and
// GetSessionKeyHash. A new control starts with this default state.
struct SessionExchangeState {
    int32_t sessionFlag = 0;          // 1 once VerifyRN1andGenerateRN2 succeeded
    std::u16string encryptedRn2;      // GetEncryptRN2: upper-case hex, 2k digits
    std::u16string encryptedHashRn2;  // GetEncryptHashRN2: upper-case hex, 2k digits
    std::u16string sessionKeyHash;    // 40 upper-case digits, valid while the flag is 1

    // GetSessionKeyHash: the digest text while the flag is 1, else no text.
    std::optional<std::u16string> SessionKeyHashText() const {
        if (sessionFlag != 1) return std::nullopt;
        return sessionKeyHash;
    }
};

// VerifyRN1andGenerateRN2: decrypts RN1 with the client private key, makes
// RN2, enciphers it for the server, signs it and computes the session key
// hash into state. Returns 0 or 8195, 8450, 8451, 8452, 20741, 20742, 20743.
// The server's signature of RN1 is length-checked and decoded only.
int32_t VerifyRN1andGenerateRN2(int32_t rn1Len,
                                const std::optional<std::u16string>& cpukEncryptedRn1,
                                int32_t dsigLen, const std::optional<std::u16string>& sprkSignRn1,
                                SessionExchangeState& state);

// VerifySessionKeyHash: 0 when SHA-1 of the decrypted session key equals the
// first 20 bytes of the digest text (a shorter digest compares as if filled
// with zero bytes), -1 when not; 8195, 8452, or 20741 (decryption failed, the
// cipher text is longer than 144 bytes, or the key length is 0 or not a
// multiple of 8).
int32_t VerifySessionKeyHash(const std::optional<std::u16string>& cpukEncSessionKey,
                             const std::optional<std::u16string>& sessionKeyHash);

// The step at which UnwrapSessionKey stopped.
enum class SessionKeyStep {
    kOk = 0,
    kArgumentMissing,
    kDecodeEncryptedKey,  // hexadecimal decoding of the encrypted session key
    kPrivateKeyDecrypt,   // RSA decryption with the client private key
    kKeyLength,           // length 0, above 24 or not a multiple of 8
    kDecodeDigest,        // hexadecimal decoding of the digest text
    kDigestMismatch,      // SHA-1 of the key differs from the digest
};

inline constexpr std::size_t kMaxSessionKeyLength = 24;

// A recovered session key: 8, 16 or 24 bytes; wiped when it goes.
struct SessionKey {
    SecretBytes<kMaxSessionKeyLength> bytes;
    std::size_t length = 0;

    void Clear() noexcept {
        SecureWipe(bytes.data(), bytes.size());
        length = 0;
    }
};

// Decrypts the session key from its hexadecimal cipher text with the client
// private key (loading and wiping the key store around the decryption) and
// checks it against the hexadecimal SHA-1 digest. On any step but kOk the
// key is left empty (zero length, zero bytes).
SessionKeyStep UnwrapSessionKey(const std::u16string& cpukEncSessionKey,
                                const std::u16string& sessionKeyHash, SessionKey& key);

// Result codes of SessionFieldCipher: the step number sits in the top byte.
inline constexpr int32_t kFieldArgumentMissing = 0x1001003;
inline constexpr int32_t kFieldDecodeEncryptedKey = 0x2001006;
inline constexpr int32_t kFieldPrivateKeyDecrypt = 0x3001301;
inline constexpr int32_t kFieldKeyLength = 0x4001301;
inline constexpr int32_t kFieldDecodeDigest = 0x5001006;
inline constexpr int32_t kFieldDigestMismatch = 0x6001306;
inline constexpr int32_t kFieldInputData = 0x9001006;
inline constexpr int32_t kFieldCipherFailure = 0xA001305;

enum class FieldDirection { kEncrypt = 0, kDecrypt = 1 };

// Input formats of SessionFieldCipher.
inline constexpr int kFieldInputNarrowText = 0;  // each character's low 8 bits
inline constexpr int kFieldInputHex = 1;         // hexadecimal digits
inline constexpr int kFieldInputUtf16 = 3;       // UTF-16 code units, 2 bytes each (LE)
// any other value: Base64 text

// Enciphers or deciphers one dialog value under the session key with two-key
// triple DES (first 16 key bytes, zero IV) in the given chaining mode (1 or
// 4). Encrypted output: one character per cipher byte. Decrypted output: the
// plain bytes as UTF-16 text when they look like UTF-16 (a byte pair of an
// ASCII letter, digit or space followed by zero), else one character per
// byte. The whole input is used; on success length becomes the output byte
// count, on failure output and length are left unchanged. Loads and wipes
// the key store itself, so callers need not.
int32_t SessionFieldCipher(const std::optional<std::u16string>& sessionKeyHash,
                           const std::optional<std::u16string>& cpukEncSessionKey,
                           FieldDirection direction, int inputFormat, int32_t& length,
                           const std::optional<std::u16string>& input, std::u16string& output,
                           uint8_t chainingMode);

}  // namespace qorv::crypto
