// Dispatch entries of the card data, PIN and transaction methods.
#include "control/method_builders.h"

namespace qorv::control {

void AddCardMethods(DispatchTable& /*table*/) {}

}  // namespace qorv::control
