// The browsers a customer may use, and where each one looks for host
// manifests. Registration writes into these folders; the self-check reads
// them to say which browser can reach the host.
#pragma once

#include <string>
#include <vector>

namespace qorv::host {

// A manifest names its allowed callers differently in the two families.
enum class ManifestKind { Chromium, Firefox };

struct Browser {
    const char* id;    // "chromium", "google-chrome", ...
    const char* name;  // for people: "Google Chrome"
    ManifestKind kind;
    // The profile folder, below the home folder: a per-user registration
    // writes only for browsers whose profile is there (the browser ran once).
    const char* profile;
    // The user's manifest folder, below the home folder.
    const char* userManifests;
    // The folder read for every user. Browsers built from Chromium without
    // Google's branding share Chromium's; Brave and Opera read Chrome's.
    const char* systemManifests;
    // Where the browser's own (not sandboxed) packages put its program.
    std::vector<const char*> programs;
    // The sandboxed packages of the same browser: they cannot start a host
    // from these folders.
    const char* snap;     // snap name, or nullptr
    const char* flatpak;  // Flatpak application id, or nullptr
    // The .deb to install instead of a sandboxed package.
    const char* debianPackage;
    // Whether the snap reaches hosts through the desktop's WebExtensions
    // portal, which reads the manifests of the unconfined browser's folders.
    bool snapUsesPortal;
    // The snap's profile, below the home folder (nullptr without a snap that
    // uses the portal): a per-user registration writes for it too.
    const char* snapProfile;
};

// Every browser the product supports, Chromium first.
const std::vector<Browser>& KnownBrowsers();

// The distinct system-wide manifest folders of `browsers`, in table order.
std::vector<std::string> SystemManifestFolders();

}  // namespace qorv::host
