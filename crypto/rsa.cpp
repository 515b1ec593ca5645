#include "crypto/rsa.h"

#include <algorithm>
#include <array>

#include "base/secure_wipe.h"
#include "crypto/bignum.h"
#include "crypto/bignum_modexp.h"
#include "crypto/der.h"
#include "crypto/random.h"
#include "crypto/rsa_crt.h"
#include "crypto/sha1.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kMinPaddingBytes = 8;
constexpr std::size_t kPaddingOverhead = 3;  // 00, block type, 00 separator

// DigestInfo prefixes of PKCS#1 (RFC 3447, section 9.2).
constexpr std::array<uint8_t, 18> kMd5Prefix = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08,
                                                0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                                                0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr std::array<uint8_t, 15> kSha1Prefix = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                                 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
constexpr std::size_t kMd5DigestSize = 16;

using Block = SecretBytes<BigNum::kCapacityBytes>;

// block ^ exponent mod modulus into k big-endian bytes, with the checks that
// the exponentiation worked and did not hand back its input.
int32_t ExponentiateBlock(const BigNum& block, const BigNum& result, std::span<uint8_t> out,
                          std::size_t k, std::size_t& outLength) {
    if (Compare(result, block) == 0) return kRsaBlockUnchanged;
    if (!result.GetBytes(out.first(k))) return kRsaExponentiationFailed;
    outLength = k;
    return kRsaOk;
}

// Finds the message in a type-2 block: leading zeros, 02, non-zero padding,
// a zero separator, the message. At least 3 bytes precede the message.
bool LocateType2Message(const uint8_t* block, std::size_t k, std::size_t& offset) {
    std::size_t i = 0;
    while (i < k && block[i] == 0) ++i;
    if (i >= k || block[i] != 0x02) return false;
    ++i;
    while (i < k && block[i] != 0) ++i;
    if (i >= k) return false;  // no separator
    ++i;
    if (i < kPaddingOverhead) return false;
    offset = i;
    return true;
}

// result ^ e mod n == input: the result of a private-key operation is right.
bool PublicExponentRestores(const RsaPrivateKey& key, const BigNum& result, const BigNum& input) {
    BigNum recovered;
    return ModExpPublic(result, key.publicExponent, key.modulus, recovered) == kModExpOk &&
           Compare(recovered, input) == 0;
}

int32_t ReadPrivateKey(std::span<const uint8_t> der, RsaPrivateKey& key, std::size_t& k) {
    const int32_t rc = ReadRsaPrivateKey(der, key);
    if (rc != kDerOk) return rc;
    if (Compare(key.prime1, key.prime2) == 0) return kRsaPrimesEqual;
    k = key.modulus.ByteLength();
    if (k == 0) return kRsaExponentiationFailed;
    return kRsaOk;
}

}  // namespace

int32_t RsaPublicEncrypt(std::span<const uint8_t> publicKeyDer, std::span<const uint8_t> message,
                         std::span<uint8_t> out, std::size_t& outLength) {
    if (publicKeyDer.data() == nullptr || (message.data() == nullptr && !message.empty())) {
        return kRsaArgumentMissing;
    }
    RsaPublicKey key;
    const int32_t rc = ReadRsaPublicKey(publicKeyDer, key);
    if (rc != kDerOk) return rc;
    const std::size_t k = key.modulus.ByteLength();
    if (k == 0) return kRsaExponentiationFailed;
    if (out.size() < k) return kRsaArgumentMissing;
    if (message.size() + 11 > k) return kRsaMessageTooLong;
    const std::size_t paddingBytes = k - kPaddingOverhead - message.size();
    if (paddingBytes < kMinPaddingBytes) return kRsaPaddingTooShort;

    Block encoded;
    encoded[0] = 0x00;
    encoded[1] = 0x02;
    RandomPaddingBytes(encoded.data() + 2, paddingBytes);  // odd parity, never zero
    encoded[2 + paddingBytes] = 0x00;
    std::copy(message.begin(), message.end(), encoded.data() + 3 + paddingBytes);

    BigNum block, cipher;
    block.SetBytes(std::span<const uint8_t>(encoded.data(), k));
    if (ModExpPublic(block, key.publicExponent, key.modulus, cipher) != kModExpOk) {
        return kRsaExponentiationFailed;
    }
    return ExponentiateBlock(block, cipher, out, k, outLength);
}

