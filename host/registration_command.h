// The host's registration commands:
//   qorvclientatm-host --register   [--user|--system] [--root DIR] [--host-path PATH]
//   qorvclientatm-host --unregister [--user|--system] [--root DIR]
// Without a scope, root registers system-wide and everyone else per user.
// --root prefixes every path (packaging and tests). --host-path names the
// host in the manifests instead of this executable: the installed path when
// a package is staged under --root (it need not exist there yet).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qorv::host {

bool IsRegistrationCommand(const std::vector<std::string>& args);

// Runs the command and returns the exit code: 0 on success, 1 when the
// registration failed (its result code is printed), 2 for a bad command line.
int RunRegistrationCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace qorv::host
