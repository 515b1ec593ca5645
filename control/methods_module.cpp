// Dispatch entries of the module version and driver information methods.
#include "control/method_builders.h"

namespace qorv::control {

void AddModuleMethods(DispatchTable& /*table*/) {}

}  // namespace qorv::control
