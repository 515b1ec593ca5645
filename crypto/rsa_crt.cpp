#include "crypto/rsa_crt.h"

#include "crypto/bignum_modexp.h"
#include "crypto/bignum_montgomery.h"

namespace qorv::crypto {
namespace {

using detail::Montgomery;

// value mod prime, copying when it is already below.
bool Reduce(const BigNum& value, const BigNum& prime, BigNum& reduced) {
    if (Compare(value, prime) < 0) {
        reduced = value;
        return true;
    }
    return Mod(value, prime, reduced);
}

// coefficient x other = 1 modulo the prime of mont.
bool InvertsModulo(const Montgomery& mont, const BigNum& prime, const BigNum& coefficient,
                   const BigNum& other) {
    BigNum reducedCoefficient, reducedOther, product, one;
    one.SetWord(1);
    if (!Reduce(coefficient, prime, reducedCoefficient) || !Reduce(other, prime, reducedOther)) {
        return false;
    }
    mont.MulModulo(reducedCoefficient, reducedOther, product);
    return Compare(product, one) == 0;
}

}  // namespace

int32_t RsaCrtExponentiate(const RsaPrivateKey& key, const BigNum& input, BigNum& result) {
    if (!key.prime1.IsOdd() || !key.prime2.IsOdd() || Compare(input, key.modulus) >= 0) {
        return kModExpFailed;
    }
    const Montgomery mont1(key.prime1);
    const Montgomery mont2(key.prime2);
    // Which prime plays p: the one the coefficient inverts the other modulo.
    const bool swapped = !InvertsModulo(mont1, key.prime1, key.coefficient, key.prime2) &&
                         InvertsModulo(mont2, key.prime2, key.coefficient, key.prime1);
    const Montgomery& montP = swapped ? mont2 : mont1;
    const Montgomery& montQ = swapped ? mont1 : mont2;
    const BigNum& p = swapped ? key.prime2 : key.prime1;
    const BigNum& q = swapped ? key.prime1 : key.prime2;
    const BigNum& dP = swapped ? key.exponent2 : key.exponent1;
    const BigNum& dQ = swapped ? key.exponent1 : key.exponent2;

    BigNum m1, m2, m2ModP, coefficient, diff, h, hq, block;
    // An input below n = p q is below p R and q R, so the exponentiations
    // reduce it themselves; a larger one (a key whose n is not p q) by division.
    if (detail::ModExpPairWith(montP, input, dP, m1, montQ, input, dQ, m2) != kModExpOk) {
        BigNum reducedP, reducedQ;
        if (!Mod(input, p, reducedP) || !Mod(input, q, reducedQ) ||
            detail::ModExpPairWith(montP, reducedP, dP, m1, montQ, reducedQ, dQ, m2) != kModExpOk) {
            return kModExpFailed;
        }
    }

    // (m1 - m2) mod p, whichever of p and q is the larger.
    if (!Reduce(m2, p, m2ModP)) return kModExpFailed;
    if (Compare(m1, m2ModP) >= 0) {
        Subtract(m1, m2ModP, diff);
    } else {
        BigNum sum;
        if (!Add(m1, p, sum)) return kModExpFailed;
        Subtract(sum, m2ModP, diff);
    }
    if (!Reduce(key.coefficient, p, coefficient)) return kModExpFailed;
    montP.MulModulo(coefficient, diff, h);
    if (!Multiply(h, q, hq) || !Add(hq, m2, block)) return kModExpFailed;
    result = block;
    return kModExpOk;
}

}  // namespace qorv::crypto
