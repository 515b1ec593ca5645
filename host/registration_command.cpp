#include "host/registration_command.h"

#include <limits.h>
#include <stdlib.h>

#include <array>
#include <cinttypes>

#include "host/registration.h"

namespace qorv::host {
namespace {

// The manifests name this very executable.
std::string OwnExecutable() {
    std::array<char, PATH_MAX> path{};
    if (realpath("/proc/self/exe", path.data()) == nullptr) return {};
    return path.data();
}

}  // namespace

bool IsRegistrationCommand(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "--register" || args[0] == "--unregister");
}

int RunRegistrationCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const bool registering = args.at(0) == "--register";
    RegistrationSettings settings = DefaultRegistrationSettings();
    settings.hostPath = OwnExecutable();
    bool scopeGiven = false;
    bool rootGiven = false;
    bool hostGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const bool absoluteValue =
            i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] == '/';
        if ((args[i] == "--user" || args[i] == "--system") && !scopeGiven) {
            settings.scope =
                args[i] == "--user" ? RegistrationScope::User : RegistrationScope::System;
            scopeGiven = true;
        } else if (args[i] == "--root" && absoluteValue && !rootGiven) {
            settings.root = args[++i];
            rootGiven = true;
        } else if (args[i] == "--host-path" && absoluteValue && !hostGiven && registering) {
            settings.hostPath = args[++i];
            hostGiven = true;
        } else {
            std::fprintf(err,
                         "qorvclientatm-host: unexpected %s (--root and --host-path need an "
                         "absolute path)\n",
                         args[i].c_str());
            return 2;
        }
    }
    settings.root = EffectiveRoot(settings.root);

    std::string problem;
    const int32_t result =
        registering ? RegisterHost(settings, &problem) : UnregisterHost(settings, &problem);
    const char* what = registering ? "register" : "unregister";
    if (result != kRegistrationOk) {
        std::fprintf(err, "qorvclientatm-host: %s failed: 0x%08" PRIX32 "%s%s\n", what,
                     static_cast<uint32_t>(result), problem.empty() ? "" : ": ", problem.c_str());
        return 1;
    }
    int written = 0;
    for (const ManifestLocation& location : ManifestLocations(settings.scope, settings.home)) {
        if (registering && !WritesInto(settings, location)) {
            std::fprintf(out,
                         "skipped %s: no profile in %s (start the browser once, then register "
                         "again)\n",
                         location.browser.c_str(), location.profiles.front().c_str());
            continue;
        }
        ++written;
        std::fprintf(out, "%s %s\n", registering ? "wrote" : "removed",
                     ManifestPath(settings, location).c_str());
    }
    // A registration that reached no browser has made the host reachable
    // from nowhere: that is no success.
    if (registering && written == 0) {
        std::fprintf(err, "qorvclientatm-host: no browser profile found in %s\n",
                     settings.home.c_str());
        return 1;
    }
    return 0;
}

}  // namespace qorv::host
