// A pcscd reader driver (IFD handler) for one PC/SC part 10 PIN-pad reader
// whose card is qorv-cardsim. The card program connects to the driver the
// way it connects to vpcd (same frames); the driver adds one control frame
// of its own, 50, that asks the card program what the customer types on the
// pad. The reader announces secure PIN entry through the feature request,
// takes the verify and modify structures, puts the typed PIN into the
// structure's command and passes it to the card.
//
// reader.conf:  DEVICENAME  <log file>:<port>   (every control call the
// driver took is appended to the log file as "<code> <hex bytes>").
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>
}

#include "tools/pinpadifd/pin_entry.h"

namespace {

using qorv::pinpadifd::PinEntry;

constexpr uint8_t kFramePowerOff = 0x00;
constexpr uint8_t kFramePowerOn = 0x01;
constexpr uint8_t kFrameReset = 0x02;
constexpr uint8_t kFrameGetAtr = 0x04;
constexpr uint8_t kFramePadQuery = 0x50;
constexpr uint8_t kFrameSecureEntryReader = 0x51;
constexpr int kReceiveTimeoutMs = 5000;

// The control codes of the features, as CCID readers number them.
constexpr DWORD FeatureCode(uint8_t tag) {
    return SCARD_CTL_CODE(0x330000 + tag);
}

struct Reader {
    std::mutex lock;
    int listenFd = -1;
    int cardFd = -1;
    std::string logPath;
    std::vector<uint8_t> atr;
} gReader;

void CloseCard() {
    if (gReader.cardFd >= 0) close(gReader.cardFd);
    gReader.cardFd = -1;
    gReader.atr.clear();
}

bool SendFrame(const std::vector<uint8_t>& bytes) {
    if (gReader.cardFd < 0) return false;
    std::vector<uint8_t> frame{static_cast<uint8_t>(bytes.size() >> 8U),
                               static_cast<uint8_t>(bytes.size())};
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    if (send(gReader.cardFd, frame.data(), frame.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(frame.size())) {
        CloseCard();
        return false;
    }
    return true;
}

bool ReadExactly(uint8_t* out, std::size_t length) {
    while (length > 0) {
        pollfd wait{gReader.cardFd, POLLIN, 0};
        if (poll(&wait, 1, kReceiveTimeoutMs) <= 0) return false;
        const ssize_t got = recv(gReader.cardFd, out, length, 0);
        if (got <= 0) return false;
        out += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::vector<uint8_t>> Exchange(const std::vector<uint8_t>& request) {
    if (!SendFrame(request)) return std::nullopt;
    std::array<uint8_t, 2> size{};
    if (!ReadExactly(size.data(), size.size())) {
        CloseCard();
        return std::nullopt;
    }
    std::vector<uint8_t> answer(static_cast<std::size_t>(size[0] << 8U | size[1]));
    if (!ReadExactly(answer.data(), answer.size())) {
        CloseCard();
        return std::nullopt;
    }
    return answer;
}

void AcceptCard() {
    if (gReader.cardFd >= 0 || gReader.listenFd < 0) return;
    const int fd = accept4(gReader.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    gReader.cardFd = fd;
    // The card program then fills in no placeholders: this reader does not.
    SendFrame({kFrameSecureEntryReader});
}

bool CardStillLinked() {
    if (gReader.cardFd < 0) return false;
    uint8_t byte = 0;
    const ssize_t got = recv(gReader.cardFd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
        CloseCard();
        return false;
    }
    return true;
}

void Log(DWORD code, const uint8_t* bytes, DWORD length) {
    if (gReader.logPath.empty()) return;
    std::FILE* file = std::fopen(gReader.logPath.c_str(), "a");
    if (file == nullptr) return;
    std::fprintf(file, "%08lX ", static_cast<unsigned long>(code));
    for (DWORD i = 0; i < length; ++i) std::fprintf(file, "%02X", bytes[i]);
    std::fputc('\n', file);
    std::fclose(file);
}

// What the customer does on the pad, from the card program: typed digits
// (old and new PIN), a cancel or nothing at all.
struct PadAction {
    enum Kind { Nothing, Typed, Cancelled } kind = Nothing;
    std::string pin;
    std::string newPin;
};

std::string DigitsOfBlock(const uint8_t* block) {
    std::string digits;
    for (int i = 0; i < 16; ++i) {
        const unsigned nibble = (block[i / 2] >> ((i % 2 == 0) ? 4U : 0U)) & 0x0FU;
        if (nibble > 9) break;
        digits.push_back(static_cast<char>('0' + nibble));
    }
    return digits;
}

PadAction AskPad() {
    PadAction action;
    const auto answer = Exchange({kFramePadQuery});
    // state, has PIN, PIN block (8), has new PIN, new PIN block (8)
    if (!answer || answer->size() != 19) return action;
    const auto& a = *answer;
    if (a[0] == 2) action.kind = PadAction::Cancelled;
    if (a[0] != 1) return action;
    action.kind = PadAction::Typed;
    if (a[1] != 0) action.pin = DigitsOfBlock(&a[2]);
    if (a[10] != 0) action.newPin = DigitsOfBlock(&a[11]);
    return action;
}

RESPONSECODE Answer(const std::vector<uint8_t>& bytes, PUCHAR out, DWORD room, LPDWORD returned) {
    if (bytes.size() > room) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(out, bytes.data(), bytes.size());
    *returned = static_cast<DWORD>(bytes.size());
    return IFD_SUCCESS;
}

// The pad's statuses: 64 00 nothing typed in time, 64 01 cancelled.
std::vector<uint8_t> EnterPin(const PinEntry& entry) {
    const PadAction action = AskPad();
    if (action.kind == PadAction::Cancelled) return {0x64, 0x01};
    std::vector<uint8_t> apdu = entry.apdu;
    if (action.kind != PadAction::Typed) return {0x64, 0x00};
    bool entered = false;
    if (entry.modify) {
        // The confirmation is the same digits typed again.
        entered =
            !action.newPin.empty() && InsertPin(entry, action.newPin, entry.offsetNew, apdu) &&
            ((entry.confirm & 0x02U) == 0 || InsertPin(entry, action.pin, entry.offsetOld, apdu));
    } else {
        entered = !action.pin.empty() && InsertPin(entry, action.pin, 0, apdu);
    }
    if (!entered) return {0x64, 0x00};
    auto answer = Exchange(apdu);
    std::fill(apdu.begin(), apdu.end(), uint8_t{0});
    if (!answer) return {0x6F, 0x00};
    return *answer;
}

std::vector<uint8_t> FeatureList() {
    std::vector<uint8_t> list;
    for (const uint8_t tag : {FEATURE_VERIFY_PIN_DIRECT, FEATURE_MODIFY_PIN_DIRECT,
                              FEATURE_IFD_PIN_PROPERTIES, FEATURE_GET_TLV_PROPERTIES}) {
        const DWORD code = FeatureCode(tag);
        list.insert(list.end(),
                    {tag, 4, static_cast<uint8_t>(code >> 24U), static_cast<uint8_t>(code >> 16U),
                     static_cast<uint8_t>(code >> 8U), static_cast<uint8_t>(code)});
    }
    return list;
}

// Two lines of 16 characters; entry ends with the OK key; 15 s after a key.
constexpr uint8_t kLcdLines = 2, kLcdColumns = 16, kValidation = 0x02, kTimeOut2 = 15;

std::vector<uint8_t> TlvProperties() {
    return {PCSCv2_PART10_PROPERTY_wLcdLayout,
            2,
            kLcdColumns,
            kLcdLines,
            PCSCv2_PART10_PROPERTY_bEntryValidationCondition,
            1,
            kValidation,
            PCSCv2_PART10_PROPERTY_bTimeOut2,
            1,
            kTimeOut2,
            PCSCv2_PART10_PROPERTY_bMinPINSize,
            1,
            4,
            PCSCv2_PART10_PROPERTY_bMaxPINSize,
            1,
            12};
}

}  // namespace

extern "C" {

RESPONSECODE IFDHCreateChannelByName(DWORD /*Lun*/, LPSTR DeviceName) {
    std::lock_guard guard(gReader.lock);
    const std::string device(DeviceName != nullptr ? DeviceName : "");
    const auto colon = device.rfind(':');
    if (colon == std::string::npos) return IFD_COMMUNICATION_ERROR;
    gReader.logPath = device.substr(0, colon);
    const auto port = static_cast<uint16_t>(std::strtoul(device.c_str() + colon + 1, nullptr, 0));
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 1) != 0) {
        if (fd >= 0) close(fd);
        return IFD_COMMUNICATION_ERROR;
    }
    gReader.listenFd = fd;
    return IFD_SUCCESS;
}

RESPONSECODE IFDHCreateChannel(DWORD /*Lun*/, DWORD /*Channel*/) {
    return IFD_COMMUNICATION_ERROR;  // the port comes with DEVICENAME
}

RESPONSECODE IFDHCloseChannel(DWORD /*Lun*/) {
    std::lock_guard guard(gReader.lock);
    CloseCard();
    if (gReader.listenFd >= 0) close(gReader.listenFd);
    gReader.listenFd = -1;
    return IFD_SUCCESS;
}

RESPONSECODE IFDHGetCapabilities(DWORD /*Lun*/, DWORD Tag, PDWORD Length, PUCHAR Value) {
    std::lock_guard guard(gReader.lock);
    switch (Tag) {
        case TAG_IFD_ATR:
            if (*Length < gReader.atr.size()) return IFD_ERROR_INSUFFICIENT_BUFFER;
            std::memcpy(Value, gReader.atr.data(), gReader.atr.size());
            *Length = static_cast<DWORD>(gReader.atr.size());
            return IFD_SUCCESS;
        case TAG_IFD_SLOTS_NUMBER:
        case TAG_IFD_SIMULTANEOUS_ACCESS:
            *Length = 1;
            Value[0] = 1;
            return IFD_SUCCESS;
        case TAG_IFD_THREAD_SAFE:
        case TAG_IFD_SLOT_THREAD_SAFE:
            *Length = 1;
            Value[0] = 0;
            return IFD_SUCCESS;
        default:
            return IFD_ERROR_TAG;
    }
}

RESPONSECODE IFDHSetCapabilities(DWORD /*Lun*/, DWORD /*Tag*/, DWORD /*Length*/, PUCHAR /*Value*/) {
    return IFD_NOT_SUPPORTED;
}

RESPONSECODE IFDHSetProtocolParameters(DWORD /*Lun*/, DWORD /*Protocol*/, UCHAR /*Flags*/,
                                       UCHAR /*PTS1*/, UCHAR /*PTS2*/, UCHAR /*PTS3*/) {
    return IFD_SUCCESS;
}

RESPONSECODE IFDHPowerICC(DWORD /*Lun*/, DWORD Action, PUCHAR Atr, PDWORD AtrLength) {
    std::lock_guard guard(gReader.lock);
    AcceptCard();
    const uint8_t frame = Action == IFD_POWER_DOWN ? kFramePowerOff
                          : Action == IFD_RESET    ? kFrameReset
                                                   : kFramePowerOn;
    if (!SendFrame({frame})) return IFD_ERROR_POWER_ACTION;
    if (Action == IFD_POWER_DOWN) {
        gReader.atr.clear();
        if (AtrLength != nullptr) *AtrLength = 0;
        return IFD_SUCCESS;
    }
    const auto atr = Exchange({kFrameGetAtr});
    if (!atr || atr->empty() || atr->size() > MAX_ATR_SIZE) return IFD_ERROR_POWER_ACTION;
    gReader.atr = *atr;
    std::memcpy(Atr, atr->data(), atr->size());
    *AtrLength = static_cast<DWORD>(atr->size());
    return IFD_SUCCESS;
}

RESPONSECODE IFDHTransmitToICC(DWORD /*Lun*/, SCARD_IO_HEADER /*SendPci*/, PUCHAR TxBuffer,
                               DWORD TxLength, PUCHAR RxBuffer, PDWORD RxLength,
                               PSCARD_IO_HEADER /*RecvPci*/) {
    std::lock_guard guard(gReader.lock);
    const auto answer = Exchange(std::vector<uint8_t>(TxBuffer, TxBuffer + TxLength));
    if (!answer) return IFD_COMMUNICATION_ERROR;
    if (answer->size() > *RxLength) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(RxBuffer, answer->data(), answer->size());
    *RxLength = static_cast<DWORD>(answer->size());
    return IFD_SUCCESS;
}

RESPONSECODE IFDHControl(DWORD /*Lun*/, DWORD dwControlCode, PUCHAR TxBuffer, DWORD TxLength,
                         PUCHAR RxBuffer, DWORD RxLength, LPDWORD pdwBytesReturned) {
    std::lock_guard guard(gReader.lock);
    *pdwBytesReturned = 0;
    Log(dwControlCode, TxBuffer, TxLength);
    const std::span<const uint8_t> sent(TxBuffer, TxLength);
    if (dwControlCode == CM_IOCTL_GET_FEATURE_REQUEST) {
        return Answer(FeatureList(), RxBuffer, RxLength, pdwBytesReturned);
    }
    if (dwControlCode == FeatureCode(FEATURE_GET_TLV_PROPERTIES)) {
        return Answer(TlvProperties(), RxBuffer, RxLength, pdwBytesReturned);
    }
    if (dwControlCode == FeatureCode(FEATURE_IFD_PIN_PROPERTIES)) {
        return Answer({kLcdColumns, kLcdLines, kValidation, kTimeOut2}, RxBuffer, RxLength,
                      pdwBytesReturned);
    }
    const bool verify = dwControlCode == FeatureCode(FEATURE_VERIFY_PIN_DIRECT);
    if (!verify && dwControlCode != FeatureCode(FEATURE_MODIFY_PIN_DIRECT)) {
        return IFD_ERROR_NOT_SUPPORTED;
    }
    const std::optional<PinEntry> entry = verify ? qorv::pinpadifd::ParseVerifyStructure(sent)
                                                 : qorv::pinpadifd::ParseModifyStructure(sent);
    // The reader refuses the structure before the customer sees anything.
    if (!entry) return IFD_COMMUNICATION_ERROR;
    if (!CardStillLinked()) return IFD_COMMUNICATION_ERROR;
    return Answer(EnterPin(*entry), RxBuffer, RxLength, pdwBytesReturned);
}

RESPONSECODE IFDHICCPresence(DWORD /*Lun*/) {
    std::lock_guard guard(gReader.lock);
    AcceptCard();
    return CardStillLinked() ? IFD_ICC_PRESENT : IFD_ICC_NOT_PRESENT;
}

}  // extern "C"
