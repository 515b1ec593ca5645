// Whether the windows can be shown, decided before Qt is asked: Qt's
// platform plugins end the process when their display cannot be opened, so
// the module first opens the display itself and only then starts Qt on it.
#pragma once

#include <memory>
#include <string>

namespace qorv::widgets {

enum class Platform { None, Xcb, Wayland, Offscreen };

struct DisplayEnvironment {
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string runtimeDir;      // XDG_RUNTIME_DIR, where relative Wayland sockets live
    bool waylandPluginInstalled = false;
    static DisplayEnvironment FromProcess();
};

struct DisplayChoice {
    Platform platform = Platform::None;
    std::string why;  // with Platform::None: why no window can be shown
    // The probe's own connection, held until Qt has connected: an X server
    // whose last client leaves resets, and refuses connections meanwhile.
    std::shared_ptr<void> connection;
};

// Wayland when its socket accepts a connection and Qt has the plugin for it,
// else X when its display opens (the X server accepts the connection and its
// authorisation), else none. Empty variables count as unset.
DisplayChoice ProbeDisplay(const DisplayEnvironment& environment);

// Qt's name of the platform plugin.
const char* PlatformPluginName(Platform platform);

}  // namespace qorv::widgets
