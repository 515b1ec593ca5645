// qorv-demo --console: a whole session of a bank page with the component,
// the host driven over native messaging as a browser drives it, every call
// printed with its result.
#pragma once

#include "tools/demo/demo_options.h"

namespace qorv::demo {

int RunConsoleSession(const DemoOptions& options);

}  // namespace qorv::demo
