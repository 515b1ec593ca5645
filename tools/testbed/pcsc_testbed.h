// A private pcscd with vpcd virtual readers, for tests and the demo.
//
//   std::string error;
//   auto bed = PcscTestBed::Start({{"Virtual PCD"}, {"ACS ACR83U"}}, &error);
//   auto card = SimulatedCard::Start(bed->vpcdPort(0), CardProtocol::T1,
//                                    DefaultProfilePath(), true, &error);
//   WaitForCard(bed->readerName(0), CardPresence::Present);
//   ... plain pcsc-lite calls, or the product, with PCSCLITE_CSOCK_NAME=bed->socketPath()
//
// pcscd runs in a mount namespace of its own (needs root): its /run/pcscd is a
// private folder and its USB driver folder is hidden, so a system pcscd and
// real readers are never touched.
//
// pcsc-lite's client library reads PCSCLITE_CSOCK_NAME once per process, so
// the private folder is the same for every test bed of a process
// (/tmp/qorv-testbed-<pid>) and only one test bed may run at a time in a
// process. Start() sets PCSCLITE_CSOCK_NAME in this process's environment;
// child processes inherit it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qorv::testbed {

// Reader models with a PIN pad, as their names begin. A test bed reader named
// after one of them is listed as "<model> 00 00" like a real one, so the
// product takes it for that model; the card program in it plays the keypad
// (SimulatedCard::PadTypes).
inline constexpr const char* kPinPadReaderModels[] = {"Todos eCode Connectable II", "ACS ACR83U",
                                                      "Todos eCode Connectable", "ACS APG8201",
                                                      "CASTLES EZpad"};

struct ReaderSpec {
    // pcsc-lite lists the reader as "<friendlyName> 00 00" (the slot the card
    // goes in) and "<friendlyName> 00 01" (a second, empty vpcd slot).
    std::string friendlyName = "Virtual PCD";
    // A PIN-pad reader with secure PIN entry through PC/SC part 10 (one
    // slot, "<friendlyName> 00 00"), served by tools/pinpadifd instead of
    // vpcd; the card program in it plays the keypad as for the models.
    bool part10PinPad = false;
};

// An ordinary CCID PIN-pad reader's name that no PIN-pad model begins with.
inline constexpr const char* kPart10PinPadReader = "Cherry SmartTerminal ST-2xxx";

class PcscTestBed {
  public:
    // Starts pcscd and waits until every reader is listed. Friendly names must
    // be distinct (pcsc-lite would list duplicates under the same name).
    static std::unique_ptr<PcscTestBed> Start(const std::vector<ReaderSpec>& readers,
                                              std::string* error);
    // Stops pcscd (SIGTERM, waitpid) and removes the private folder.
    ~PcscTestBed();
    PcscTestBed(const PcscTestBed&) = delete;
    PcscTestBed& operator=(const PcscTestBed&) = delete;

    const std::string& socketPath() const { return socketPath_; }  // PCSCLITE_CSOCK_NAME
    const std::string& folder() const { return folder_; }
    pid_t pcscdPid() const { return pid_; }
    size_t readerCount() const { return readers_.size(); }
    uint16_t vpcdPort(size_t reader) const { return ports_.at(reader); }
    // The name of the reader's card slot: "<friendlyName> 00 00".
    std::string readerName(size_t reader) const;
    // The control calls the part 10 driver of `reader` took, one per line:
    // "<control code, 8 hex digits> <bytes sent, hex>".
    std::vector<std::string> PinPadControls(size_t reader) const;
    // Every name pcsc-lite lists, in its order (two slots per vpcd reader).
    std::vector<std::string> ExpectedReaderNames() const;
    // pcscd's output so far, for failure messages.
    std::string PcscdLog() const;

    // Stops pcscd and starts it again on the same ports, as when the service
    // restarts under a running card.
    bool Restart(std::string* error);

  private:
    PcscTestBed(std::vector<ReaderSpec> readers, std::string folder);
    bool Prepare(std::string* error);
    bool Launch(std::string* error);
    bool WaitForReaders(std::string* error) const;

    std::vector<ReaderSpec> readers_;
    std::string folder_;
    std::string socketPath_;
    std::vector<uint16_t> ports_;
    pid_t pid_ = -1;
};

}  // namespace qorv::testbed
