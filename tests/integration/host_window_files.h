// Files the tests of the host's windows share with the host: the scripted
// person's script and the host's standard error, where it reports each window
// it shows.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qorv::testing {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file of its own under /tmp, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::string& content = {}) {
        char name[] = "/tmp/qorv-host-window-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        if (fd >= 0) {
            if (!content.empty() && write(fd, content.data(), content.size()) < 0) path_.clear();
            close(fd);
        }
    }
    ~TempFile() { unlink(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The environment of a host that shows its windows offscreen to the scripted
// person of scriptPath and reports each window on its standard error.
inline std::vector<std::string> ScriptedHostEnvironment(const std::string& scriptPath) {
    std::vector<std::string> environment{"QT_QPA_PLATFORM=offscreen", "QORV_REPORT_WINDOWS=1",
                                         "DISPLAY=", "WAYLAND_DISPLAY="};
    environment.push_back("QORV_SCRIPTED_PERSON=" + scriptPath);
    environment.push_back(std::string("LSAN_OPTIONS=suppressions=") + QORV_HOST_LSAN_SUPPRESSIONS);
    return environment;
}

}  // namespace qorv::testing
