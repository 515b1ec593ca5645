// Joins the card model, its vpcd link and the line-based control interface
// that tests drive through stdin/stdout. Single-threaded: main() polls the
// control input and the link and calls in here.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/cardsim/fisc_card.h"
#include "tools/cardsim/pin_pad.h"
#include "tools/cardsim/vpcd_link.h"

namespace qorv::cardsim {

struct SimulatorOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0x8C7B;  // vpcd's default port
    Protocol protocol = Protocol::T1;
    std::string profilePath;
    bool inserted = true;
    bool verbose = false;  // APDUs and link events on stderr
};

class CardSimulator {
  public:
    CardSimulator(SimulatorOptions options, CardProfile profile);

    // Answers one control line with one line starting "ok" or "error".
    std::string HandleControl(std::string_view line, bool* quit);

    // The link's descriptor to poll, or -1 while the card is out of the reader
    // or vpcd is not reachable.
    int linkFd() const { return link_ ? link_->fd() : -1; }
    // Serves one frame from vpcd; drops the link when vpcd closed it.
    void ServeLink();
    // While inserted and not linked, tries to reach vpcd again (at most every
    // 100 ms), so the card survives pcscd restarts. Returns the poll timeout
    // in milliseconds until the next attempt, or -1 when none is due.
    int Reconnect();

  private:
    std::string Insert();
    std::string Remove();
    std::string Reload(const std::string& path);
    std::string Records() const;
    std::string Status() const;
    void DropLink(const char* why);

    SimulatorOptions options_;
    FiscCard card_;
    PinPadReader pad_;  // the reader's firmware in front of the card
    bool inserted_;
    std::unique_ptr<VpcdLink> link_;
    std::chrono::steady_clock::time_point nextAttempt_{};
};

}  // namespace qorv::cardsim
