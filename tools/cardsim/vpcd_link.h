// The card side of the vpcd TCP link: the card connects to the port the vpcd
// reader driver listens on (connecting = inserting the card, closing = removing
// it). Every frame, both ways, is a 2-byte big-endian length and the bytes.
// vpcd sends 1-byte control frames (00 power off, 01 power on, 02 reset,
// 04 get ATR; only 04 is answered, with the ATR) and longer frames holding a
// command APDU.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qorv::cardsim {

namespace vpcd {
inline constexpr uint8_t kPowerOff = 0x00;
inline constexpr uint8_t kPowerOn = 0x01;
inline constexpr uint8_t kReset = 0x02;
inline constexpr uint8_t kGetAtr = 0x04;
// Not vpcd's: the part 10 PIN-pad driver (tools/pinpadifd) asks what the
// customer types on the pad (answered with PinPadReader::PadQueryAnswer).
inline constexpr uint8_t kPadQuery = 0x50;
// Also the driver's: "I am a part 10 reader" (no answer), sent once linked.
inline constexpr uint8_t kSecureEntryReader = 0x51;
}  // namespace vpcd

class VpcdLink {
  public:
    // Connects to vpcd; nothing when nobody listens (pcscd not running yet).
    static std::unique_ptr<VpcdLink> Connect(const std::string& host, uint16_t port,
                                             std::string* error);
    ~VpcdLink();
    VpcdLink(const VpcdLink&) = delete;
    VpcdLink& operator=(const VpcdLink&) = delete;

    int fd() const { return fd_; }

    // Blocks until one whole frame has arrived; false when vpcd closed the link.
    bool Receive(std::vector<uint8_t>* frame);
    bool Send(std::span<const uint8_t> frame);

  private:
    explicit VpcdLink(int fd) : fd_(fd) {}
    bool ReadExactly(uint8_t* buffer, size_t length);

    int fd_;
};

}  // namespace qorv::cardsim
