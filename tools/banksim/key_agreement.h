// The bank server's side of the RN1/RN2 key agreement:
//
//   1. Start:  RN1 (8 random bytes) encrypted under the client public key,
//              and the server's SHA-1 signature over RN1.
//   2. Answer: the component's RN2 (decrypted with the server private key),
//              its signature (checked with the client public key) and
//              SHA-1(RN1 || RN2); the server then makes a session key of 8, 16
//              or 24 bytes and sends it encrypted under the client public key
//              with its SHA-1.
//   3. Cipher: data under the session key, both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/banksim/bank_keys.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/secret_bytes.h"
#include "tools/banksim/session_cipher.h"

namespace qorv::banksim {

inline constexpr std::size_t kRn1Length = 8;
inline constexpr std::size_t kRn2Length = 8;
inline constexpr std::size_t kDefaultSessionKeyLength = 16;

enum class SessionStage { kNew, kRn1Sent, kEstablished, kFailed };

struct ServerSession {
    SessionStage stage = SessionStage::kNew;
    SecretBytes rn1;
    SecretBytes sessionKey;
};

// What the page hands to VerifyRN1andGenerateRN2.
struct Rn1Offer {
    int rn1Len = 0;  // RN1Len: cipher text bytes
    std::string encryptedRn1;
    int signatureLen = 0;  // DsigLen
    std::string signature;
};

// What the page read from GetEncryptRN2, GetEncryptHashRN2 and GetSessionKeyHash.
struct ClientAnswer {
    std::string encryptedRn2;
    std::string rn2Signature;
    std::string sessionKeyHash;
};

// What the page hands to VerifySessionKeyHash, DESEncipher and DESDecipher.
struct SessionKeyOffer {
    std::string encryptedSessionKey;  // pCpukEncSessionKey
    std::string sessionKeyHash;       // pSessionKeyHash
};

// Failures carry a sentence for the page and the log; `value` is set on success.
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::string error;
    bool ok() const { return value.has_value(); }
};

// `rn1Length` other than 8 is for tests of the component's refusal.
Outcome<Rn1Offer> StartKeyAgreement(const BankKeys& keys, ServerSession& session,
                                    std::size_t rn1Length = kRn1Length);

// Checks the answer and, when it holds, makes the session key. A failed answer
// ends the session: the page starts again with a new RN1.
Outcome<SessionKeyOffer> AnswerKeyAgreement(
    const BankKeys& keys, ServerSession& session, const ClientAnswer& answer,
    std::size_t sessionKeyLength = kDefaultSessionKeyLength);

// Wraps a key of any length for the client, with its SHA-1, as a server
// would: for tests that hand the component keys the agreement never makes.
Outcome<SessionKeyOffer> OfferSessionKey(const BankKeys& keys, std::span<const uint8_t> sessionKey);

// Enciphers or deciphers under the established session key; hex in, hex out.
Outcome<std::string> SessionCipherHex(const ServerSession& session, CipherUse use,
                                      CipherDirection direction, const std::string& inputHex);

}  // namespace qorv::banksim
