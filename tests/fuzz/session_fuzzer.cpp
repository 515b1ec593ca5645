// Fuzz target: the key agreement and the session-key operations against the
// built-in (development) key store. The input either supplies the texts
// raw, or supplies the secrets (RN1, the session key) that the target then
// enciphers under the client public key as the bank server would, with the
// digest text correct or damaged as the input says. Built-in checks: the
// key-store buffers are zero after every call, failures leave the outputs
// as they were, and what is enciphered deciphers to itself.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/results.h"
#include "crypto/des_operations.h"
#include "crypto/hex.h"
#include "crypto/key_store.h"
#include "crypto/rsa.h"
#include "crypto/session.h"
#include "crypto/sha1.h"
#include "crypto/text_bytes.h"
#include "dev_keys.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using qorv::fuzz::FuzzInput;
using Bytes = std::vector<uint8_t>;
using Text = std::optional<std::u16string>;
namespace crypto = qorv::crypto;

void CheckKeyStoreWiped() {
    for (const auto buffer : crypto::test_hooks::KeyStoreBuffers())
        FUZZ_CHECK(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));
}

bool IsUpperHex(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
    });
}

// secret enciphered under the client public key, as hexadecimal text.
std::u16string EncipherForClient(const Bytes& secret) {
    std::array<uint8_t, 256> cipher{};
    std::size_t length = 0;
    if (crypto::RsaPublicEncrypt(qorv::fuzz::GetDevKeys().clientPublic, secret, cipher, length) !=
        crypto::kRsaOk)
        return u"";
    return crypto::HexEncodeU16(std::span(cipher.data(), length));
}

std::u16string Sha1Text(const Bytes& data) {
    uint8_t digest[20];
    crypto::Sha1(data.data(), data.size(), digest);
    return crypto::HexEncodeU16(digest);
}

// A text the input damages when it asks to: one unit replaced, the text
// cut short, lower case, or absent.
Text Damage(FuzzInput& in, std::u16string text) {
    switch (in.Choice(8)) {
        case 0:
            if (!text.empty()) text[in.Byte() % text.size()] = in.Integer<char16_t>();
            break;
        case 1:
            text.resize(text.size() > 0 ? in.Byte() % text.size() : 0);
            break;
        case 2:
            for (auto& c : text)
                if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c + 32);
            break;
        case 3:
            return std::nullopt;
        default:
            break;
    }
    return text;
}

// The session key and its two texts, made by the target or taken raw.
struct SessionKeyTexts {
    Bytes key;
    bool made = false;  // key, encrypted and hash were made here; hash may be damaged
    bool hashIntact = false;
    Text encrypted;
    Text hash;
};

SessionKeyTexts TakeSessionKey(FuzzInput& in) {
    SessionKeyTexts texts;
    if (in.Flag()) {
        texts.encrypted = in.Text(400);
        texts.hash = in.Text(100);
        return texts;
    }
    texts.made = true;
    const std::size_t lengths[] = {8, 16, 24, 0, 12, 32};
    const std::size_t length = lengths[in.Choice(6)];
    for (std::size_t i = 0; i < length; ++i) texts.key.push_back(in.Byte());
    texts.encrypted = EncipherForClient(texts.key);
    const std::u16string hash = Sha1Text(texts.key);
    texts.hash = Damage(in, hash);
    texts.hashIntact = texts.hash == hash;
    return texts;
}

bool UsableKey(const SessionKeyTexts& t) {
    return t.made && t.hashIntact && !t.key.empty() && t.key.size() % 8 == 0 && t.key.size() <= 24;
}

void Agreement(FuzzInput& in) {
    const int32_t rn1Len = in.Flag() ? 128 : in.Integer<int16_t>();
    const int32_t dsigLen = in.Flag() ? 128 : in.Integer<int16_t>();
    Text rn1;
    if (in.Flag()) {
        rn1 = in.Text(300);
    } else {
        const Bytes secret = in.Bytes(130);
        rn1 = Damage(in, EncipherForClient(secret));
    }
    const Text signature = Damage(in, crypto::HexEncodeU16(in.Bytes(140)));

    crypto::SessionExchangeState state;
    state.sessionFlag = 1;
    state.encryptedRn2 = u"before";
    state.encryptedHashRn2 = u"before";
    state.sessionKeyHash = u"before";
    const int32_t rc = crypto::VerifyRN1andGenerateRN2(rn1Len, rn1, dsigLen, signature, state);
    CheckKeyStoreWiped();
    if (rc == qorv::result::kOk) {
        FUZZ_CHECK(state.sessionFlag == 1);
        FUZZ_CHECK(state.encryptedRn2.size() == 2 * 128 && IsUpperHex(state.encryptedRn2));
        FUZZ_CHECK(state.encryptedHashRn2.size() == 2 * 128 && IsUpperHex(state.encryptedHashRn2));
        FUZZ_CHECK(state.sessionKeyHash.size() == 40 && IsUpperHex(state.sessionKeyHash));
        FUZZ_CHECK(state.SessionKeyHashText() == state.sessionKeyHash);
    } else if (state.sessionFlag != 0) {
        // Refused before anything was decoded: nothing changed.
        FUZZ_CHECK(rc == qorv::result::kArgumentMissing || rc == qorv::result::kRn1LengthMismatch ||
                   rc == qorv::result::kSignatureLengthMismatch);
        FUZZ_CHECK(state.sessionKeyHash == u"before" && state.encryptedRn2 == u"before");
    } else {
        FUZZ_CHECK(!state.SessionKeyHashText().has_value());
    }
}

