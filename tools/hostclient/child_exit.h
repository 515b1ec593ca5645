// Waiting for a child process of a tool or a test to end, shared by the host
// client, the test bed and the bank simulator's tests.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace qorv::hostclient {

// Waits up to `grace` for the child `pid` to end (on a pidfd, so without
// polling), then SIGKILLs and reaps it. The exit code when it exited, -1 when
// a signal ended it or it had to be killed.
int ReapChild(pid_t pid, std::chrono::milliseconds grace);

}  // namespace qorv::hostclient
