// Registration of the host with the browsers: the native-messaging host
// manifests of the Chromium family (Chromium, Google Chrome, Microsoft Edge,
// Brave, Vivaldi, Opera) and Firefox, per user or system-wide.
// Writing them is what makes the component reachable from pages (through the
// extension); removing them makes it unreachable again.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/browsers.h"

namespace qorv::host {

// The name browsers know the host by (connectNative's argument).
inline constexpr const char* kHostName = "qorvclientatm.qorvclientatmctrl.1";

// Self-registration results.
inline constexpr int32_t kRegistrationOk = 0;
// The host executable that serves the scripting interface was not found, so
// there is nothing a manifest could point at; or, system-wide, it is one that
// someone other than root could change.
inline constexpr int32_t kSelfRegTypeLib = static_cast<int32_t>(0x80040200);
// A manifest could not be written or removed, or its folder is one another
// user could change (then nothing is written into it).
inline constexpr int32_t kSelfRegClass = static_cast<int32_t>(0x80040201);

enum class RegistrationScope { User, System };

struct ManifestLocation {
    std::string
        browser;  // "chromium", "google-chrome", ...; browsers sharing a folder joined by ","
    std::string directory;  // absolute, without the root prefix
    ManifestKind kind;
    // Per user: the browser's profile folders (absolute, without the root
    // prefix); its manifest is written only when one of them is there.
    // Empty system-wide, where every folder is written.
    std::vector<std::string> profiles;
};

// Where each browser looks for host manifests: per user one folder per
// browser, system-wide each shared folder once. `home` is used for User only.
std::vector<ManifestLocation> ManifestLocations(RegistrationScope scope, const std::string& home);

struct RegistrationSettings {
    RegistrationScope scope = RegistrationScope::User;
    // Prefix of every path written or removed; empty for the real file system.
    std::string root;
    // The user's home folder for User; taken from the environment when empty.
    std::string home;
    // Absolute path of qorvclientatm-host as the manifests name it. Written
    // into the real file system (no root), it must exist and is named by its
    // canonical path; system-wide it must also belong to root, as must every
    // folder up to "/". Under a root (packaging) it is the installed path and
    // is not looked for.
    std::string hostPath;
    // The user the registration runs for: every folder written into belongs
    // to root or to this user.
    uid_t user = geteuid();
    // The only extensions allowed to start the host: the Chromium family's
    // (one per store that assigns its own ID), Firefox's.
    std::vector<std::string> chromeExtensionIds;  // each 32 letters a-p
    std::string firefoxExtensionId;               // gecko id, e.g. "qorvclientatm@qorv.example"
};

// The settings of this build: extension IDs of the deployment, the caller's
// home and the scope that suits the caller (system-wide for root).
RegistrationSettings DefaultRegistrationSettings();

// "chrome-extension://<id>/", as Chromium browsers name a caller.
std::string ChromeOrigin(const std::string& id);

// The manifest text for one browser family.
std::string ManifestText(ManifestKind kind, const RegistrationSettings& settings);

// Writes every manifest (each replaced atomically). All browsers are tried;
// the result is the first failure, or 0. `problem` receives the first
// failure's reason, for people.
int32_t RegisterHost(const RegistrationSettings& settings, std::string* problem = nullptr);

// Removes every manifest; a missing manifest is not a failure.
int32_t UnregisterHost(const RegistrationSettings& settings, std::string* problem = nullptr);

// The root prefix as registration applies it: without trailing "/", and empty
// when the folder resolves to "/" ("/.", "//", "/usr/..", a link to "/"), so
// that a disguised "/" gets every check of the real file system. A root that
// does not exist yet (a staging tree) is resolved by its text.
std::string EffectiveRoot(const std::string& root);

// The manifest file of a location, with the root prefix applied.
std::string ManifestPath(const RegistrationSettings& settings, const ManifestLocation& location);

// Whether a registration writes into the location: system-wide always, per
// user only for a browser one of whose profile folders exists.
bool WritesInto(const RegistrationSettings& settings, const ManifestLocation& location);

}  // namespace qorv::host
