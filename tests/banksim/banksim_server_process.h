// Runs qorv-banksim as a child process, the way the demo starts it, and stops
// it with SIGTERM.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qorv::banksim {

class BanksimServerProcess {
  public:
    // Starts `qorv-banksim serve --port 0 <arguments>` and reads its first line.
    explicit BanksimServerProcess(const std::vector<std::string>& arguments);
    ~BanksimServerProcess();
    BanksimServerProcess(const BanksimServerProcess&) = delete;
    BanksimServerProcess& operator=(const BanksimServerProcess&) = delete;

    // "listening 127.0.0.1:PORT", or empty when the server said nothing in time.
    const std::string& firstLine() const { return firstLine_; }
    int port() const;
    // SIGTERM and the exit status (-1 when it had to be killed).
    int Stop();

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string firstLine_;
};

}  // namespace qorv::banksim
