// The self-check on scratch machines: a folder standing for "/", a chosen
// environment, the fake PC/SC library and canned command answers.
#include "host/doctor.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "host/registration.h"
#include "support/fake_pcsc.h"
#include "support/host_process.h"

namespace qorv::host {
namespace {

namespace fs = std::filesystem;
constexpr const char* kChromeId = "kbpikjekkjciibmenhdnppmjacfnalkg";
// The same extension listed on a store that assigns its own ID.
constexpr const char* kEdgeStoreId = "mmnnooppaabbccddeeffgghhiijjkkll";
constexpr const char* kFirefoxId = "qorvclientatm@qorv.example";
constexpr const char* kHost = "/usr/bin/qorvclientatm-host";
constexpr const char* kCjkFont = "Noto Sans CJK TC\naa|en|zh-cn|zh-tw\n";

// A machine where a bank page works: pcscd with a PIN-pad reader and a card,
// Chromium registered, a Wayland session with Qt's plugin, a CJK font.
class ScratchMachine {
  public:
    ScratchMachine() {
        std::string pattern = (fs::temp_directory_path() / "qorv-doctor-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        machine.root = root_;
        machine.pcsc = &pcsc;
        machine.hostPath = kHost;
        machine.chromeExtensionIds = {kChromeId, kEdgeStoreId};
        machine.firefoxExtensionId = kFirefoxId;
        machine.environment = {{"HOME", "/home/alice"},
                               {"XDG_RUNTIME_DIR", "/run/user/1000"},
                               {"WAYLAND_DISPLAY", "wayland-0"},
                               {"LANG", "en_US.UTF-8"}};
        machine.run = [this](const std::vector<std::string>& argv) {
            if (argv[0] == "fc-match") return font;
            return argv[0] == "gdbus" ? portal : std::string();
        };
        pcsc.AddReader("ACS ACR83U 00 00");
        File("/usr/bin/chromium", "");
        Manifest("/etc/chromium/native-messaging-hosts", kHost);
        Socket("/run/user/1000/wayland-0");
        File("/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so", "");
    }
    ~ScratchMachine() {
        for (const int fd : sockets_) close(fd);
        fs::remove_all(root_);
    }

    void File(const std::string& path, const std::string& text) const {
        fs::create_directories(fs::path(root_ + path).parent_path());
        std::ofstream(root_ + path) << text;
    }
    void Manifest(const std::string& folder, const std::string& host,
                  const std::string& caller = std::string("chrome-extension://") + kChromeId +
                                              "/") const {
        const bool firefox = folder.find("mozilla") != std::string::npos;
        const nlohmann::json manifest = {
            {"name", kHostName},
            {"path", host},
            {"type", "stdio"},
            {firefox ? "allowed_extensions" : "allowed_origins", {firefox ? kFirefoxId : caller}}};
        File(folder + "/" + kHostName + ".json", manifest.dump());
    }
    // A listening Unix socket, as a compositor or X server holds one.
    void Socket(const std::string& path) {
        fs::create_directories(fs::path(root_ + path).parent_path());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (root_ + path).c_str(), sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(fd, 4), 0);
        sockets_.push_back(fd);
    }
    void Remove(const std::string& path) const { fs::remove_all(root_ + path); }

    testing::FakePcsc pcsc;
    Machine machine;
    std::string font = kCjkFont;
    std::string portal;

