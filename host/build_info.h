// What this host was built as: its module version and whether it trusts the
// repository's development extension and keys instead of a bank's.
#pragma once

#include <cstdio>

namespace qorv::host {

// True when the build trusts the development extension IDs and keys/dev.
bool IsDevelopmentBuild();

// --version: the module version, what the build trusts, and whether it has
// the test hooks.
void PrintVersion(std::FILE* out);

// Said once on standard error when a development build starts serving, so a
// development host installed by mistake shows up in the browser's log.
void WarnIfDevelopmentBuild(std::FILE* err);

}  // namespace qorv::host
