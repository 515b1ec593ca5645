#include "host/registration.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "host/registration_files.h"

#ifndef QORV_CHROME_EXTENSION_IDS
#error "QORV_CHROME_EXTENSION_IDS must be defined by the build"
#endif
#ifndef QORV_FIREFOX_EXTENSION_ID
#error "QORV_FIREFOX_EXTENSION_ID must be defined by the build"
#endif

namespace qorv::host {
namespace {

std::vector<std::string> SplitAtCommas(std::string_view text) {
    std::vector<std::string> pieces;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        pieces.emplace_back(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return pieces;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return {};
}

// The settings with the home folder filled in and the root without a
// trailing "/" ("/" is the real file system); nothing when a per-user
// registration has no home to write to.
std::optional<RegistrationSettings> Resolve(const RegistrationSettings& requested,
                                            std::string* problem) {
    RegistrationSettings settings = requested;
    if (settings.home.empty()) settings.home = HomeFolder();
    settings.root = EffectiveRoot(settings.root);
    if (!requested.root.empty() && requested.root[0] != '/') {
        if (problem != nullptr) *problem = "the root " + requested.root + " is not absolute";
        return std::nullopt;
    }
    if (settings.scope == RegistrationScope::User &&
        (settings.home.empty() || settings.home[0] != '/')) {
        if (problem != nullptr) *problem = "no absolute home folder to register in";
        return std::nullopt;
    }
    return settings;
}

void Note(std::string* problem, const std::string& text) {
    if (problem != nullptr && problem->empty()) *problem = text;
}

// The path the manifests name, or empty when there is no host fit to name.
std::string CheckedHostPath(const RegistrationSettings& settings, std::string* problem) {
    const std::string& path = settings.hostPath;
    if (path.empty() || path[0] != '/') {
        Note(problem, "the host path \"" + path + "\" is not absolute");
        return {};
    }
    // Under a root the manifests go into a tree a package installs later.
    if (!settings.root.empty()) return path;
    std::array<char, PATH_MAX> canonical{};
    struct stat info {};
    if (realpath(path.c_str(), canonical.data()) == nullptr || stat(canonical.data(), &info) != 0 ||
        !S_ISREG(info.st_mode) || access(canonical.data(), X_OK) != 0) {
        Note(problem, path + " is not an executable host");
        return {};
    }
    // Every user's browser starts a system-wide host: only root may be able
    // to change it.
    if (settings.scope == RegistrationScope::System) {
        if (const std::string why = SystemHostProblem(canonical.data()); !why.empty()) {
            Note(problem, "a system-wide host must be root's alone: " + why);
            return {};
        }
    }
    return canonical.data();
}

}  // namespace

std::string EffectiveRoot(const std::string& root) {
    if (root.empty() || root[0] != '/') return root;
    std::array<char, PATH_MAX> canonical{};
    const std::string resolved = realpath(root.c_str(), canonical.data()) != nullptr
                                     ? std::string(canonical.data())
                                     : std::filesystem::path(root).lexically_normal().string();
    if (resolved == "/") return {};
    std::string trimmed = root;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::vector<ManifestLocation> ManifestLocations(RegistrationScope scope, const std::string& home) {
    std::vector<ManifestLocation> locations;
    for (const Browser& browser : KnownBrowsers()) {
        if (scope == RegistrationScope::User) {
            ManifestLocation location{browser.id,
                                      home + "/" + browser.userManifests,
                                      browser.kind,
                                      {home + "/" + browser.profile}};
            // The portal serves the snap from the unconfined browser's folder.
            if (browser.snapProfile != nullptr) {
                location.profiles.push_back(home + "/" + browser.snapProfile);
            }
            locations.push_back(std::move(location));
            continue;
        }
        const auto shared = std::find_if(locations.begin(), locations.end(), [&](const auto& l) {
            return l.directory == browser.systemManifests;
        });
        if (shared != locations.end()) {
            shared->browser += std::string(",") + browser.id;
        } else {
            locations.push_back({browser.id, browser.systemManifests, browser.kind, {}});
        }
    }
    return locations;
}

bool WritesInto(const RegistrationSettings& settings, const ManifestLocation& location) {
    if (location.profiles.empty()) return true;
    std::string root = settings.root;
    while (!root.empty() && root.back() == '/') root.pop_back();
    return std::any_of(location.profiles.begin(), location.profiles.end(), [&](const auto& p) {
        struct stat info {};
        return stat((root + p).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    });
}

RegistrationSettings DefaultRegistrationSettings() {
    RegistrationSettings settings;
    settings.scope = geteuid() == 0 ? RegistrationScope::System : RegistrationScope::User;
    settings.home = HomeFolder();
    settings.chromeExtensionIds = SplitAtCommas(QORV_CHROME_EXTENSION_IDS);
    settings.firefoxExtensionId = QORV_FIREFOX_EXTENSION_ID;
    return settings;
}

std::string ChromeOrigin(const std::string& id) {
    return "chrome-extension://" + id + "/";
}

std::string ManifestText(ManifestKind kind, const RegistrationSettings& settings) {
    nlohmann::json manifest = {
        {"name", kHostName},
        {"description", "QorvClientATM financial card control"},
        {"path", settings.hostPath},
        {"type", "stdio"},
    };
    if (kind == ManifestKind::Chromium) {
        nlohmann::json& origins = manifest["allowed_origins"] = nlohmann::json::array();
        for (const std::string& id : settings.chromeExtensionIds) {
            origins.push_back(ChromeOrigin(id));
        }
    } else {
        manifest["allowed_extensions"] = {settings.firefoxExtensionId};
    }
    return manifest.dump(2) + "\n";
}

std::string ManifestPath(const RegistrationSettings& settings, const ManifestLocation& location) {
    std::string root = settings.root;
    while (!root.empty() && root.back() == '/') root.pop_back();
    return root + location.directory + "/" + kHostName + ".json";
}

namespace {

// The folder of a location and the manifest's name in it.
std::string FolderOf(const RegistrationSettings& settings, const ManifestLocation& location) {
    return settings.root + location.directory;
}

std::string ManifestName() {
    return std::string(kHostName) + ".json";
}

}  // namespace

int32_t RegisterHost(const RegistrationSettings& requested, std::string* problem) {
    std::optional<RegistrationSettings> settings = Resolve(requested, problem);
    if (!settings) return kSelfRegClass;
    settings->hostPath = CheckedHostPath(*settings, problem);
    if (settings->hostPath.empty()) return kSelfRegTypeLib;
    int32_t result = kRegistrationOk;
    for (const ManifestLocation& location : ManifestLocations(settings->scope, settings->home)) {
        if (!WritesInto(*settings, location)) continue;
        std::string text;
        try {
            text = ManifestText(location.kind, *settings);
        } catch (const nlohmann::json::exception&) {
            // A host path that is not UTF-8 cannot be written into a manifest.
            Note(problem, "the host path is not UTF-8");
            return kSelfRegTypeLib;
        }
        std::string why;
        OpenedFolder folder = OpenFolder(FolderOf(*settings, location), settings->user, true);
        if (folder.status != FolderStatus::Open) {
            why = folder.problem;
        } else {
            ReplaceFile(folder.fd.Get(), ManifestName(), text, why);
        }
        if (!why.empty()) {
            Note(problem, why);
            if (result == kRegistrationOk) result = kSelfRegClass;
        }
    }
    return result;
}

int32_t UnregisterHost(const RegistrationSettings& requested, std::string* problem) {
    const std::optional<RegistrationSettings> settings = Resolve(requested, problem);
    if (!settings) return kSelfRegClass;
    int32_t result = kRegistrationOk;
    for (const ManifestLocation& location : ManifestLocations(settings->scope, settings->home)) {
        std::string why;
        OpenedFolder folder = OpenFolder(FolderOf(*settings, location), settings->user, false);
        if (folder.status == FolderStatus::Refused) {
            why = folder.problem;
        } else if (folder.status == FolderStatus::Open) {
            RemoveFile(folder.fd.Get(), ManifestName(), why);
        }
        if (!why.empty()) {
            Note(problem, why);
            if (result == kRegistrationOk) result = kSelfRegClass;
        }
    }
    return result;
}

}  // namespace qorv::host
