// Fuzz target: the DER key reader and the RSA operations. Key records come
// from the input (mutations of the development keys in the seed corpus) or
// are the built-in client key; every decryption the built-in key reports as
// a success is checked against a plain (non-CRT) exponentiation and by
// re-encryption with the public exponent, and every signature is verified.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/bignum_modexp.h"
#include "crypto/der.h"
#include "crypto/rsa.h"
#include "crypto/sha1.h"
#include "dev_keys.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using qorv::fuzz::FuzzInput;
using Bytes = std::vector<uint8_t>;
namespace crypto = qorv::crypto;

constexpr std::size_t kPaddingOverhead = 11;
constexpr std::array<uint8_t, 18> kMd5Info = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                              0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr std::array<uint8_t, 15> kSha1Info = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                               0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

bool IsZeroKey(const crypto::RsaPrivateKey& key) {
    return key.modulus.IsZero() && key.publicExponent.IsZero() && key.privateExponent.IsZero() &&
           key.prime1.IsZero() && key.prime2.IsZero() && key.exponent1.IsZero() &&
           key.exponent2.IsZero() && key.coefficient.IsZero();
}

// value ^ exponent mod modulus as k big-endian bytes.
bool Power(std::span<const uint8_t> value, const crypto::BigNum& exponent,
           const crypto::BigNum& modulus, Bytes& out) {
    crypto::BigNum base;
    crypto::BigNum result;
    if (!base.SetBytes(value) ||
        crypto::ModExp(base, exponent, modulus, result) != crypto::kModExpOk)
        return false;
    out.assign(modulus.ByteLength(), 0);
    return result.GetBytes(out);
}

// The message of a type-2 block as the module reads one: leading zero bytes,
// 02, padding up to the first zero byte, the message; at least 3 bytes before
// the message. Short padding is taken (the bank's blocks have always been
// read so), which is what the fuzzer found when this asked for 8 bytes.
bool Unpad(const Bytes& block, Bytes& message) {
    auto it = std::find_if(block.begin(), block.end(), [](uint8_t b) { return b != 0x00; });
    if (it == block.end() || *it != 0x02) return false;
    const auto separator = std::find(it + 1, block.end(), 0x00);
    if (separator == block.end() || separator + 1 - block.begin() < 3) return false;
    message.assign(separator + 1, block.end());
    return true;
}

void PublicKeyRecord(FuzzInput& in) {
    const Bytes message = in.Bytes(140);
    const Bytes der = in.RestBytes();
    crypto::RsaPublicKey key;
    if (crypto::ReadRsaPublicKey(der, key) != crypto::kDerOk) {
        FUZZ_CHECK(key.modulus.IsZero() && key.publicExponent.IsZero());
        return;
    }
    // The record written back reads as the same key.
    crypto::RsaPublicKey again;
    FUZZ_CHECK(crypto::ReadRsaPublicKey(qorv::fuzz::PublicKeyDer(key.modulus, key.publicExponent),
                                        again) == crypto::kDerOk);
    FUZZ_CHECK(crypto::Compare(key.modulus, again.modulus) == 0);
    FUZZ_CHECK(crypto::Compare(key.publicExponent, again.publicExponent) == 0);

    std::array<uint8_t, 256> out{};
    std::size_t outLength = 0;
    if (crypto::RsaPublicEncrypt(der, message, out, outLength) != crypto::kRsaOk) return;
    const std::size_t k = key.modulus.ByteLength();
    FUZZ_CHECK(outLength == k && message.size() + kPaddingOverhead <= k);
    crypto::BigNum cipher;
    FUZZ_CHECK(cipher.SetBytes(std::span(out.data(), outLength)));
    FUZZ_CHECK(crypto::Compare(cipher, key.modulus) < 0);
}

void PrivateKeyRecord(FuzzInput& in) {
    const Bytes cipher = in.Bytes(160);
    const Bytes data = in.Bytes(64);
    const bool digestGiven = in.Flag();
    const Bytes der = in.RestBytes();
    crypto::RsaPrivateKey key;
    if (crypto::ReadRsaPrivateKey(der, key) != crypto::kDerOk) {
        FUZZ_CHECK(IsZeroKey(key));
        return;
    }
    const std::size_t k = key.modulus.ByteLength();
    std::array<uint8_t, 256> out{};
    std::size_t outLength = 0;
    if (crypto::RsaPrivateDecrypt(der, cipher, out, outLength) == crypto::kRsaOk)
        FUZZ_CHECK(outLength + kPaddingOverhead <= k);

    // A signature reported as made verifies under the record's own public key.
    if (crypto::RsaSignDigest(der, digestGiven, crypto::kDigestSha1, data, out, outLength) !=
        crypto::kRsaOk)
        return;
    FUZZ_CHECK(outLength == k);
    Bytes block;
    FUZZ_CHECK(Power(std::span(out.data(), outLength), key.publicExponent, key.modulus, block));
    FUZZ_CHECK(block.size() == k && block[0] == 0x00 && block[1] == 0x01);
    uint8_t digest[20];
    if (digestGiven) {
        std::copy_n(data.begin(), 20, digest);
    } else {
        crypto::Sha1(data.data(), data.size(), digest);
    }
    FUZZ_CHECK(std::equal(digest, digest + 20, block.end() - 20));
}

