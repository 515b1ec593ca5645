// Montgomery products of 8-limb numbers with the MULX/ADCX/ADOX extensions
// of x86-64 (BMI2 and ADX), chosen at run time when the processor has them.
#pragma once

#include <cstdint>

namespace qorv::crypto::detail {

// True when this processor runs the functions below; they must not be
// called otherwise (elsewhere than on x86-64 it is always false).
bool MontgomeryAdxAvailable();

// Tests and benchmarks turn the extension path off to compare it with the
// portable one; new Montgomery contexts follow the setting.
void SetMontgomeryAdxEnabled(bool enabled);
bool MontgomeryAdxEnabled();

// r = a b / R mod m, R = 2^512, for a, b below the odd 8-limb m; m0inv is
// -m^-1 mod 2^64. r may alias a or b.
void MontMulAdx8(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* m,
                 uint64_t m0inv);

}  // namespace qorv::crypto::detail
