// Ctrl-C, SIGTERM and SIGHUP end the demo in order rather than killing it:
// the handler only notes the signal, and the demo's waits look at it, stop
// their children and let every destructor run.
#pragma once

#include <chrono>

namespace qorv::demo {

void InstallStopSignals();
// The signal that asked the demo to stop, or 0.
int StopSignal();
// Sleeps up to `duration`; a stop signal ends the sleep early.
void SleepUnlessStopped(std::chrono::milliseconds duration);

}  // namespace qorv::demo
