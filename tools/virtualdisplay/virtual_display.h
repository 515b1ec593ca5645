// A private X server (Xvfb) on a display number it picks itself, stopped
// with this object. For tests and benchmarks of the host's windows.
#pragma once

#include <sys/types.h>

#include <string>

namespace qorv::testbed {

class VirtualDisplay {
  public:
    VirtualDisplay();  // waits until the server accepts connections (up to 10 s)
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool running() const { return !name_.empty(); }
    // The DISPLAY value, e.g. ":93"; empty when the server did not start.
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace qorv::testbed