  private:
    std::string root_;
    std::vector<int> sockets_;
};

struct Scenario {  // NOLINT(clang-analyzer-optin.performance.Padding): rows read in this order
    const char* name;
    void (*change)(ScratchMachine&);
    const char* topic;  // the finding looked at
    Severity severity;
    const char* saying;  // part of its English text or action
    int exitCode;
};

constexpr Scenario kScenarios[] = {
    {"Healthy", [](ScratchMachine&) {}, "reader", Severity::Ok,
     "ACS ACR83U 00 00 (PIN pad): card inserted", 0},
    {"NoPcscd", [](ScratchMachine& m) { m.pcsc.Force("establish", reader::pcsc::kNoService); },
     "pcscd", Severity::Problem, "systemctl enable --now pcscd.socket", 1},
    {"NoReader", [](ScratchMachine& m) { m.pcsc.Force("list", reader::pcsc::kNoReadersAvailable); },
     "reader", Severity::Problem, "plug in the card reader", 1},
    {"NoCard", [](ScratchMachine& m) { m.pcsc.RemoveCard("ACS ACR83U 00 00"); }, "card",
     Severity::Warning, "insert the chip card", 0},
    {"MissingManifest", [](ScratchMachine& m) { m.Remove("/etc/chromium/native-messaging-hosts"); },
     "browser:chromium", Severity::Warning, "--register --user", 1},
    {"ManifestOfAnotherHost",
     [](ScratchMachine& m) { m.Manifest("/etc/chromium/native-messaging-hosts", "/opt/old/host"); },
     "browser:chromium", Severity::Warning, "names another host program", 1},
    {"ManifestOfAnotherBank",
     [](ScratchMachine& m) {
         m.Manifest("/etc/chromium/native-messaging-hosts", kHost, "chrome-extension://abc/");
     },
     "browser:chromium", Severity::Warning, "another bank's extension", 1},
    {"ManifestNamingTheExtensionOfAnotherStore",
     [](ScratchMachine& m) {
         m.Manifest("/etc/chromium/native-messaging-hosts", kHost,
                    std::string("chrome-extension://") + kEdgeStoreId + "/");
     },
     "browser:chromium", Severity::Ok, "Chromium: the host is registered", 0},
    {"UserManifestOfVivaldi",
     [](ScratchMachine& m) {
         m.File("/opt/vivaldi/vivaldi", "");
         m.Manifest("/home/alice/.config/vivaldi/NativeMessagingHosts", kHost);
     },
     "browser:vivaldi", Severity::Ok, "Vivaldi: the host is registered", 0},
    {"NoBrowserAtAll", [](ScratchMachine& m) { m.Remove("/usr/bin/chromium"); }, "browsers",
     Severity::Problem, "install the .deb of Firefox", 1},
    {"ChromiumSnapOnly",
     [](ScratchMachine& m) {
         m.Remove("/usr/bin/chromium");
         m.File("/snap/chromium/current/x", "");
     },
     "browser:chromium:snap", Severity::Warning, "install Chromium (.deb: chromium) instead", 1},
    {"FlatpakBesideADeb",
     [](ScratchMachine& m) { m.File("/var/lib/flatpak/app/com.brave.Browser/x", ""); },
     "browser:brave:flatpak", Severity::Warning, "Brave (Flatpak, sandboxed) cannot start", 0},
    {"FirefoxSnapWithoutPortal",
     [](ScratchMachine& m) {
         m.Remove("/usr/bin/chromium");
         m.File("/snap/firefox/current/x", "");
         m.Manifest("/usr/lib/mozilla/native-messaging-hosts", kHost);
     },
     "browser:firefox:snap", Severity::Warning, "install Firefox (.deb: firefox-esr)", 1},
    {"FirefoxSnapThroughThePortal",
     [](ScratchMachine& m) {
         m.Remove("/usr/bin/chromium");
         m.File("/snap/firefox/current/x", "");
         m.Manifest("/usr/lib/mozilla/native-messaging-hosts", kHost);
         m.portal = "interface org.freedesktop.portal.WebExtensions {\n";
     },
     "browser:firefox:snap", Severity::Ok, "WebExtensions portal): the host is registered", 0},
    {"WaylandWithoutQtPluginButXwayland",
     [](ScratchMachine& m) {
         m.Remove("/usr/lib/x86_64-linux-gnu/qt6");
         m.machine.environment["DISPLAY"] = ":3";
         m.Socket("/tmp/.X11-unix/X3");
     },
     "display", Severity::Warning, "install qt6-wayland", 0},
    {"WaylandWithoutQtPlugin", [](ScratchMachine& m) { m.Remove("/usr/lib/x86_64-linux-gnu/qt6"); },
     "display", Severity::Problem, "install qt6-wayland", 1},
    {"X11",
     [](ScratchMachine& m) {
         m.machine.environment.erase("WAYLAND_DISPLAY");
         m.machine.environment["DISPLAY"] = ":3.0";
         m.Socket("/tmp/.X11-unix/X3");
     },
     "display", Severity::Ok, "session: X11; the windows use Qt's xcb", 0},
    {"DeadWaylandSocketAndNoX",
     [](ScratchMachine& m) { m.machine.environment["WAYLAND_DISPLAY"] = "wayland-9"; }, "display",
     Severity::Problem, "no graphical session", 1},
    {"NoChineseFont", [](ScratchMachine& m) { m.font = "DejaVu Sans\naa|en|fr\n"; }, "font",
     Severity::Problem, "install fonts-noto-cjk", 1},
};

class DoctorTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(DoctorTest, FindsWhatTheMachineLacksAndSaysWhatToDo) {
    ScratchMachine scratch;
    GetParam().change(scratch);
    const std::vector<Finding> findings = CheckEverything(scratch.machine);
    bool seen = false;
    for (const Finding& finding : findings) {
        if (finding.topic != GetParam().topic) continue;
        const std::string text = finding.found.en + " / " + finding.action.en;
        if (text.find(GetParam().saying) == std::string::npos) continue;
        seen = true;
        EXPECT_EQ(finding.severity, GetParam().severity) << text;
        // Every problem says what to do, in both languages.
        EXPECT_EQ(finding.action.zh.empty(), finding.severity == Severity::Ok) << text;
        EXPECT_EQ(finding.action.en.empty(), finding.severity == Severity::Ok) << text;
    }
    EXPECT_TRUE(seen) << "no " << GetParam().topic << " finding saying " << GetParam().saying;
    std::FILE* sink = std::tmpfile();
    EXPECT_EQ(PrintDoctorReport(findings, Language::English, sink), GetParam().exitCode);
    std::fclose(sink);
    EXPECT_EQ(scratch.pcsc.openContexts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Scratch, DoctorTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DoctorLanguage, ChineseLocalesGetTraditionalChineseOthersEnglish) {
    const struct {
        std::map<std::string, std::string> environment;
        Language expected;
    } rows[] = {
        {{{"LANG", "zh_TW.UTF-8"}}, Language::TraditionalChinese},
        {{{"LANG", "zh_TW.UTF-8"}, {"LC_ALL", "C"}}, Language::English},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_HK.UTF-8"}}, Language::TraditionalChinese},
        {{}, Language::English},
    };
    for (const auto& row : rows) {
        Machine machine;
        machine.environment = row.environment;
        EXPECT_EQ(LanguageOf(machine), row.expected);
    }
}

TEST(DoctorThroughTheHost, PrintsInTheCustomersLanguageAndFailsWithoutPcscd) {
    // No pcscd answers on this socket: the check cannot pass.
    const std::string command =
        "env -i HOME=/nonexistent LANG=zh_TW.UTF-8 "
        "PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm " +
        testing::HostPath() + " --doctor 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1) << output;
    EXPECT_NE(output.find("自我檢查"), std::string::npos) << output;
    EXPECT_NE(output.find("FAIL 無法連線智慧卡服務 pcscd"), std::string::npos) << output;
}

}  // namespace
}  // namespace qorv::host
