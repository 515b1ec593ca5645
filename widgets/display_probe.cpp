#include "widgets/display_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include "base/unix_socket.h"

namespace qorv::widgets {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::shared_ptr<void> OpenXDisplay(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    if (connection == nullptr) return nullptr;
    std::shared_ptr<void> held(connection,
                               [](void* c) { xcb_disconnect(static_cast<xcb_connection_t*>(c)); });
    if (xcb_connection_has_error(connection) != 0) return nullptr;
    return held;
}

}  // namespace

DisplayEnvironment DisplayEnvironment::FromProcess() {
    DisplayEnvironment environment;
    environment.display = Env("DISPLAY");
    environment.waylandDisplay = Env("WAYLAND_DISPLAY");
    environment.runtimeDir = Env("XDG_RUNTIME_DIR");
    return environment;
}

DisplayChoice ProbeDisplay(const DisplayEnvironment& environment) {
    std::string why;
    if (!environment.waylandDisplay.empty()) {
        const std::string& name = environment.waylandDisplay;
        const std::string socket =
            name.front() == '/'
                ? name
                : (environment.runtimeDir.empty() ? std::string()
                                                  : environment.runtimeDir + "/" + name);
        if (!UnixSocketAccepts(socket)) {
            why = "the Wayland display " + name + " cannot be opened";
        } else if (!environment.waylandPluginInstalled) {
            why = "Qt has no Wayland platform plugin for " + name;
        } else {
            return {Platform::Wayland, {}, nullptr};
        }
    }
    if (!environment.display.empty()) {
        if (auto connection = OpenXDisplay(environment.display)) {
            return {Platform::Xcb, {}, std::move(connection)};
        }
        if (!why.empty()) why += "; ";
        why += "the X display " + environment.display + " cannot be opened";
    }
    if (why.empty()) why = "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
    return {Platform::None, why, nullptr};
}

const char* PlatformPluginName(Platform platform) {
    switch (platform) {
        case Platform::Xcb:
            return "xcb";
        case Platform::Wayland:
            return "wayland";
        case Platform::Offscreen:
            return "offscreen";
        case Platform::None:
            break;
    }
    return "";
}

}  // namespace qorv::widgets
