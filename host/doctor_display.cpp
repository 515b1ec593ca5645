// The desktop session and what the dialogs will use in it: Qt's Wayland
// platform where the Wayland socket answers and qt6-wayland is installed,
// else X11 (directly, or Xwayland in a Wayland session); and the font that
// will render their Traditional Chinese.
#include <dirent.h>

#include <cstdlib>
#include <sstream>

#include "host/doctor_checks.h"

namespace qorv::host {
namespace {

// Qt's Wayland plugin in any multiarch folder of Qt 6.
bool WaylandPluginInstalled(const Machine& machine) {
    DIR* lib = opendir(machine.Path("/usr/lib").c_str());
    if (lib == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(lib)) {
        const std::string folder =
            std::string("/usr/lib/") + entry->d_name + "/qt6/plugins/platforms/";
        if (machine.IsFile(folder + "libqwayland-generic.so") ||
            machine.IsFile(folder + "libqwayland-egl.so")) {
            found = true;
            break;
        }
    }
    closedir(lib);
    return found;
}

bool WaylandAnswers(const Machine& machine) {
    const std::string name = machine.Env("WAYLAND_DISPLAY");
    if (name.empty()) return false;
    if (name.front() == '/') return machine.SocketAccepts(name);
    const std::string runtime = machine.Env("XDG_RUNTIME_DIR");
    return !runtime.empty() && machine.SocketAccepts(runtime + "/" + name);
}

// A local display (":0", ":1.0") answers on its socket; a remote one is
// taken on trust.
bool XAnswers(const Machine& machine) {
    const std::string display = machine.Env("DISPLAY");
    if (display.empty()) return false;
    if (display.front() != ':') return true;
    const std::string number = display.substr(1, display.find('.') - 1);
    return machine.SocketAccepts("/tmp/.X11-unix/X" + number);
}

}  // namespace

std::vector<Finding> CheckDisplay(const Machine& machine) {
    const bool wayland = WaylandAnswers(machine);
    const bool x = XAnswers(machine);
    const bool plugin = WaylandPluginInstalled(machine);
    std::string session;
    if (wayland)
        session = x ? "Wayland + Xwayland" : "Wayland";
    else if (x)
        session = "X11";
    std::vector<Finding> findings;
    if (session.empty()) {
        findings.push_back({"display",
                            Severity::Problem,
                            {"沒有圖形桌面，無法顯示確認視窗",
                             "no graphical session: the confirmation windows cannot be shown"},
                            {"在桌面的終端機中執行，或登入桌面",
                             "run this in a terminal of the desktop, or log in to one"}});
        return findings;
    }
    if (wayland && plugin) {
        findings.push_back({"display",
                            Severity::Ok,
                            {"桌面：" + session + "；視窗使用 Qt Wayland",
                             "session: " + session + "; the windows use Qt's Wayland platform"},
                            {}});
    } else if (wayland && x) {
        findings.push_back({"display",
                            Severity::Warning,
                            {"桌面：" + session + "；缺少 Qt Wayland，視窗經由 Xwayland 顯示",
                             "session: " + session +
                                 "; without Qt's Wayland plugin the windows go through Xwayland"},
                            {"安裝 qt6-wayland", "install qt6-wayland"}});
    } else if (wayland) {
        findings.push_back(
            {"display",
             Severity::Problem,
             {"桌面：Wayland；缺少 Qt Wayland，無法顯示視窗",
              "session: Wayland; without Qt's Wayland plugin no window can be shown"},
             {"安裝 qt6-wayland", "install qt6-wayland"}});
    } else {
        findings.push_back(
            {"display",
             Severity::Ok,
             {"桌面：X11；視窗使用 Qt xcb", "session: X11; the windows use Qt's xcb platform"},
             {}});
    }
    return findings;
}

std::vector<Finding> CheckFont(const Machine& machine) {
    // The family that fontconfig gives Qt for Traditional Chinese, and the
    // languages that font covers.
    const std::string answer =
        machine.run
            ? machine.run({"fc-match", "-f", "%{family[0]}\n%{lang}\n", "sans-serif:lang=zh-tw"})
            : std::string();
    std::istringstream lines(answer);
    std::string family;
    std::string languages;
    std::getline(lines, family);
    std::getline(lines, languages);
    std::istringstream each(languages);
    bool covers = false;
    for (std::string language; std::getline(each, language, '|');)
        covers = covers || language == "zh-tw";
    if (covers) {
        return {{"font", Severity::Ok, {"中文字型：" + family, "Chinese font: " + family}, {}}};
    }
    return {{"font",
             Severity::Problem,
             {"沒有繁體中文字型，視窗文字無法顯示",
              "no Traditional Chinese font: the windows' texts cannot be shown"},
             {"安裝 fonts-noto-cjk", "install fonts-noto-cjk"}}};
}

}  // namespace qorv::host
