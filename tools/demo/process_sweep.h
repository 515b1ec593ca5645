// A last resort after the browser driver has ended: should it have died
// without closing Chromium, the browser would outlive the demo. Every
// process whose command line names the demo's browser profile folder (only
// Chromium and its helpers use it) is ended.
#pragma once

#include <string>

namespace qorv::demo {

// SIGKILLs every other process whose command line contains `marker`; how many.
int EndProcessesMentioning(const std::string& marker);

}  // namespace qorv::demo
