#include "host/registration.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#ifndef QORV_CHROME_EXTENSION_ID
#error "QORV_CHROME_EXTENSION_ID must be defined by the build"
#endif
#ifndef QORV_FIREFOX_EXTENSION_ID
#error "QORV_FIREFOX_EXTENSION_ID must be defined by the build"
#endif

namespace qorv::host {
namespace {

namespace fs = std::filesystem;

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return {};
}

// Writes next to the target and renames, so a browser never reads half a file.
bool WriteFileAtomically(const fs::path& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) return false;
    const fs::path temporary = path.string() + ".tmp-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::permissions(temporary,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    ec);
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

// The settings with the home folder filled in; nothing when a per-user
// registration has no home to write to.
std::optional<RegistrationSettings> Resolve(const RegistrationSettings& requested) {
    RegistrationSettings settings = requested;
    if (settings.home.empty()) settings.home = HomeFolder();
    if (settings.scope == RegistrationScope::User && settings.home.empty()) return std::nullopt;
    return settings;
}

}  // namespace

std::vector<ManifestLocation> ManifestLocations(RegistrationScope scope, const std::string& home) {
    if (scope == RegistrationScope::System) {
        return {{"chromium", "/etc/chromium/native-messaging-hosts", ManifestKind::Chromium},
                {"google-chrome", "/etc/opt/chrome/native-messaging-hosts", ManifestKind::Chromium},
                {"firefox", "/usr/lib/mozilla/native-messaging-hosts", ManifestKind::Firefox}};
    }
    return {{"chromium", home + "/.config/chromium/NativeMessagingHosts", ManifestKind::Chromium},
            {"google-chrome", home + "/.config/google-chrome/NativeMessagingHosts",
             ManifestKind::Chromium},
            {"firefox", home + "/.mozilla/native-messaging-hosts", ManifestKind::Firefox}};
}

RegistrationSettings DefaultRegistrationSettings() {
    RegistrationSettings settings;
    settings.scope = geteuid() == 0 ? RegistrationScope::System : RegistrationScope::User;
    settings.home = HomeFolder();
    settings.chromeExtensionId = QORV_CHROME_EXTENSION_ID;
    settings.firefoxExtensionId = QORV_FIREFOX_EXTENSION_ID;
    return settings;
}

std::string ManifestText(ManifestKind kind, const RegistrationSettings& settings) {
    nlohmann::json manifest = {
        {"name", kHostName},
        {"description", "QorvClientATM financial card control"},
        {"path", settings.hostPath},
        {"type", "stdio"},
    };
    if (kind == ManifestKind::Chromium) {
        manifest["allowed_origins"] = {"chrome-extension://" + settings.chromeExtensionId + "/"};
    } else {
        manifest["allowed_extensions"] = {settings.firefoxExtensionId};
    }
    return manifest.dump(2) + "\n";
}

std::string ManifestPath(const RegistrationSettings& settings, const ManifestLocation& location) {
    return settings.root + location.directory + "/" + kHostName + ".json";
}

int32_t RegisterHost(const RegistrationSettings& requested) {
    if (requested.hostPath.empty() || requested.hostPath[0] != '/' ||
        access(requested.hostPath.c_str(), X_OK) != 0) {
        return kSelfRegTypeLib;
    }
    const std::optional<RegistrationSettings> settings = Resolve(requested);
    if (!settings) return kSelfRegClass;
    int32_t result = kRegistrationOk;
    for (const ManifestLocation& location : ManifestLocations(settings->scope, settings->home)) {
        std::string text;
        try {
            text = ManifestText(location.kind, *settings);
        } catch (const nlohmann::json::exception&) {
            // A host path that is not UTF-8 cannot be written into a manifest.
            return kSelfRegTypeLib;
        }
        if (!WriteFileAtomically(ManifestPath(*settings, location), text) &&
            result == kRegistrationOk) {
            result = kSelfRegClass;
        }
    }
    return result;
}

int32_t UnregisterHost(const RegistrationSettings& requested) {
    const std::optional<RegistrationSettings> settings = Resolve(requested);
    if (!settings) return kSelfRegClass;
    int32_t result = kRegistrationOk;
    for (const ManifestLocation& location : ManifestLocations(settings->scope, settings->home)) {
        const std::string path = ManifestPath(*settings, location);
        if (std::remove(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR &&
            result == kRegistrationOk) {
            result = kSelfRegClass;
        }
    }
    return result;
}

}  // namespace qorv::host
