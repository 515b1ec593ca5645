// Whether something listens on a Unix socket: a display server, pcscd.
#pragma once

#include <string>

namespace qorv {

// True when a stream connect to the socket at `path` succeeds (the
// connection is closed at once); false for an empty or too long path.
bool UnixSocketAccepts(const std::string& path);

}  // namespace qorv
