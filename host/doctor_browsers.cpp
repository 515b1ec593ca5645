// Each installed browser, whether it can start the host (its manifest is in
// place and names this host and this build's extension), and the sandboxed
// (Snap, Flatpak) browsers that cannot start it from these folders.
#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "host/browsers.h"
#include "host/doctor_checks.h"
#include "host/registration.h"

namespace qorv::host {
namespace {

enum class ManifestState { Missing, OtherHost, OtherExtension, Good };

ManifestState ReadManifest(const Machine& machine, const std::string& folder, ManifestKind kind) {
    std::ifstream in(machine.Path(folder + "/" + kHostName + ".json"));
    if (!in) return ManifestState::Missing;
    const nlohmann::json manifest = nlohmann::json::parse(in, nullptr, false);
    if (!manifest.is_object() || manifest.value("name", "") != kHostName ||
        manifest.value("type", "") != "stdio") {
        return ManifestState::OtherHost;
    }
    if (!manifest["path"].is_string() || manifest["path"] != machine.hostPath) {
        return ManifestState::OtherHost;
    }
    // One of this build's extensions may start the host: which store's the
    // customer installed from is not known here.
    std::vector<std::string> callers;
    if (kind == ManifestKind::Chromium) {
        for (const std::string& id : machine.chromeExtensionIds)
            callers.push_back(ChromeOrigin(id));
    } else {
        callers.push_back(machine.firefoxExtensionId);
    }
    const nlohmann::json& allowed =
        manifest[kind == ManifestKind::Chromium ? "allowed_origins" : "allowed_extensions"];
    const bool ours = allowed.is_array() &&
                      std::any_of(callers.begin(), callers.end(), [&](const std::string& c) {
                          return std::find(allowed.begin(), allowed.end(), c) != allowed.end();
                      });
    return ours ? ManifestState::Good : ManifestState::OtherExtension;
}

// The best of the user's and the system's manifest (the user's wins in the
// browser, but either that names this host will do).
ManifestState ManifestFor(const Machine& machine, const Browser& browser) {
    ManifestState best = ManifestState::Missing;
    if (const std::string home = machine.Home(); !home.empty()) {
        best = ReadManifest(machine, home + "/" + browser.userManifests, browser.kind);
        if (best == ManifestState::Good) return best;
    }
    return std::max(best, ReadManifest(machine, browser.systemManifests, browser.kind));
}

bool Installed(const Machine& machine, const Browser& browser) {
    return std::any_of(browser.programs.begin(), browser.programs.end(),
                       [&](const char* program) { return machine.IsFile(program); });
}

bool SnapInstalled(const Machine& machine, const Browser& browser) {
    return browser.snap != nullptr && machine.IsFolder(std::string("/snap/") + browser.snap);
}

bool FlatpakInstalled(const Machine& machine, const Browser& browser) {
    if (browser.flatpak == nullptr) return false;
    const std::string app = std::string("/flatpak/app/") + browser.flatpak;
    const std::string home = machine.Home();
    return machine.IsFolder("/var/lib" + app) ||
           (!home.empty() && machine.IsFolder(home + "/.local/share" + app));
}

bool WebExtensionsPortal(const Machine& machine) {
    if (!machine.run) return false;
    const std::string answer =
        machine.run({"gdbus", "introspect", "--session", "--dest", "org.freedesktop.portal.Desktop",
                     "--object-path", "/org/freedesktop/portal/desktop"});
    return answer.find("org.freedesktop.portal.WebExtensions") != std::string::npos;
}

Finding ManifestFinding(const Browser& browser, const std::string& topic, const Said& how,
                        ManifestState state) {
    const std::string zh = browser.name + how.zh;
    const std::string en = browser.name + how.en;
    switch (state) {
        case ManifestState::Good:
            return {
                topic, Severity::Ok, {zh + "：已登錄本程式", en + ": the host is registered"}, {}};
        case ManifestState::Missing:
            return {topic,
                    Severity::Warning,
                    {zh + "：未登錄本程式", en + ": the host is not registered"},
                    {"執行 qorvclientatm-host --register --user（或重新安裝套件）",
                     "run qorvclientatm-host --register --user (or reinstall the package)"}};
        case ManifestState::OtherHost:
        case ManifestState::OtherExtension:
            break;
    }
    const bool otherHost = state == ManifestState::OtherHost;
    return {topic,
            Severity::Warning,
            {zh + (otherHost ? "：登錄的是另一個程式" : "：登錄的是另一個銀行的擴充功能"),
             en + (otherHost ? ": the registration names another host program"
                             : ": the registration allows another bank's extension")},
            {"執行 qorvclientatm-host --register --user 重新登錄",
             "run qorvclientatm-host --register --user to register this host again"}};
}

}  // namespace

std::vector<Finding> CheckBrowsers(const Machine& machine) {
    std::vector<Finding> findings;
    bool anyBrowser = false;
    bool anyReachable = false;
    std::optional<bool> portal;  // asked once, when a snap needs it
    for (const Browser& browser : KnownBrowsers()) {
        const std::string topic = std::string("browser:") + browser.id;
        if (Installed(machine, browser)) {
            anyBrowser = true;
            const ManifestState state = ManifestFor(machine, browser);
            anyReachable = anyReachable || state == ManifestState::Good;
            findings.push_back(ManifestFinding(browser, topic, {}, state));
        }
        const std::string debName =
            std::string(browser.name) + " (.deb: " + browser.debianPackage + ")";
        if (SnapInstalled(machine, browser)) {
            anyBrowser = true;
            if (browser.snapUsesPortal && !portal) portal = WebExtensionsPortal(machine);
            if (browser.snapUsesPortal && *portal) {
                const ManifestState state = ManifestFor(machine, browser);
                anyReachable = anyReachable || state == ManifestState::Good;
                findings.push_back(
                    ManifestFinding(browser, topic + ":snap",
                                    {"（Snap，經由桌面的 WebExtensions 入口）",
                                     " (Snap, through the desktop's WebExtensions portal)"},
                                    state));
            } else {
                findings.push_back(
                    {topic + ":snap",
                     Severity::Warning,
                     {std::string(browser.name) + "（Snap 沙箱版）無法啟動本程式",
                      std::string(browser.name) + " (Snap, sandboxed) cannot start the host"},
                     {"請改裝 " + debName + "，用它開啟銀行網頁",
                      "install " + debName + " instead and open the bank's page in it"}});
            }
        }
        if (FlatpakInstalled(machine, browser)) {
            anyBrowser = true;
            findings.push_back(
                {topic + ":flatpak",
                 Severity::Warning,
                 {std::string(browser.name) + "（Flatpak 沙箱版）無法啟動本程式",
                  std::string(browser.name) + " (Flatpak, sandboxed) cannot start the host"},
                 {"請改裝 " + debName + "，用它開啟銀行網頁",
                  "install " + debName + " instead and open the bank's page in it"}});
        }
    }
    if (!anyReachable) {
        findings.push_back(
            {"browsers",
             Severity::Problem,
             {"沒有任何瀏覽器能啟動本程式", "no browser can start the host"},
             anyBrowser ? Said{"依上列瀏覽器的說明處理", "do what is said for a browser above"}
                        : Said{"安裝 Firefox（firefox-esr）或 Chromium 的 .deb 套件",
                               "install the .deb of Firefox (firefox-esr) or Chromium"}});
    }
    return findings;
}

}  // namespace qorv::host
