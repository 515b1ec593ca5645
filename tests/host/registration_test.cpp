// Registration with the browsers into a temporary root: through the
// functions, the host's command line and the module library's exports.
#include "host/registration.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

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
        settings.chromeExtensionId = kChromeId;
        settings.firefoxExtensionId = kFirefoxId;
    }
    void TearDown() override { fs::remove_all(root); }

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

TEST_F(RegistrationTest, UserRegistrationWritesTheThreeManifests) {
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    for (const char* folder :
         {".config/chromium/NativeMessagingHosts", ".config/google-chrome/NativeMessagingHosts"}) {
        const json manifest = ReadJson(UserManifest(folder));
        ASSERT_TRUE(manifest.is_object()) << folder;
        EXPECT_EQ(manifest["name"], "qorvclientatm.qorvclientatmctrl.1");
        EXPECT_EQ(manifest["type"], "stdio");
        EXPECT_EQ(manifest["path"], testing::HostPath());
        EXPECT_EQ(manifest["allowed_origins"],
                  json::array({"chrome-extension://kbpikjekkjciibmenhdnppmjacfnalkg/"}));
        EXPECT_FALSE(manifest.contains("allowed_extensions"));
    }
    const json firefox = ReadJson(UserManifest(".mozilla/native-messaging-hosts"));
    ASSERT_TRUE(firefox.is_object());
    EXPECT_EQ(firefox["name"], "qorvclientatm.qorvclientatmctrl.1");
    EXPECT_EQ(firefox["path"], testing::HostPath());
    EXPECT_EQ(firefox["allowed_extensions"], json::array({kFirefoxId}));
    EXPECT_FALSE(firefox.contains("allowed_origins"));
    EXPECT_EQ(FilesUnderRoot().size(), 3u);  // no temporary files left behind

    ASSERT_EQ(UnregisterHost(settings), kRegistrationOk);
    EXPECT_TRUE(FilesUnderRoot().empty());
    EXPECT_EQ(UnregisterHost(settings), kRegistrationOk);  // nothing left to remove
}

TEST_F(RegistrationTest, SystemRegistrationUsesTheBrowsersSystemFolders) {
    settings.scope = RegistrationScope::System;
    ASSERT_EQ(RegisterHost(settings), kRegistrationOk);
    const std::string name = std::string(kHostName) + ".json";
    EXPECT_TRUE(fs::exists(root / "etc/chromium/native-messaging-hosts" / name));
    EXPECT_TRUE(fs::exists(root / "etc/opt/chrome/native-messaging-hosts" / name));
    EXPECT_TRUE(fs::exists(root / "usr/lib/mozilla/native-messaging-hosts" / name));
    ASSERT_EQ(UnregisterHost(settings), kRegistrationOk);
    EXPECT_TRUE(FilesUnderRoot().empty());
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
    EXPECT_EQ(RegisterHost(settings), kSelfRegClass);
    // Nothing can be there, so there is nothing to remove.
    EXPECT_EQ(UnregisterHost(settings), kRegistrationOk);
}

TEST_F(RegistrationTest, MissingHostFailsWithTheTypeLibraryCodeAndWritesNothing) {
    settings.hostPath = (root / "no-such-host").string();
    EXPECT_EQ(RegisterHost(settings), kSelfRegTypeLib);
    settings.hostPath = "relative/qorvclientatm-host";
    EXPECT_EQ(RegisterHost(settings), kSelfRegTypeLib);
    EXPECT_TRUE(FilesUnderRoot().empty());
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
    ASSERT_EQ(RunHost("--register --user --root " + root.string()), 0);
    const fs::path manifest = root / "home/bob/.config/chromium/NativeMessagingHosts" /
                              (std::string(kHostName) + ".json");
    EXPECT_EQ(ReadJson(manifest)["path"], fs::canonical(testing::HostPath()).string());
    EXPECT_EQ(FilesUnderRoot().size(), 3u);
    ASSERT_EQ(RunHost("--unregister --user --root " + root.string()), 0);
    EXPECT_TRUE(FilesUnderRoot().empty());

    EXPECT_EQ(RunHost("--register --user --root relative/dir"), 2);
    EXPECT_EQ(RunHost("--register --user --system --root " + root.string()), 2);
    EXPECT_EQ(RunHost("--register --sideways"), 2);
    std::ofstream(root / "file") << "x";
    EXPECT_EQ(RunHost("--register --system --root " + root.string() + "/file"), 1);
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

}  // namespace
}  // namespace qorv::host