void KeyHash(FuzzInput& in) {
    const SessionKeyTexts t = TakeSessionKey(in);
    const int32_t rc = crypto::VerifySessionKeyHash(t.encrypted, t.hash);
    CheckKeyStoreWiped();
    if (UsableKey(t)) FUZZ_CHECK(rc == qorv::result::kOk);

    crypto::SessionKey key;
    key.length = 99;
    key.bytes[0] = 0xAA;
    if (!t.encrypted || !t.hash) return;
    const auto step = crypto::UnwrapSessionKey(*t.encrypted, *t.hash, key);
    CheckKeyStoreWiped();
    FUZZ_CHECK((step == crypto::SessionKeyStep::kOk) == (rc == qorv::result::kOk));
    if (step != crypto::SessionKeyStep::kOk) {
        FUZZ_CHECK(key.length == 0);
        FUZZ_CHECK(std::all_of(key.bytes.data(), key.bytes.data() + key.bytes.size(),
                               [](uint8_t b) { return b == 0; }));
        return;
    }
    FUZZ_CHECK(key.length >= 8 && key.length <= 24 && key.length % 8 == 0);
    if (t.made)
        FUZZ_CHECK(key.length == t.key.size() &&
                   std::equal(t.key.begin(), t.key.end(), key.bytes.data()));
}

void FieldCipher(FuzzInput& in) {
    const SessionKeyTexts t = TakeSessionKey(in);
    const int format = static_cast<int>(in.Choice(5));
    const uint8_t mode = in.Flag() ? 1 : static_cast<uint8_t>(in.Choice(6));
    const auto direction =
        in.Flag() ? crypto::FieldDirection::kDecrypt : crypto::FieldDirection::kEncrypt;
    const std::u16string input = in.Text(600);

    std::u16string output = u"before";
    int32_t length = -7;
    const int32_t rc = crypto::SessionFieldCipher(t.hash, t.encrypted, direction, format, length,
                                                  input, output, mode);
    CheckKeyStoreWiped();
    if (rc != qorv::result::kOk) {
        FUZZ_CHECK(output == u"before" && length == -7);
        return;
    }
    FUZZ_CHECK(length >= 0);
    if (direction == crypto::FieldDirection::kDecrypt) return;
    FUZZ_CHECK(output.size() == static_cast<std::size_t>(length));
    // What was enciphered deciphers to the same bytes, given back one
    // character per byte or as UTF-16 text.
    std::u16string plain;
    int32_t plainLength = 0;
    FUZZ_CHECK(crypto::SessionFieldCipher(t.hash, t.encrypted, crypto::FieldDirection::kDecrypt,
                                          crypto::kFieldInputNarrowText, plainLength, output, plain,
                                          mode) == qorv::result::kOk);
    CheckKeyStoreWiped();
    if (format != crypto::kFieldInputNarrowText) return;
    const Bytes bytes = crypto::NarrowText(input);
    FUZZ_CHECK(plainLength == static_cast<int32_t>(bytes.size()));
    FUZZ_CHECK(plain == crypto::WidenBytes(bytes) || plain == crypto::BytesToUtf16(bytes));
}

void Encipher(FuzzInput& in) {
    const SessionKeyTexts t = TakeSessionKey(in);
    const Bytes data = in.Bytes(1100);
    const int32_t dataLen = in.Flag() ? static_cast<int32_t>(data.size()) : in.Integer<int16_t>();
    const Text dataText = Damage(in, crypto::HexEncodeU16(data));
    const bool decipherFirst = in.Flag();

    std::u16string response = u"before";
    const int32_t rc =
        decipherFirst
            ? crypto::DesDecipherOperation(t.hash, t.encrypted, dataLen, dataText, response)
            : crypto::DesEncipherOperation(t.hash, t.encrypted, dataLen, dataText, response);
    CheckKeyStoreWiped();
    if (rc != qorv::result::kOk) {
        FUZZ_CHECK(response == u"before");
        return;
    }
    FUZZ_CHECK(IsUpperHex(response) && response.size() % 2 == 0);
    if (decipherFirst) return;
    FUZZ_CHECK(response.size() % 16 == 0 &&
               response.size() > 2 * static_cast<std::size_t>(dataLen));
    // Deciphering takes at most 1024 bytes: the padded cipher text of the
    // longest data (1032 bytes) cannot come back through it.
    if (response.size() > 2 * static_cast<std::size_t>(crypto::kDesOpMaxDataBytes)) return;
    std::u16string back = u"before";
    FUZZ_CHECK(crypto::DesDecipherOperation(t.hash, t.encrypted,
                                            static_cast<int32_t>(response.size() / 2), response,
                                            back) == qorv::result::kOk);
    CheckKeyStoreWiped();
    std::u16string expected = dataText->substr(0, 2 * static_cast<std::size_t>(dataLen));
    for (auto& c : expected)
        if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - 32);
    FUZZ_CHECK(back == expected);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qorv::fuzz::GetDevKeys();
    CheckKeyStoreWiped();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    switch (in.Choice(4)) {
        case 0:
            Agreement(in);
            break;
        case 1:
            KeyHash(in);
            break;
        case 2:
            FieldCipher(in);
            break;
        default:
            Encipher(in);
            break;
    }
    CheckKeyStoreWiped();
    return 0;
}
