// pcscd, the readers, which of them are PIN-pad readers, and the cards in them.
#include <string>
#include <vector>

#include "base/utf16.h"
#include "card/pin_pad.h"
#include "host/doctor_checks.h"
#include "reader/pcsc_api.h"
#include "reader/pcsc_provider.h"

namespace qorv::host {
namespace {

using reader::PcscApi;
using reader::PcscContext;
using reader::PcscDword;
using reader::PcscHandle;
namespace pcsc = reader::pcsc;

std::vector<std::string> SplitMultiString(const std::vector<char>& buffer) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < buffer.size() && buffer[start] != '\0') {
        std::string name(buffer.data() + start);
        start += name.size() + 1;
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::string> ListReaders(const PcscApi& api, PcscContext context, int32_t& rc) {
    PcscDword length = 0;
    rc = static_cast<int32_t>(api.listReaders(context, nullptr, nullptr, &length));
    if (rc != pcsc::kSuccess || length == 0) return {};
    std::vector<char> buffer(length + 1, '\0');
    rc = static_cast<int32_t>(api.listReaders(context, nullptr, buffer.data(), &length));
    return rc == pcsc::kSuccess ? SplitMultiString(buffer) : std::vector<std::string>{};
}

// A card is there when the reader lets us connect to it, or another
// program holds it.
bool CardPresent(const PcscApi& api, PcscContext context, const std::string& name) {
    PcscHandle card = 0;
    PcscDword protocol = 0;
    const auto rc = static_cast<int32_t>(api.connect(context, name.c_str(), pcsc::kShareShared,
                                                     pcsc::kProtocolT0OrT1, &card, &protocol));
    if (rc == pcsc::kSuccess) api.disconnect(card, pcsc::kLeaveCard);
    return rc == pcsc::kSuccess || rc == pcsc::kSharingViolation;
}

Finding NoService(const std::string& why) {
    return {"pcscd",
            Severity::Problem,
            {"無法連線智慧卡服務 pcscd（" + why + "）",
             "the smart card service pcscd is not reachable (" + why + ")"},
            {"安裝並啟動 pcscd：sudo apt install pcscd && sudo systemctl enable --now pcscd.socket",
             "install and start pcscd: sudo apt install pcscd && sudo systemctl enable --now "
             "pcscd.socket"}};
}

std::string Hex(int32_t rc) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(rc));
    return text;
}

}  // namespace

std::vector<Finding> CheckSmartCards(const Machine& machine) {
    const PcscApi* api = machine.pcsc != nullptr ? machine.pcsc->Load() : nullptr;
    if (api == nullptr) return {NoService("libpcsclite.so.1")};
    PcscContext context = 0;
    const auto established =
        static_cast<int32_t>(api->establishContext(pcsc::kScopeUser, nullptr, nullptr, &context));
    if (established != pcsc::kSuccess) return {NoService(Hex(established))};
    std::vector<Finding> findings;
    findings.push_back(
        {"pcscd", Severity::Ok, {"智慧卡服務 pcscd 可連線", "pcscd is reachable"}, {}});
    int32_t rc = 0;
    const std::vector<std::string> readers = ListReaders(*api, context, rc);
    if (readers.empty()) {
        findings.push_back(
            {"reader",
             Severity::Problem,
             {"找不到讀卡機", "no card reader found"},
             {"接上讀卡機（USB），必要時安裝其驅動程式（如 libccid）",
              "plug in the card reader (USB); if it is still not found, install its driver "
              "(such as libccid)"}});
    }
    bool anyCard = false;
    for (const std::string& name : readers) {
        const bool pinPad = card::ClassifyPinPadReader(Utf8ToUtf16(name)) != card::kReaderClassNone;
        const bool card = CardPresent(*api, context, name);
        anyCard = anyCard || card;
        Said said{"讀卡機 " + name, "reader " + name};
        said.zh.append(pinPad ? "（有密碼鍵盤）" : "").append(card ? "：已插入晶片卡" : "：未插卡");
        said.en.append(pinPad ? " (PIN pad)" : "").append(card ? ": card inserted" : ": no card");
        findings.push_back({"reader", Severity::Ok, std::move(said), {}});
    }
    if (!readers.empty() && !anyCard) {
        findings.push_back({"card",
                            Severity::Warning,
                            {"讀卡機中沒有晶片卡", "no card in any reader"},
                            {"將晶片卡插入讀卡機", "insert the chip card into the reader"}});
    }
    api->releaseContext(context);
    return findings;
}

std::vector<Finding> CheckEverything(const Machine& machine) {
    std::vector<Finding> all;
    for (auto* check : {CheckSmartCards, CheckBrowsers, CheckDisplay, CheckFont}) {
        std::vector<Finding> some = check(machine);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

}  // namespace qorv::host
