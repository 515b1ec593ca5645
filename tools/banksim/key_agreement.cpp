#include "tools/banksim/key_agreement.h"

#include <algorithm>

namespace qorv::banksim {

namespace {

template <typename T>
Outcome<T> Fail(std::string message) {
    return Outcome<T>{std::nullopt, std::move(message)};
}

}  // namespace

Outcome<Rn1Offer> StartKeyAgreement(const BankKeys& keys, ServerSession& session,
                                    std::size_t rn1Length) {
    session = ServerSession{};
    auto rn1 = RandomSecret(rn1Length);
    if (!rn1) return Fail<Rn1Offer>("the random generator failed");
    const auto cipher = keys.EncryptForClient(rn1->view());
    if (!cipher) return Fail<Rn1Offer>("RN1 could not be encrypted under the client public key");
    const auto signature = keys.SignWithServerKey(rn1->view());
    if (!signature) return Fail<Rn1Offer>("RN1 could not be signed with the server private key");

    session.rn1 = std::move(*rn1);
    session.stage = SessionStage::kRn1Sent;
    Rn1Offer offer;
    offer.rn1Len = static_cast<int>(cipher->size());
    offer.encryptedRn1 = ToHex(*cipher);
    offer.signatureLen = static_cast<int>(signature->size());
    offer.signature = ToHex(*signature);
    return {std::move(offer), {}};
}

Outcome<SessionKeyOffer> AnswerKeyAgreement(const BankKeys& keys, ServerSession& session,
                                            const ClientAnswer& answer,
                                            std::size_t sessionKeyLength) {
    if (session.stage != SessionStage::kRn1Sent) {
        return Fail<SessionKeyOffer>(session.stage == SessionStage::kEstablished
                                         ? "the session already has its key"
                                         : "no RN1 is waiting for an answer in this session");
    }
    if (sessionKeyLength != 8 && sessionKeyLength != 16 && sessionKeyLength != 24) {
        return Fail<SessionKeyOffer>("a session key has 8, 16 or 24 bytes");
    }
    // Whatever happens below, this RN1 has been answered: never accept it twice.
    session.stage = SessionStage::kFailed;
    SecretBytes rn1 = std::move(session.rn1);

    const auto encryptedRn2 = FromHex(answer.encryptedRn2);
    if (!encryptedRn2) return Fail<SessionKeyOffer>("encryptRN2 is not hexadecimal");
    const auto rn2 = keys.DecryptWithServerKey(*encryptedRn2);
    if (!rn2) return Fail<SessionKeyOffer>("RN2 does not decrypt with the server private key");
    if (rn2->size() != kRn2Length) {
        return Fail<SessionKeyOffer>("RN2 has " + std::to_string(rn2->size()) +
                                     " bytes instead of 8");
    }
    const auto signature = FromHex(answer.rn2Signature);
    if (!signature) return Fail<SessionKeyOffer>("encryptHashRN2 is not hexadecimal");
    if (!keys.VerifyClientSignature(rn2->view(), *signature)) {
        return Fail<SessionKeyOffer>(
            "the RN2 signature does not verify with the client public key");
    }
    Bytes both(rn1.view().begin(), rn1.view().end());
    both.insert(both.end(), rn2->view().begin(), rn2->view().end());
    const SecretBytes joined(std::move(both));
    const auto expectedHash = Sha1(joined.view());
    const auto givenHash = FromHex(answer.sessionKeyHash);
    if (!givenHash || givenHash->size() != expectedHash.size() ||
        !std::equal(expectedHash.begin(), expectedHash.end(), givenHash->begin())) {
        return Fail<SessionKeyOffer>("sessionKeyHash is not SHA-1(RN1 || RN2)");
    }

    auto sessionKey = RandomSecret(sessionKeyLength);
    if (!sessionKey) return Fail<SessionKeyOffer>("the random generator failed");
    auto offer = OfferSessionKey(keys, sessionKey->view());
    if (!offer.ok()) return offer;
    session.sessionKey = std::move(*sessionKey);
    session.stage = SessionStage::kEstablished;
    return offer;
}

Outcome<SessionKeyOffer> OfferSessionKey(const BankKeys& keys,
                                         std::span<const uint8_t> sessionKey) {
    const auto cipher = keys.EncryptForClient(sessionKey);
    if (!cipher) {
        return Fail<SessionKeyOffer>("the session key could not be encrypted for the client");
    }
    return {SessionKeyOffer{ToHex(*cipher), ToHex(Sha1(sessionKey))}, {}};
}

Outcome<std::string> SessionCipherHex(const ServerSession& session, CipherUse use,
                                      CipherDirection direction, const std::string& inputHex) {
    if (session.stage != SessionStage::kEstablished) {
        return Fail<std::string>("the session has no key yet");
    }
    const auto input = FromHex(inputHex);
    if (!input) return Fail<std::string>("data is not hexadecimal");
    const SecretBytes secretInput(std::move(*input));
    const auto output =
        RunSessionCipher(session.sessionKey.view(), use, direction, secretInput.view());
    if (!output) {
        return Fail<std::string>(
            direction == CipherDirection::kDecipher
                ? "data does not decipher under the session key (length or padding)"
                : "the cipher failed");
    }
    return {ToHex(output->view()), {}};
}

}  // namespace qorv::banksim
