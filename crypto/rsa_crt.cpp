#include "crypto/rsa_crt.h"

#include "crypto/bignum_modexp.h"

namespace qorv::crypto {
namespace {

// coefficient x prime = 1 modulo other.
bool InvertsModulo(const BigNum& coefficient, const BigNum& prime, const BigNum& other) {
    BigNum reducedCoefficient, reducedPrime, product, one;
    one.SetWord(1);
    return Mod(coefficient, other, reducedCoefficient) && Mod(prime, other, reducedPrime) &&
           ModMul(reducedCoefficient, reducedPrime, other, product) && Compare(product, one) == 0;
}

}  // namespace

CrtRoles CrtRolesOf(const RsaPrivateKey& key) {
    if (InvertsModulo(key.coefficient, key.prime2, key.prime1)) return CrtRoles::kAsStored;
    if (InvertsModulo(key.coefficient, key.prime1, key.prime2)) return CrtRoles::kSwapped;
    return CrtRoles::kAsStored;
}

int32_t RsaCrtExponentiate(const RsaPrivateKey& key, const BigNum& input, CrtRoles roles,
                           BigNum& result) {
    const bool swapped = roles == CrtRoles::kSwapped;
    const BigNum& p = swapped ? key.prime2 : key.prime1;
    const BigNum& q = swapped ? key.prime1 : key.prime2;
    const BigNum& dP = swapped ? key.exponent2 : key.exponent1;
    const BigNum& dQ = swapped ? key.exponent1 : key.exponent2;
    if (p.IsZero() || q.IsZero() || Compare(input, key.modulus) >= 0) return kModExpFailed;

    BigNum reduced, m1, m2, m2ModP, coefficient, diff, h, hq, block;
    if (!Mod(input, p, reduced) || ModExp(reduced, dP, p, m1) != kModExpOk) return kModExpFailed;
    if (!Mod(input, q, reduced) || ModExp(reduced, dQ, q, m2) != kModExpOk) return kModExpFailed;

    // (m1 - m2) mod p, whichever of p and q is the larger.
    if (!Mod(m2, p, m2ModP)) return kModExpFailed;
    if (Compare(m1, m2ModP) >= 0) {
        Subtract(m1, m2ModP, diff);
    } else {
        BigNum sum;
        if (!Add(m1, p, sum)) return kModExpFailed;
        Subtract(sum, m2ModP, diff);
    }
    if (!Mod(key.coefficient, p, coefficient) || !ModMul(coefficient, diff, p, h)) {
        return kModExpFailed;
    }
    if (!Multiply(h, q, hq) || !Add(hq, m2, block)) return kModExpFailed;
    result = block;
    return kModExpOk;
}

}  // namespace qorv::crypto