int32_t RsaPrivateDecrypt(std::span<const uint8_t> privateKeyDer, std::span<const uint8_t> cipher,
                          std::span<uint8_t> out, std::size_t& outLength) {
    if (privateKeyDer.data() == nullptr || cipher.data() == nullptr) return kRsaArgumentMissing;
    RsaPrivateKey key;
    std::size_t k = 0;
    int32_t rc = ReadPrivateKey(privateKeyDer, key, k);
    if (rc != kRsaOk) return rc;

    BigNum input, plain;
    if (!input.SetBytes(cipher)) return kRsaExponentiationFailed;
    // The result is checked with the public exponent before it is unpadded,
    // as a signature is: a faulty recombination (a damaged key component, a
    // fault during the computation) gives a value right modulo one prime
    // only, which may still look like a block.
    Block decoded;
    rc = RsaCrtExponentiate(key, input, plain);
    if (rc != kModExpOk || !PublicExponentRestores(key, plain, input) ||
        !plain.GetBytes(std::span<uint8_t>(decoded.data(), k))) {
        return kRsaExponentiationFailed;
    }
    std::size_t offset = 0;
    if (!LocateType2Message(decoded.data(), k, offset)) return kRsaBadBlock;
    const std::size_t length = k - offset;
    if (out.size() < length || (out.data() == nullptr && length != 0)) return kRsaArgumentMissing;
    std::copy_n(decoded.data() + offset, length, out.data());
    outLength = length;
    return kRsaOk;
}

int32_t RsaSignDigest(std::span<const uint8_t> privateKeyDer, bool digestGiven, int digestKind,
                      std::span<const uint8_t> data, std::span<uint8_t> out,
                      std::size_t& outLength) {
    if (privateKeyDer.data() == nullptr || (data.data() == nullptr && !data.empty())) {
        return kRsaArgumentMissing;
    }
    if (digestKind != kDigestMd5 && digestKind != kDigestSha1) return kRsaDigestKind;
    if (!digestGiven && digestKind == kDigestMd5) return kRsaDigestKind;
    const std::span<const uint8_t> prefix = digestKind == kDigestMd5
                                                ? std::span<const uint8_t>(kMd5Prefix)
                                                : std::span<const uint8_t>(kSha1Prefix);
    const std::size_t digestSize = digestKind == kDigestMd5 ? kMd5DigestSize : kSha1DigestSize;
    if (digestGiven && data.size() != digestSize) return kRsaDigestLength;

    RsaPrivateKey key;
    std::size_t k = 0;
    int32_t rc = ReadPrivateKey(privateKeyDer, key, k);
    if (rc != kRsaOk) return rc;
    if (out.size() < k) return kRsaArgumentMissing;
    const std::size_t infoSize = prefix.size() + digestSize;
    if (k < kPaddingOverhead + infoSize + kMinPaddingBytes) return kRsaPaddingTooShort;

    Block encoded;
    const std::size_t ffBytes = k - kPaddingOverhead - infoSize;
    encoded[0] = 0x00;
    encoded[1] = 0x01;
    std::fill_n(encoded.data() + 2, ffBytes, 0xFF);
    encoded[2 + ffBytes] = 0x00;
    uint8_t* info = encoded.data() + 3 + ffBytes;
    std::copy(prefix.begin(), prefix.end(), info);
    if (digestGiven) {
        std::copy(data.begin(), data.end(), info + prefix.size());
    } else {
        Sha1(data.data(), data.size(), info + prefix.size());
    }

    BigNum block, signature;
    block.SetBytes(std::span<const uint8_t>(encoded.data(), k));
    // A signature is checked with the public exponent before it leaves: a
    // faulty CRT signature would hand out a useless signature and reveal the
    // factors of the modulus.
    if (RsaCrtExponentiate(key, block, signature) != kModExpOk ||
        !PublicExponentRestores(key, signature, block)) {
        return kRsaExponentiationFailed;
    }
    return ExponentiateBlock(block, signature, out, k, outLength);
}

}  // namespace qorv::crypto
