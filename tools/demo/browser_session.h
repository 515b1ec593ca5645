// qorv-demo's default: the demo bank's page in Chromium through the real
// extension and host, against the private pcscd and the simulated card, with
// the bank simulator serving the page and checking the transfer.
#pragma once

#include "tools/demo/demo_options.h"

namespace qorv::demo {

// 0 only when the bank accepted the page's transfer.
int RunBrowserSession(const DemoOptions& options);

}  // namespace qorv::demo
