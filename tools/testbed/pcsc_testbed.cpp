#include "tools/testbed/pcsc_testbed.h"

#include <PCSC/winscard.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tools/testbed/free_ports.h"
#include "tools/testbed/private_pcscd.h"

namespace qorv::testbed {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kReaderWait = 3s;
constexpr auto kStopGrace = 3s;
constexpr int kPortAttempts = 4;  // another process may take a port between probe and bind
constexpr char kFolderPrefix[] = "qorv-testbed-";

// pcsc-lite reads the socket name once per process: one test bed at a time.
std::atomic<bool> gTestBedRunning{false};

bool ValidNames(const std::vector<ReaderSpec>& readers, std::string* error) {
    std::set<std::string> seen;
    for (const auto& reader : readers) {
        const auto& name = reader.friendlyName;
        if (name.empty() || name.find_first_of("\"\n\r") != std::string::npos) {
            *error = "reader name \"" + name + "\" is empty or holds quotes or line breaks";
            return false;
        }
        if (!seen.insert(name).second) {
            *error = "reader name \"" + name + "\" is used twice";
            return false;
        }
    }
    return true;
}

bool ProcessAlive(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

// Removes the folders of test processes that died without cleaning up.
void RemoveStaleFolders() {
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator("/tmp", failure)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kFolderPrefix, 0) != 0) {
            continue;
        }
        const long owner = std::strtol(name.c_str() + std::strlen(kFolderPrefix), nullptr, 10);
        if (owner > 0 && kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            fs::remove_all(entry.path(), failure);
        }
    }
}

}  // namespace

PcscTestBed::PcscTestBed(std::vector<ReaderSpec> readers, std::string folder)
    : readers_(std::move(readers)),
      folder_(std::move(folder)),
      socketPath_(folder_ + "/run/pcscd.comm") {}

std::unique_ptr<PcscTestBed> PcscTestBed::Start(const std::vector<ReaderSpec>& readers,
                                                std::string* error) {
    if (!ValidNames(readers, error)) {
        return nullptr;
    }
    if (gTestBedRunning.exchange(true)) {
        *error = "a test bed is already running in this process";
        return nullptr;
    }
    RemoveStaleFolders();
    const std::string folder = std::string("/tmp/") + kFolderPrefix + std::to_string(getpid());
    std::unique_ptr<PcscTestBed> bed(new PcscTestBed(readers, folder));
    if (!bed->Prepare(error)) {
        return nullptr;
    }
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        const auto seed = static_cast<uint32_t>(getpid()) + static_cast<uint32_t>(attempt) * 7919U;
        const auto ports = FindFreePortPairs(readers.size(), seed);
        if (!ports) {
            *error = "no free TCP ports for the vpcd readers";
            return nullptr;
        }
        bed->ports_ = *ports;
        if (bed->Launch(error) && bed->WaitForReaders(error)) {
            return bed;
        }
        StopProcess(bed->pid_, kStopGrace);
        bed->pid_ = -1;
        error->append("\npcscd log:\n" + bed->PcscdLog());
    }
    return nullptr;
}

PcscTestBed::~PcscTestBed() {
    StopProcess(pid_, kStopGrace);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    gTestBedRunning = false;
}

bool PcscTestBed::Prepare(std::string* error) {
    std::error_code failure;
    fs::remove_all(folder_, failure);  // left over by a crashed process with our PID
    fs::create_directories(folder_ + "/run", failure);
    if (!failure) {
        fs::create_directories(folder_ + "/no-usb-drivers", failure);
    }
    // vpcd keeps its connections in driver-wide variables, so every reader
    // gets its own copy of the driver (pcscd shares one loaded driver among
    // the readers that name the same file).
    for (size_t i = 0; i < readers_.size() && !failure; ++i) {
        fs::copy_file(readers_[i].part10PinPad ? QORV_PINPAD_IFD_DRIVER : QORV_VPCD_DRIVER,
                      folder_ + "/vpcd-" + std::to_string(i) + ".so",
                      fs::copy_options::overwrite_existing, failure);
    }
    if (failure) {
        *error = "preparing " + folder_ + ": " + failure.message() +
                 " (vpcd driver: " QORV_VPCD_DRIVER ")";
        return false;
    }
    // Clients find the private pcscd through this; see the header.
    setenv("PCSCLITE_CSOCK_NAME", socketPath_.c_str(), 1);
    return true;
}

bool PcscTestBed::Launch(std::string* error) {
    const std::string config = folder_ + "/reader.conf";
    std::ofstream file(config, std::ios::trunc);
    for (size_t i = 0; i < readers_.size(); ++i) {
        // vpcd reads the port after the colon (strtoul, any base); /dev/null
        // makes it listen rather than connect.
        // The part 10 driver logs the control calls it took before the port.
        const std::string device = readers_[i].part10PinPad
                                       ? folder_ + "/pinpad-" + std::to_string(i) + ".log"
                                       : std::string("/dev/null");
        file << "FRIENDLYNAME \"" << readers_[i].friendlyName << "\"\n"
             << "DEVICENAME   " << device << ":" << ports_[i] << "\n"
             << "LIBPATH      " << folder_ << "/vpcd-" << i << ".so\n\n";
    }
    file.close();
    if (!file) {
        *error = "cannot write " + config;
        return false;
    }
    const PcscdLaunch launch{
        QORV_PCSCD_PATH,          folder_ + "/run", folder_ + "/no-usb-drivers",
        QORV_PCSC_USB_DRIVER_DIR, config,           folder_ + "/pcscd.log"};
    pid_ = LaunchPrivatePcscd(launch, error);
    return pid_ > 0;
}

bool PcscTestBed::WaitForReaders(std::string* error) const {
    const auto expected = ExpectedReaderNames();
    const auto deadline = std::chrono::steady_clock::now() + kReaderWait;
    std::vector<std::string> listed;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!ProcessAlive(pid_)) {
            *error = "pcscd exited during start";
            return false;
        }
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) ==
            SCARD_S_SUCCESS) {
            char names[4096];
            DWORD length = sizeof names;
            const LONG result = SCardListReaders(context, nullptr, names, &length);
            SCardReleaseContext(context);
            listed.clear();
            for (const char* name = names; result == SCARD_S_SUCCESS && *name != '\0';
                 name += std::strlen(name) + 1) {
                listed.emplace_back(name);
            }
            if (listed == expected) {
                return true;
            }
        }
        std::this_thread::sleep_for(5ms);
    }
    std::ostringstream message;
    message << "pcscd did not list the expected readers within 3 s (listed " << listed.size()
            << " of " << expected.size() << "); a vpcd port may be taken";
    *error = message.str();
    return false;
}

std::string PcscTestBed::readerName(size_t reader) const {
    return readers_.at(reader).friendlyName + " 00 00";
}

std::vector<std::string> PcscTestBed::ExpectedReaderNames() const {
    std::vector<std::string> names;
    for (const auto& reader : readers_) {
        names.push_back(reader.friendlyName + " 00 00");
        if (!reader.part10PinPad) names.push_back(reader.friendlyName + " 00 01");
    }
    return names;
}

std::vector<std::string> PcscTestBed::PinPadControls(size_t reader) const {
    std::ifstream file(folder_ + "/pinpad-" + std::to_string(reader) + ".log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string PcscTestBed::PcscdLog() const {
    std::ifstream file(folder_ + "/pcscd.log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool PcscTestBed::Restart(std::string* error) {
    StopProcess(pid_, kStopGrace);
    pid_ = -1;
    return Launch(error) && WaitForReaders(error);
}

}  // namespace qorv::testbed
