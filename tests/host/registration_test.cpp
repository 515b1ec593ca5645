// Registration with the browsers into a temporary root: through the
// functions, the host's command line and the module library's exports.
#include "host/registration.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/registration_files.h"
#include "support/host_process.h"

namespace qorv::host {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kChromeId = "kbpikjekkjciibmenhdnppmjacfnalkg";
constexpr const char* kFirefoxId = "qorvclientatm@qorv.example";

class RegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qorv-registration-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        settings.root = root.string();
        settings.home = "/home/alice";
        settings.hostPath = testing::HostPath();
        settings.chromeExtensionIds = {kChromeId};
        settings.firefoxExtensionId = kFirefoxId;
        MakeProfiles("home/alice");
    }
    void TearDown() override { fs::remove_all(root); }

    // Every browser has run once for the user: its profile folder is there.
    void MakeProfiles(const std::string& home) const {
        for (const Browser& browser : KnownBrowsers()) {
            fs::path folder = root / home / browser.profile;
            fs::create_directories(folder);
            for (; folder != root; folder = folder.parent_path()) chmod(folder.c_str(), 0755);
        }
    }

    static json ReadJson(const fs::path& path) {
        std::ifstream in(path);
        return json::parse(in, nullptr, false);
    }
    fs::path UserManifest(const std::string& folder) const {
        return root / "home/alice" / folder / (std::string(kHostName) + ".json");
    }
    std::vector<fs::path> FilesUnderRoot() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_directory()) files.push_back(entry.path());
        }
        return files;
    }
    // Runs the real host with HOME pointing into the root.
    int RunHost(const std::string& arguments) const {
        const std::string command =
            "HOME=/home/bob " + testing::HostPath() + " " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path root;
    RegistrationSettings settings;
};

// Where each browser reads manifests, per user and for every user, and who
// may call: the one table the registration must follow.
struct BrowserFolders {
    const char* browser;
    const char* profile;     // below the home folder
    const char* userFolder;  // below the home folder
    const char* systemFolder;
    bool firefox;
};

constexpr BrowserFolders kBrowserFolders[] = {
    {"chromium", ".config/chromium", ".config/chromium/NativeMessagingHosts",
     "etc/chromium/native-messaging-hosts", false},
    {"google-chrome", ".config/google-chrome", ".config/google-chrome/NativeMessagingHosts",
     "etc/opt/chrome/native-messaging-hosts", false},
    {"microsoft-edge", ".config/microsoft-edge", ".config/microsoft-edge/NativeMessagingHosts",
     "etc/opt/edge/native-messaging-hosts", false},
    {"brave", ".config/BraveSoftware/Brave-Browser",
     ".config/BraveSoftware/Brave-Browser/NativeMessagingHosts",
     "etc/opt/chrome/native-messaging-hosts", false},
    {"vivaldi", ".config/vivaldi", ".config/vivaldi/NativeMessagingHosts",
     "etc/chromium/native-messaging-hosts", false},
    {"opera", ".config/opera", ".config/opera/NativeMessagingHosts",
     "etc/opt/chrome/native-messaging-hosts", false},
    {"firefox", ".mozilla/firefox", ".mozilla/native-messaging-hosts",
     "usr/lib/mozilla/native-messaging-hosts", true},
};

void ExpectManifestFor(const json& manifest, bool firefox, const std::string& where) {
    ASSERT_TRUE(manifest.is_object()) << where;
    EXPECT_EQ(manifest["name"], "qorvclientatm.qorvclientatmctrl.1") << where;
    EXPECT_EQ(manifest["type"], "stdio") << where;
    EXPECT_EQ(manifest["path"], testing::HostPath()) << where;
    if (firefox) {
        EXPECT_EQ(manifest["allowed_extensions"], json::array({kFirefoxId})) << where;
        EXPECT_FALSE(manifest.contains("allowed_origins")) << where;
    } else {
        EXPECT_EQ(manifest["allowed_origins"],
                  json::array({"chrome-extension://kbpikjekkjciibmenhdnppmjacfnalkg/"}))
            << where;
        EXPECT_FALSE(manifest.contains("allowed_extensions")) << where;
    }
}

