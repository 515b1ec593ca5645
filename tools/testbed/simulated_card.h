// RAII over a qorv-cardsim child process: the simulated FISC card in one vpcd
// reader, driven through the card's line-based control interface.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qorv::testbed {

enum class CardProtocol { T0, T1 };

// A write command the host sent to the card, as the card recorded it.
struct WrittenRecord {
    uint8_t ins = 0;  // E2 transaction record, D2 PIN record
    uint8_t p1 = 0;
    uint8_t p2 = 0;
    std::vector<uint8_t> data;  // the command data bytes
    uint16_t status = 0;        // what the card answered (9000 when written)
};

class SimulatedCard {
  public:
    static std::unique_ptr<SimulatedCard> Start(uint16_t vpcdPort, CardProtocol protocol,
                                                const std::string& profilePath, bool inserted,
                                                std::string* error);
    // Sends quit and reaps the process (SIGTERM after a grace time).
    ~SimulatedCard();
    SimulatedCard(const SimulatedCard&) = delete;
    SimulatedCard& operator=(const SimulatedCard&) = delete;

    // Each returns once the card program has acted; pcscd notices within about
    // 400 ms (see WaitForCard).
    bool Insert();
    bool Remove();
    // Replaces the card's contents in place (no removal is seen by pcscd).
    bool Reload(const std::string& profilePath);
    // The last write commands (at most 16), oldest first.
    std::vector<WrittenRecord> WrittenRecords();
    // What the customer does on the keypad of the reader the card sits in:
    // the card program plays a PIN-pad reader's firmware (tools/cardsim/pin_pad.h).
    // PadTypes: the PIN typed for a verify or a transaction, and the new PIN
    // of a change (empty: none). PadOff: the reader is no PIN-pad again.
    bool PadTypes(const std::string& pin, const std::string& newPin = {});
    bool PadCancels();
    bool PadTimesOut();
    bool PadOff();
    // The card's state as one JSON object text (inserted, connected, nextSnum, ...).
    std::string Status();

    // Sends one control line and returns the answer line without its "ok "
    // prefix; nothing on an "error" answer or a dead card program (see lastError()).
    bool Command(const std::string& line, std::string* answer);
    const std::string& lastError() const { return lastError_; }

  private:
    SimulatedCard(pid_t pid, int toCard, int fromCard)
        : pid_(pid), toCard_(toCard), fromCard_(fromCard) {}
    bool ReadLine(std::chrono::milliseconds timeout, std::string* line);

    pid_t pid_;
    int toCard_;
    int fromCard_;
    std::string buffered_;
    std::string lastError_;
};

}  // namespace qorv::testbed
