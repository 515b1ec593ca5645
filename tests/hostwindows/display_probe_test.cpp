#include "widgets/display_probe.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace qorv::widgets {
namespace {

// A Unix socket that accepts connections, as a Wayland compositor's does.
class ListeningSocket {
  public:
    ListeningSocket() {
        char folder[] = "/tmp/qorv-probe-XXXXXX";
        folder_ = mkdtemp(folder);
        path_ = folder_ + "/wayland-7";
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path_.c_str());
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 4);
    }
    ~ListeningSocket() {
        close(fd_);
        unlink(path_.c_str());
        rmdir(folder_.c_str());
    }
    const std::string& folder() const { return folder_; }
    const std::string& path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
    int fd_ = -1;
};

TEST(DisplayProbe, NoVariablesMeansNoDisplay) {
    const DisplayChoice choice = ProbeDisplay({});
    EXPECT_EQ(choice.platform, Platform::None);
    EXPECT_EQ(choice.why, "no display (DISPLAY and WAYLAND_DISPLAY are not set)");
}

TEST(DisplayProbe, AStaleXDisplayCountsAsNone) {
    DisplayEnvironment environment;
    environment.display = ":4712";  // no server there
    const DisplayChoice choice = ProbeDisplay(environment);
    EXPECT_EQ(choice.platform, Platform::None);
    EXPECT_EQ(choice.why, "the X display :4712 cannot be opened");
    EXPECT_EQ(choice.connection, nullptr);
}

TEST(DisplayProbe, WaylandNeedsBothTheSocketAndQtsPlugin) {
    ListeningSocket compositor;
    DisplayEnvironment environment;
    environment.waylandDisplay = "wayland-7";
    environment.runtimeDir = compositor.folder();
    environment.waylandPluginInstalled = true;
    EXPECT_EQ(ProbeDisplay(environment).platform, Platform::Wayland);

    environment.waylandDisplay = compositor.path();  // an absolute name
    environment.runtimeDir.clear();
    EXPECT_EQ(ProbeDisplay(environment).platform, Platform::Wayland);

    environment.waylandPluginInstalled = false;
    environment.display = ":4713";
    const DisplayChoice noPlugin = ProbeDisplay(environment);
    EXPECT_EQ(noPlugin.platform, Platform::None);
    EXPECT_EQ(noPlugin.why, "Qt has no Wayland platform plugin for " + compositor.path() +
                                "; the X display :4713 cannot be opened");

    environment.waylandPluginInstalled = true;
    environment.waylandDisplay = "wayland-7";  // relative, and no runtime folder to find it in
    EXPECT_EQ(ProbeDisplay(environment).why,
              "the Wayland display wayland-7 cannot be opened; the X display :4713 cannot be "
              "opened");
}

}  // namespace
}  // namespace qorv::widgets