TEST_F(RegistrationTest, EveryBrowserGetsItsManifestPerUserAndSystemWide) {
    ASSERT_EQ(KnownBrowsers().size(), std::size(kBrowserFolders));
    // Per user, with every profile there but Edge's and Opera's: those two
    // browsers never ran, so nothing is written for them.
    fs::remove_all(root / "home/alice/.config/microsoft-edge");
    fs::remove_all(root / "home/alice/.config/opera");
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    for (const BrowserFolders& row : kBrowserFolders) {
        const fs::path manifest = UserManifest(row.userFolder);
        const bool ran =
            std::string(row.browser) != "microsoft-edge" && std::string(row.browser) != "opera";
        EXPECT_EQ(fs::exists(manifest), ran) << row.browser;
        if (ran) ExpectManifestFor(ReadJson(manifest), row.firefox, row.browser);
    }
    EXPECT_EQ(FilesUnderRoot().size(), std::size(kBrowserFolders) - 2);  // no temporaries left
    ASSERT_EQ(UnregisterHost(settings), kRegistrationOk);
    EXPECT_TRUE(FilesUnderRoot().empty());
    EXPECT_EQ(UnregisterHost(settings), kRegistrationOk);  // nothing left to remove

    // System-wide every folder is written (browsers share some of them).
    settings.scope = RegistrationScope::System;
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    for (const BrowserFolders& row : kBrowserFolders) {
        ExpectManifestFor(ReadJson(root / row.systemFolder / (std::string(kHostName) + ".json")),
                          row.firefox, row.browser);
    }
    EXPECT_EQ(FilesUnderRoot().size(), 4u);
    ASSERT_EQ(UnregisterHost(settings), kRegistrationOk);
    EXPECT_TRUE(FilesUnderRoot().empty());
}

TEST(ManifestText, EveryStoresChromiumIdMayStartTheHost) {
    RegistrationSettings settings;
    settings.hostPath = "/usr/bin/qorvclientatm-host";
    settings.chromeExtensionIds = {kChromeId, "mmnnooppaabbccddeeffgghhiijjkkll"};
    settings.firefoxExtensionId = kFirefoxId;
    EXPECT_EQ(json::parse(ManifestText(ManifestKind::Chromium, settings))["allowed_origins"],
              json::array({"chrome-extension://kbpikjekkjciibmenhdnppmjacfnalkg/",
                           "chrome-extension://mmnnooppaabbccddeeffgghhiijjkkll/"}));
    EXPECT_EQ(json::parse(ManifestText(ManifestKind::Firefox, settings))["allowed_extensions"],
              json::array({kFirefoxId}));
}

TEST_F(RegistrationTest, RegisteringAgainReplacesAStaleManifest) {
    const fs::path chromium = UserManifest(".config/chromium/NativeMessagingHosts");
    fs::create_directories(chromium.parent_path());
    std::ofstream(chromium) << "{\"path\": \"/old/host\", truncated";
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    EXPECT_EQ(ReadJson(chromium)["path"], testing::HostPath());
}

TEST_F(RegistrationTest, UnwritableRootFailsWithTheClassCode) {
    // Even root cannot create folders below a regular file.
    const fs::path file = root / "not-a-folder";
    std::ofstream(file) << "x";
    settings.root = file.string();
    settings.scope = RegistrationScope::System;  // writes whatever profiles there are
    EXPECT_EQ(RegisterHost(settings), kSelfRegClass);
    // Nothing can be there, so there is nothing to remove.
    EXPECT_EQ(UnregisterHost(settings), kRegistrationOk);
}

