// Starts pcscd in a mount namespace of its own, so that its socket folder
// /run/pcscd is a private folder and its USB driver folder is empty: the
// private pcscd never meets a system pcscd nor a real reader.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace qorv::testbed {

struct PcscdLaunch {
    std::string pcscdPath;        // the pcscd program
    std::string runFolder;        // bind-mounted on /run/pcscd: receives pcscd.comm
    std::string emptyFolder;      // bind-mounted on the USB driver folder
    std::string usbDriverFolder;  // hidden when it exists
    std::string configFile;       // reader configuration, absolute path (pcscd -c)
    std::string logFile;          // pcscd's output (foreground mode)
};

// Forks and execs pcscd -f -c CONFIG; returns its PID, or -1 with *error set
// (for example when the namespace or the mount is not permitted).
pid_t LaunchPrivatePcscd(const PcscdLaunch& launch, std::string* error);

// SIGTERM, then SIGKILL after the grace time; always reaps the process, since
// a zombie pcscd would block the next start.
void StopProcess(pid_t pid, std::chrono::milliseconds grace);

// True when this process may create mount namespaces and mount (root, and not
// forbidden by the container); *why says what is missing.
bool PrivateNamespacesAvailable(std::string* why);

}  // namespace qorv::testbed
