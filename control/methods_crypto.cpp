// Dispatch entries of the session establishment and cipher methods.
#include "control/method_builders.h"

namespace qorv::control {

void AddCryptoMethods(DispatchTable& /*table*/) {}

}  // namespace qorv::control