TEST_F(RegistrationTest, MissingHostFailsWithTheTypeLibraryCodeAndWritesNothing) {
    // Into the real file system (a home inside the temporary folder), where
    // the host must exist.
    settings.root.clear();
    settings.home = (root / "home/alice").string();
    settings.hostPath = (root / "no-such-host").string();
    std::string problem;
    EXPECT_EQ(RegisterHost(settings, &problem), kSelfRegTypeLib);
    EXPECT_NE(problem.find("no-such-host"), std::string::npos) << problem;
    std::ofstream(root / "not-executable") << "#!/bin/sh\n";
    settings.hostPath = (root / "not-executable").string();
    EXPECT_EQ(RegisterHost(settings), kSelfRegTypeLib);
    settings.hostPath = root.string();  // a folder passes access(X_OK)
    EXPECT_EQ(RegisterHost(settings), kSelfRegTypeLib);
    settings.hostPath = "relative/qorvclientatm-host";
    EXPECT_EQ(RegisterHost(settings), kSelfRegTypeLib);
    EXPECT_EQ(FilesUnderRoot().size(), 1u);  // only the file made above
}

TEST_F(RegistrationTest, ARemovalFailureIsReportedAndTheOtherManifestsStillGo) {
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    // A manifest path that cannot be removed: a folder with something in it.
    const fs::path chrome = UserManifest(".config/google-chrome/NativeMessagingHosts");
    fs::remove(chrome);
    fs::create_directories(chrome / "inside");
    EXPECT_EQ(UnregisterHost(settings), kSelfRegClass);
    EXPECT_FALSE(fs::exists(UserManifest(".config/chromium/NativeMessagingHosts")));
    EXPECT_FALSE(fs::exists(UserManifest(".mozilla/native-messaging-hosts")));
}

TEST_F(RegistrationTest, HostCommandLineRegistersItselfAndUnregisters) {
    // Bob has no browser profile yet: registering reaches no browser.
    EXPECT_EQ(RunHost("--register --user --root " + root.string()), 1);
    EXPECT_TRUE(FilesUnderRoot().empty());
    MakeProfiles("home/bob");
    ASSERT_EQ(RunHost("--register --user --root " + root.string()), 0);
    const fs::path manifest = root / "home/bob/.config/chromium/NativeMessagingHosts" /
                              (std::string(kHostName) + ".json");
    EXPECT_EQ(ReadJson(manifest)["path"], fs::canonical(testing::HostPath()).string());
    EXPECT_EQ(FilesUnderRoot().size(), KnownBrowsers().size());
    ASSERT_EQ(RunHost("--unregister --user --root " + root.string()), 0);
    EXPECT_TRUE(FilesUnderRoot().empty());

    EXPECT_EQ(RunHost("--register --user --root relative/dir"), 2);
    EXPECT_EQ(RunHost("--register --user --system --root " + root.string()), 2);
    EXPECT_EQ(RunHost("--register --sideways"), 2);
    std::ofstream(root / "file") << "x";
    EXPECT_EQ(RunHost("--register --system --root " + root.string() + "/file"), 1);
}

