// Registration of the host with the browsers: the native-messaging host
// manifests of Chromium, Google Chrome and Firefox, per user or system-wide.
// Writing them is what makes the component reachable from pages (through the
// extension); removing them makes it unreachable again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorv::host {

// The name browsers know the host by (connectNative's argument).
inline constexpr const char* kHostName = "qorvclientatm.qorvclientatmctrl.1";

// Self-registration results.
inline constexpr int32_t kRegistrationOk = 0;
// The host executable that serves the scripting interface was not found, so
// there is nothing a manifest could point at.
inline constexpr int32_t kSelfRegTypeLib = static_cast<int32_t>(0x80040200);
// A manifest could not be written or removed.
inline constexpr int32_t kSelfRegClass = static_cast<int32_t>(0x80040201);

enum class RegistrationScope { User, System };

enum class ManifestKind { Chromium, Firefox };

struct ManifestLocation {
    std::string browser;    // "chromium", "google-chrome", "firefox"
    std::string directory;  // absolute, without the root prefix
    ManifestKind kind;
};

// Where each browser looks for host manifests. `home` is used for User only.
std::vector<ManifestLocation> ManifestLocations(RegistrationScope scope, const std::string& home);

struct RegistrationSettings {
    RegistrationScope scope = RegistrationScope::User;
    // Prefix of every path written or removed; empty for the real file system.
    std::string root;
    // The user's home folder for User; taken from the environment when empty.
    std::string home;
    // Absolute path of qorvclientatm-host as the manifests name it.
    std::string hostPath;
    // The only extensions allowed to start the host.
    std::string chromeExtensionId;   // 32 letters a-p
    std::string firefoxExtensionId;  // gecko id, e.g. "qorvclientatm@qorv.example"
};

// The settings of this build: extension IDs of the deployment, the caller's
// home and the scope that suits the caller (system-wide for root).
RegistrationSettings DefaultRegistrationSettings();

// The manifest text for one browser family.
std::string ManifestText(ManifestKind kind, const RegistrationSettings& settings);

// Writes every manifest (each replaced atomically). All browsers are tried;
// the result is the first failure, or 0.
int32_t RegisterHost(const RegistrationSettings& settings);

// Removes every manifest; a missing manifest is not a failure.
int32_t UnregisterHost(const RegistrationSettings& settings);

// The manifest file of a location, with the root prefix applied.
std::string ManifestPath(const RegistrationSettings& settings, const ManifestLocation& location);

}  // namespace qorv::host