// Any cipher text under the built-in client key: a success must be the
// message of c^d mod n, which must encrypt back to c; and a cipher text
// whose c^d mod n is a well-formed block must not be refused.
void DecryptWithClientKey(FuzzInput& in) {
    const auto& keys = qorv::fuzz::GetDevKeys();
    const Bytes cipher = in.RestBytes();
    std::array<uint8_t, 256> out{};
    std::size_t outLength = 0;
    const int32_t rc = crypto::RsaPrivateDecrypt(keys.clientPrivate, cipher, out, outLength);

    const crypto::BigNum& n = keys.client.modulus;
    crypto::BigNum c;
    // Leading zero bytes do not count: the value must lie below n.
    const bool inRange = c.SetBytes(cipher) && crypto::Compare(c, n) < 0;
    if (!inRange) {
        FUZZ_CHECK(rc != crypto::kRsaOk);
        return;
    }
    Bytes padded(n.ByteLength());
    FUZZ_CHECK(c.GetBytes(padded));
    Bytes block;
    FUZZ_CHECK(Power(padded, keys.client.privateExponent, n, block));
    Bytes reencrypted;
    FUZZ_CHECK(Power(block, keys.client.publicExponent, n, reencrypted));
    FUZZ_CHECK(reencrypted == padded);

    Bytes message;
    const bool wellFormed = Unpad(block, message);
    if (rc == crypto::kRsaOk) {
        FUZZ_CHECK(wellFormed);
        FUZZ_CHECK(outLength == message.size() &&
                   std::equal(message.begin(), message.end(), out.begin()));
    } else if (rc != crypto::kRsaBlockUnchanged) {  // a fixed point of c^d is refused whole
        FUZZ_CHECK(!wellFormed);
    }
}

// Encrypt under the client public key, decrypt with the private key.
void RoundTripWithClientKey(FuzzInput& in) {
    const auto& keys = qorv::fuzz::GetDevKeys();
    const Bytes message = in.RestBytes();
    const std::size_t k = keys.client.modulus.ByteLength();
    std::array<uint8_t, 256> cipher{};
    std::size_t cipherLength = 0;
    const int32_t rc = crypto::RsaPublicEncrypt(keys.clientPublic, message, cipher, cipherLength);
    if (message.size() + kPaddingOverhead > k) {
        FUZZ_CHECK(rc == crypto::kRsaMessageTooLong);
        return;
    }
    FUZZ_CHECK(rc == crypto::kRsaOk && cipherLength == k);
    std::array<uint8_t, 256> plain{};
    std::size_t plainLength = 0;
    FUZZ_CHECK(crypto::RsaPrivateDecrypt(keys.clientPrivate, std::span(cipher.data(), cipherLength),
                                         plain, plainLength) == crypto::kRsaOk);
    FUZZ_CHECK(plainLength == message.size() &&
               std::equal(message.begin(), message.end(), plain.begin()));
}

// Sign with the client key; verify with the public exponent.
void SignWithClientKey(FuzzInput& in) {
    const auto& keys = qorv::fuzz::GetDevKeys();
    const bool digestGiven = in.Flag();
    const int kind = static_cast<int>(in.Choice(3));
    const Bytes data = in.RestBytes();
    std::array<uint8_t, 256> out{};
    std::size_t outLength = 0;
    const int32_t rc =
        crypto::RsaSignDigest(keys.clientPrivate, digestGiven, kind, data, out, outLength);
    const std::size_t digestSize = kind == crypto::kDigestMd5 ? 16 : 20;
    const bool valid =
        (kind == crypto::kDigestSha1 || (kind == crypto::kDigestMd5 && digestGiven)) &&
        (!digestGiven || data.size() == digestSize);
    FUZZ_CHECK((rc == crypto::kRsaOk) == valid);
    if (!valid) return;

    const std::size_t k = keys.client.modulus.ByteLength();
    Bytes expected(k, 0xFF);
    expected[0] = 0x00;
    expected[1] = 0x01;
    const auto info = kind == crypto::kDigestMd5 ? std::span<const uint8_t>(kMd5Info)
                                                 : std::span<const uint8_t>(kSha1Info);
    const std::size_t infoStart = k - info.size() - digestSize;
    expected[infoStart - 1] = 0x00;
    std::copy(info.begin(), info.end(), expected.begin() + static_cast<std::ptrdiff_t>(infoStart));
    uint8_t* digest = expected.data() + k - digestSize;
    if (digestGiven) {
        std::copy(data.begin(), data.end(), digest);
    } else {
        crypto::Sha1(data.data(), data.size(), digest);
    }
    Bytes block;
    FUZZ_CHECK(outLength == k);
    FUZZ_CHECK(Power(std::span(out.data(), outLength), keys.client.publicExponent,
                     keys.client.modulus, block));
    FUZZ_CHECK(block == expected);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qorv::fuzz::GetDevKeys();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    switch (in.Choice(5)) {
        case 0:
            PublicKeyRecord(in);
            break;
        case 1:
            PrivateKeyRecord(in);
            break;
        case 2:
            DecryptWithClientKey(in);
            break;
        case 3:
            RoundTripWithClientKey(in);
            break;
        default:
            SignWithClientKey(in);
            break;
    }
    return 0;
}