TEST_F(RegistrationTest, ARootThatResolvesToTheRealFileSystemIsNoRoot) {
    fs::create_symlink("/", root / "slash");
    const struct {
        std::string given, effective;
    } cases[] = {
        {"/.", ""},
        {"//", ""},
        {"/usr/..", ""},
        {(root / "slash").string(), ""},
        {(root / "slash/.").string() + "/", ""},
        {root.string() + "/", root.string()},
        // A staging tree that does not exist yet is read by its text.
        {"/no-such-stage/../no-such-stage/", "/no-such-stage/../no-such-stage"},
        {"/no-such-stage/..", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(EffectiveRoot(c.given), c.effective) << c.given;
}

TEST_F(RegistrationTest, ModuleLibraryExportsTheRegistrationEntries) {
    void* module = dlopen(QORV_MODULE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    // Called only by name here: as root they would write below /etc.
    EXPECT_NE(dlsym(module, "DllRegisterServer"), nullptr);
    EXPECT_NE(dlsym(module, "DllUnregisterServer"), nullptr);
    using Entry = int32_t (*)(int, const char*);
    const auto registerServer = reinterpret_cast<Entry>(dlsym(module, "QorvRegisterServer"));
    const auto unregisterServer = reinterpret_cast<Entry>(dlsym(module, "QorvUnregisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    // The library's internals stay private.
    EXPECT_EQ(dlsym(module, "_ZN4qorv4host12RegisterHostERKNS0_20RegistrationSettingsE"), nullptr);

    EXPECT_EQ(registerServer(1, root.c_str()), kRegistrationOk);
    const json manifest =
        ReadJson(root / "etc/chromium/native-messaging-hosts" / (std::string(kHostName) + ".json"));
    // The host built beside the library.
    EXPECT_EQ(manifest["path"], fs::canonical(testing::HostPath()).string());
    EXPECT_EQ(unregisterServer(1, root.c_str()), kRegistrationOk);
    EXPECT_TRUE(FilesUnderRoot().empty());
    dlclose(module);
}

// A uid no account on a test machine has: "another user".
constexpr uid_t kOtherUser = 54321;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// A private file of someone else's that a registration must never touch.
fs::path MakeVictim(const fs::path& path) {
    std::ofstream(path) << "private";
    chmod(path.c_str(), 0600);
    return path;
}

TEST_F(RegistrationTest, LinksAtTheTemporaryAndManifestNamesAreReplacedNeverFollowed) {
    const fs::path manifest = UserManifest(".config/chromium/NativeMessagingHosts");
    fs::create_directories(manifest.parent_path());
    const fs::path victimOfTemporary = MakeVictim(root / "victim-1");
    const fs::path victimOfManifest = MakeVictim(root / "victim-2");
    // The name a temporary of this process would once have had, and the
    // manifest itself, both links to private files.
    fs::create_symlink(victimOfTemporary, manifest.string() + ".tmp-" + std::to_string(getpid()));
    fs::create_symlink(victimOfManifest, manifest);

    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    for (const fs::path& victim : {victimOfTemporary, victimOfManifest}) {
        EXPECT_EQ(ReadText(victim), "private") << victim;
        EXPECT_EQ(ModeOf(victim), 0600u) << victim;
    }
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(manifest)));
    EXPECT_EQ(ReadJson(manifest)["path"], testing::HostPath());

    // Removing takes the link away, never its target.
    fs::remove(manifest);
    fs::create_symlink(victimOfManifest, manifest);
    ASSERT_EQ(UnregisterHost(settings), kRegistrationOk);
    EXPECT_FALSE(fs::exists(fs::symlink_status(manifest)));
    EXPECT_EQ(ReadText(victimOfManifest), "private");
}

TEST_F(RegistrationTest, FoldersAre0755AndManifests0644WhateverTheUmask) {
    settings.scope = RegistrationScope::System;
    for (const mode_t mask : {mode_t{0}, mode_t{077}}) {
        const mode_t previous = umask(mask);
        const int32_t result = RegisterHost(settings);
        umask(previous);
        ASSERT_EQ(result, kRegistrationOk) << "umask " << mask;
        for (const char* folder :
             {"etc", "etc/opt", "etc/opt/edge", "etc/opt/edge/native-messaging-hosts", "usr/lib",
              "usr/lib/mozilla/native-messaging-hosts"}) {
            EXPECT_EQ(ModeOf(root / folder), 0755u) << folder << " under umask " << mask;
        }
        EXPECT_EQ(ModeOf(root / "usr/lib/mozilla/native-messaging-hosts" /
                         (std::string(kHostName) + ".json")),
                  0644u);
        fs::remove_all(root / "etc");
        fs::remove_all(root / "usr");
    }
}

TEST_F(RegistrationTest, FoldersOthersCanWriteAreRefusedAndLeftAlone) {
    // A world-writable manifest folder and a group-writable folder above
    // another: those browsers fail, the third is still registered.
    const fs::path chromium = UserManifest(".config/chromium/NativeMessagingHosts").parent_path();
    const fs::path chrome = root / "home/alice/.config/google-chrome";
    fs::create_directories(chromium);
    fs::create_directories(chrome);
    chmod(chromium.c_str(), 0777);
    chmod(chrome.c_str(), 0775);
    std::string problem;
    EXPECT_EQ(RegisterHost(settings, &problem), kSelfRegClass);
    EXPECT_NE(problem.find("writable by group or others"), std::string::npos) << problem;
    EXPECT_TRUE(fs::is_empty(chromium));
    EXPECT_TRUE(fs::is_empty(chrome));
    EXPECT_TRUE(fs::exists(UserManifest(".mozilla/native-messaging-hosts")));
    EXPECT_EQ(UnregisterHost(settings), kSelfRegClass);
    EXPECT_FALSE(fs::exists(UserManifest(".mozilla/native-messaging-hosts")));
    // The root itself counts too.
    chmod(root.c_str(), 0777);
    EXPECT_EQ(RegisterHost(settings), kSelfRegClass);
    chmod(root.c_str(), 0700);
}

TEST_F(RegistrationTest, RootRefusesAnotherUsersHome) {
    // Root asked for a per-user registration with HOME pointing at Bob's
    // home, which Bob could fill with links to anything root can write.
    const fs::path bob = root / "home/bob";
    MakeProfiles("home/bob");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(bob.c_str(), kOtherUser, kOtherUser), 0);
    }  // otherwise the home belongs to the tester, who is not root
    settings.user = 0;
    settings.home = "/home/bob";
    std::string problem;
    EXPECT_EQ(RegisterHost(settings, &problem), kSelfRegClass);
    EXPECT_NE(problem.find("belongs to another user"), std::string::npos) << problem;
    EXPECT_TRUE(FilesUnderRoot().empty());
    EXPECT_EQ(UnregisterHost(settings), kSelfRegClass);
}

TEST_F(RegistrationTest, OnlyLinksOfRootOrTheUserAreFollowed) {
    // A home whose .config is a link the user made (dotfile managers do
    // this): followed, and the manifest lands where it points.
    fs::remove_all(root / "home/alice/.config");
    fs::create_directories(root / "dotfiles/config/chromium");
    chmod((root / "dotfiles").c_str(), 0755);
    chmod((root / "dotfiles/config").c_str(), 0755);
    chmod((root / "dotfiles/config/chromium").c_str(), 0755);
    fs::create_symlink(root / "dotfiles/config", root / "home/alice/.config");
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    EXPECT_TRUE(fs::exists(root / "dotfiles/config/chromium/NativeMessagingHosts" /
                           (std::string(kHostName) + ".json")));
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";

    // The same link made by another user, and a folder of another user.
    const fs::path link = root / "home/alice/.config";
    ASSERT_EQ(lchown(link.c_str(), kOtherUser, kOtherUser), 0);
    std::string problem;
    EXPECT_EQ(RegisterHost(settings, &problem), kSelfRegClass);
    EXPECT_NE(problem.find("link made by another user"), std::string::npos) << problem;
    const fs::path mozilla = root / "home/alice/.mozilla";
    ASSERT_EQ(chown(mozilla.c_str(), kOtherUser, kOtherUser), 0);
    fs::remove(UserManifest(".mozilla/native-messaging-hosts"));
    EXPECT_EQ(RegisterHost(settings), kSelfRegClass);
    EXPECT_FALSE(fs::exists(UserManifest(".mozilla/native-messaging-hosts")));
}

// A file system of stat results for the system-wide host check.
class FakeFiles {
  public:
    FakeFiles& Add(const std::string& path, mode_t mode, uid_t owner = 0) {
        struct stat info {};
        info.st_mode = mode;
        info.st_uid = owner;
        files_[path] = info;
        return *this;
    }
    StatFunction Stat() const {
        return [this](const std::string& path, struct stat& info) {
            const auto found = files_.find(path);
            if (found == files_.end()) return -1;
            info = found->second;
            return 0;
        };
    }

  private:
    std::map<std::string, struct stat> files_;
};

TEST(SystemHostCheck, OnlyAHostRootAloneCanChangeMayServeEveryUser) {
    const auto layout = [](mode_t binMode, uid_t binOwner, mode_t hostMode, uid_t hostOwner) {
        FakeFiles files;
        files.Add("/", S_IFDIR | 0755)
            .Add("/usr", S_IFDIR | 0755)
            .Add("/usr/bin", S_IFDIR | binMode, binOwner)
            .Add("/usr/bin/qorvclientatm-host", hostMode, hostOwner);
        return files;
    };
    const std::string host = "/usr/bin/qorvclientatm-host";
    const FakeFiles installed = layout(0755, 0, S_IFREG | 0755, 0);
    EXPECT_EQ(SystemHostProblem(host, installed.Stat()), "");

    const struct {  // NOLINT(cppcoreguidelines-pro-type-member-init): every row sets all three
        const char* what;
        FakeFiles files;
        const char* problem;
    } refused[] = {
        {"world-writable host folder", layout(0777, 0, S_IFREG | 0755, 0),
         "/usr/bin is writable by group or others"},
        {"sticky world-writable host folder", layout(01777, 0, S_IFREG | 0755, 0),
         "/usr/bin is writable by group or others"},
        {"group-writable host folder", layout(0775, 0, S_IFREG | 0755, 0),
         "/usr/bin is writable by group or others"},
        {"host folder of a user", layout(0755, 1000, S_IFREG | 0755, 0),
         "/usr/bin does not belong to root"},
        {"host of a user", layout(0755, 0, S_IFREG | 0755, 1000),
         "/usr/bin/qorvclientatm-host does not belong to root"},
        {"group-writable host", layout(0755, 0, S_IFREG | 0775, 0),
         "/usr/bin/qorvclientatm-host is writable by group or others"},
        {"host not executable", layout(0755, 0, S_IFREG | 0644, 0),
         "/usr/bin/qorvclientatm-host is not executable"},
        {"host a folder", layout(0755, 0, S_IFDIR | 0755, 0),
         "/usr/bin/qorvclientatm-host is not a regular file"},
    };
    for (const auto& item : refused) {
        EXPECT_EQ(SystemHostProblem(host, item.files.Stat()), item.problem) << item.what;
    }
    EXPECT_EQ(SystemHostProblem("/usr/bin/missing", installed.Stat()),
              "/usr/bin/missing cannot be examined");
    EXPECT_EQ(SystemHostProblem("usr/bin/qorvclientatm-host", installed.Stat()),
              "usr/bin/qorvclientatm-host is not absolute");
}

TEST_F(RegistrationTest, SystemRegistrationRefusesAHostUsersCanChange) {
    // A host in a folder below /tmp (writable by everyone), as a build tree
    // of a developer would be, checked on the real file system.
    settings.root.clear();
    settings.scope = RegistrationScope::System;
    const fs::path host = root / "qorvclientatm-host";
    fs::copy_file(testing::HostPath(), host);
    chmod(host.c_str(), 0755);
    settings.hostPath = host.string();
    std::string problem;
    const int32_t result = RegisterHost(settings, &problem);
    if (result == kRegistrationOk) UnregisterHost(settings);  // do not leave it registered
    EXPECT_EQ(result, kSelfRegTypeLib);
    EXPECT_NE(problem.find("a system-wide host must be root's alone"), std::string::npos)
        << problem;
}

TEST_F(RegistrationTest, PackagingNamesTheInstalledHostThatIsNotThereYet) {
    ASSERT_EQ(RunHost("--register --system --root " + root.string() +
                      "/ --host-path /usr/bin/qorvclientatm-host"),
              0);
    const std::string name = std::string(kHostName) + ".json";
    for (const char* folder :
         {"etc/chromium/native-messaging-hosts", "etc/opt/chrome/native-messaging-hosts",
          "etc/opt/edge/native-messaging-hosts", "usr/lib/mozilla/native-messaging-hosts"}) {
        EXPECT_EQ(ReadJson(root / folder / name)["path"], "/usr/bin/qorvclientatm-host") << folder;
    }
    EXPECT_EQ(RunHost("--register --system --root " + root.string() + " --host-path bin/host"), 2);
    EXPECT_EQ(RunHost("--register --system --root " + root.string() + " --host-path"), 2);
    EXPECT_EQ(RunHost("--unregister --system --root " + root.string() + " --host-path /usr/bin/x"),
              2);
    ASSERT_EQ(RunHost("--unregister --system --root " + root.string()), 0);
    EXPECT_TRUE(FilesUnderRoot().empty());
}

}  // namespace
}  // namespace qorv::host
