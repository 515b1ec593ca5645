#include "host/browsers.h"

#include <algorithm>

namespace qorv::host {

const std::vector<Browser>& KnownBrowsers() {
    static const std::vector<Browser> browsers = {
        {"chromium",
         "Chromium",
         ManifestKind::Chromium,
         ".config/chromium",
         ".config/chromium/NativeMessagingHosts",
         "/etc/chromium/native-messaging-hosts",
         {"/usr/bin/chromium", "/usr/lib/chromium/chromium"},
         "chromium",
         "org.chromium.Chromium",
         "chromium",
         false,
         nullptr},
        {"google-chrome",
         "Google Chrome",
         ManifestKind::Chromium,
         ".config/google-chrome",
         ".config/google-chrome/NativeMessagingHosts",
         "/etc/opt/chrome/native-messaging-hosts",
         {"/opt/google/chrome/chrome"},
         nullptr,
         "com.google.Chrome",
         "google-chrome-stable",
         false,
         nullptr},
        {"microsoft-edge",
         "Microsoft Edge",
         ManifestKind::Chromium,
         ".config/microsoft-edge",
         ".config/microsoft-edge/NativeMessagingHosts",
         "/etc/opt/edge/native-messaging-hosts",
         {"/opt/microsoft/msedge/msedge"},
         nullptr,
         "com.microsoft.Edge",
         "microsoft-edge-stable",
         false,
         nullptr},
        {"brave",
         "Brave",
         ManifestKind::Chromium,
         ".config/BraveSoftware/Brave-Browser",
         ".config/BraveSoftware/Brave-Browser/NativeMessagingHosts",
         "/etc/opt/chrome/native-messaging-hosts",
         {"/opt/brave.com/brave/brave"},
         "brave",
         "com.brave.Browser",
         "brave-browser",
         false,
         nullptr},
        {"vivaldi",
         "Vivaldi",
         ManifestKind::Chromium,
         ".config/vivaldi",
         ".config/vivaldi/NativeMessagingHosts",
         "/etc/chromium/native-messaging-hosts",
         {"/opt/vivaldi/vivaldi"},
         "vivaldi",
         nullptr,
         "vivaldi-stable",
         false,
         nullptr},
        {"opera",
         "Opera",
         ManifestKind::Chromium,
         ".config/opera",
         ".config/opera/NativeMessagingHosts",
         "/etc/opt/chrome/native-messaging-hosts",
         {"/usr/lib/x86_64-linux-gnu/opera/opera", "/usr/lib/aarch64-linux-gnu/opera/opera"},
         "opera",
         "com.opera.Opera",
         "opera-stable",
         false,
         nullptr},
        {"firefox",
         "Firefox",
         ManifestKind::Firefox,
         ".mozilla/firefox",
         ".mozilla/native-messaging-hosts",
         "/usr/lib/mozilla/native-messaging-hosts",
         {"/usr/lib/firefox-esr/firefox-esr", "/usr/lib/firefox/firefox"},
         "firefox",
         "org.mozilla.firefox",
         "firefox-esr",
         true,
         "snap/firefox/common/.mozilla/firefox"},
    };
    return browsers;
}

std::vector<std::string> SystemManifestFolders() {
    std::vector<std::string> folders;
    for (const Browser& browser : KnownBrowsers()) {
        if (std::find(folders.begin(), folders.end(), browser.systemManifests) == folders.end()) {
            folders.emplace_back(browser.systemManifests);
        }
    }
    return folders;
}

}  // namespace qorv::host
