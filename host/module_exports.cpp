// libqorvclientatm.so: the module's self-registration entries for installers
// and packaging scripts that load the module instead of running the host.
// They write the same manifests as `qorvclientatm-host --register`.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>

#include "host/registration.h"

#ifndef QORV_HOST_INSTALL_PATH
#error "QORV_HOST_INSTALL_PATH must be defined by the build"
#endif

#define QORV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using qorv::host::RegistrationScope;
using qorv::host::RegistrationSettings;

// The host installed beside this library wins (a build tree, a private
// prefix); otherwise the installed location.
std::string HostExecutable() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HostExecutable), &info) != 0 && info.dli_fname != nullptr) {
        std::array<char, PATH_MAX> library{};
        if (realpath(info.dli_fname, library.data()) != nullptr) {
            std::string beside = library.data();
            beside.resize(beside.rfind('/') + 1);
            beside += "qorvclientatm-host";
            if (access(beside.c_str(), X_OK) == 0) return beside;
        }
    }
    return QORV_HOST_INSTALL_PATH;
}

RegistrationSettings Settings(int systemWide, const char* root) {
    RegistrationSettings settings = qorv::host::DefaultRegistrationSettings();
    if (systemWide >= 0) {
        settings.scope = systemWide != 0 ? RegistrationScope::System : RegistrationScope::User;
    }
    if (root != nullptr) settings.root = root;
    settings.hostPath = HostExecutable();
    return settings;
}

// No exception may leave the module.
template <typename Fn>
int32_t Guarded(Fn&& fn) {
    try {
        return fn();
    } catch (...) {
        return qorv::host::kSelfRegClass;
    }
}

}  // namespace

// `systemWide`: 1 system-wide, 0 per user, -1 as suits the caller (root
// registers system-wide). `root` prefixes every path; null for none.
QORV_EXPORT int32_t QorvRegisterServer(int systemWide, const char* root) {
    return Guarded([&] { return qorv::host::RegisterHost(Settings(systemWide, root)); });
}

QORV_EXPORT int32_t QorvUnregisterServer(int systemWide, const char* root) {
    return Guarded([&] { return qorv::host::UnregisterHost(Settings(systemWide, root)); });
}

QORV_EXPORT int32_t DllRegisterServer(void) {
    return QorvRegisterServer(-1, nullptr);
}

QORV_EXPORT int32_t DllUnregisterServer(void) {
    return QorvUnregisterServer(-1, nullptr);
}
