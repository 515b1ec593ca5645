// The keys of the built-in key store, read once for the fuzz targets that
// need them outside an operation: the client key pair (the private record,
// and a public record made from its modulus and exponent) and the server
// public key. The store is wiped again before the targets run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/der.h"
#include "crypto/key_store.h"
#include "fuzz_check.h"

namespace qorv::fuzz {

struct DevKeys {
    std::vector<uint8_t> clientPrivate;  // RSAPrivateKey DER
    std::vector<uint8_t> clientPublic;   // RSAPublicKey DER
    std::vector<uint8_t> serverPublic;   // RSAPublicKey DER
    crypto::RsaPrivateKey client;
};

namespace detail {

inline void AppendDerLength(std::vector<uint8_t>& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else if (length < 0x100) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(length)});
    } else {
        out.insert(out.end(),
                   {0x82, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    }
}

inline void AppendDerInteger(std::vector<uint8_t>& out, const crypto::BigNum& value) {
    std::vector<uint8_t> bytes(value.ByteLength() + 1);  // a leading zero keeps it positive
    FUZZ_CHECK(value.GetBytes(bytes));
    if (bytes.size() > 1 && bytes[1] < 0x80) bytes.erase(bytes.begin());
    out.push_back(0x02);
    AppendDerLength(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace detail

inline std::vector<uint8_t> PublicKeyDer(const crypto::BigNum& modulus,
                                         const crypto::BigNum& exponent) {
    std::vector<uint8_t> body;
    detail::AppendDerInteger(body, modulus);
    detail::AppendDerInteger(body, exponent);
    std::vector<uint8_t> der = {0x30};
    detail::AppendDerLength(der, body.size());
    der.insert(der.end(), body.begin(), body.end());
    return der;
}

inline const DevKeys& GetDevKeys() {
    static const DevKeys keys = [] {
        DevKeys k;
        {
            const crypto::KeyStoreSession session;
            const auto priv = session.ClientPrivateKey();
            const auto pub = session.ServerPublicKey();
            k.clientPrivate.assign(priv.begin(), priv.end());
            k.serverPublic.assign(pub.begin(), pub.end());
        }
        FUZZ_CHECK(crypto::ReadRsaPrivateKey(k.clientPrivate, k.client) == crypto::kDerOk);
        k.clientPublic = PublicKeyDer(k.client.modulus, k.client.publicExponent);
        crypto::RsaPublicKey check;
        FUZZ_CHECK(crypto::ReadRsaPublicKey(k.clientPublic, check) == crypto::kDerOk);
        return k;
    }();
    return keys;
}

}  // namespace qorv::fuzz
