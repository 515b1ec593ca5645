// qorv-demo: a whole session of a bank page with the component, through the
// real PC/SC stack: a private pcscd with a vpcd reader, the simulated FISC
// card, and qorvclientatm-host driven over native messaging as a browser
// drives it. Prints every call and its result.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tools/hostclient/host_client.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace {

using nlohmann::json;
using qorv::hostclient::HostClient;
namespace testbed = qorv::testbed;

struct Options {
    testbed::CardProtocol protocol = testbed::CardProtocol::T1;
    std::string profile = testbed::DefaultProfilePath();
    std::string reader = "Virtual PCD";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--t0") {
            options.protocol = testbed::CardProtocol::T0;
        } else if (arg == "--t1") {
            options.protocol = testbed::CardProtocol::T1;
        } else if (arg == "--profile" && i + 1 < argc) {
            options.profile = argv[++i];
        } else if (arg == "--reader" && i + 1 < argc) {
            options.reader = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: qorv-demo [--t0|--t1] [--profile FILE.json] [--reader NAME]\n");
            return false;
        }
    }
    return true;
}

// Prints "Method(args) = result" the way a page would see it.
class Session {
  public:
    explicit Session(HostClient& host) : host_(host) {}

    json Call(const std::string& method, const json& params = json::array()) {
        std::string shown;
        for (const auto& p : params) shown += (shown.empty() ? "" : ", ") + p.dump();
        const auto reply = host_.Call(method, params);
        if (!reply) {
            std::printf("  %s(%s) -> no answer from the host\n", method.c_str(), shown.c_str());
            ++failures_;
            return nullptr;
        }
        if (reply->contains("error")) {
            std::printf("  %s(%s) -> %s %s\n", method.c_str(), shown.c_str(),
                        (*reply)["error"]["name"].get<std::string>().c_str(),
                        (*reply)["error"]["message"].get<std::string>().c_str());
            ++failures_;
            return nullptr;
        }
        const json result = (*reply)["result"];
        std::printf("  %s(%s) = %s\n", method.c_str(), shown.c_str(), result.dump().c_str());
        return result;
    }

    int failures() const { return failures_; }

  private:
    HostClient& host_;
    int failures_ = 0;
};

void Heading(const char* text) {
    std::printf("\n%s\n", text);
}

std::string ProfilePin(const std::string& path) {
    std::ifstream in(path);
    const json profile = json::parse(in, nullptr, false);
    if (profile.is_discarded() || !profile.contains("pin")) return "123456";
    return profile["pin"].value("value", "123456");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (geteuid() != 0) {
        std::fprintf(
            stderr,
            "qorv-demo starts a private pcscd in its own mount namespace and needs root.\n");
        return 1;
    }

    std::printf("QorvClientATM demo: a bank page's session with a simulated FISC card\n");
    std::string error;
    auto bed = testbed::PcscTestBed::Start({{options.reader}}, &error);
    if (!bed) {
        std::fprintf(stderr, "cannot start the private pcscd: %s\n", error.c_str());
        return 1;
    }
    const std::string reader = bed->readerName(0);
    auto card = testbed::SimulatedCard::Start(bed->vpcdPort(0), options.protocol, options.profile,
                                              true, &error);
    if (!card || !testbed::WaitForCard(reader, testbed::CardPresence::Present)) {
        std::fprintf(stderr, "cannot insert the simulated card: %s\n", error.c_str());
        return 1;
    }
    std::printf("private pcscd at %s, card (%s) in \"%s\"\n", bed->socketPath().c_str(),
                options.protocol == testbed::CardProtocol::T0 ? "T=0" : "T=1", reader.c_str());

    HostClient host(HOST_PATH);
    Session page(host);

    Heading("Readers");
    page.Call("ConnectReader");
    page.Call("ListReaders");
    const json count = page.Call("GetReaderNumber");
    for (int i = 0; count.is_number() && i < count.get<int>(); ++i) page.Call("GetReaderName", {i});

    Heading("Card session");
    page.Call("ConnectCard", {reader});
    page.Call("GetCardStatus");
    page.Call("CheckCardInsert");
    std::printf("  -- the customer takes the card out --\n");
    card->Remove();
    testbed::WaitForCard(reader, testbed::CardPresence::Absent);
    page.Call("CheckCardInsert");
    std::printf("  -- and puts it back --\n");
    card->Insert();
    testbed::WaitForCard(reader, testbed::CardPresence::Present);
    page.Call("ConnectCard", {reader});
    page.Call("CheckCardInsert");

    Heading("Card data");
    page.Call("ReadCardSN");
    page.Call("GetIssuerBank");
    page.Call("GetICCRemark");
    page.Call("ListEF1001Accounts");
    const json accounts = page.Call("GetEF1001TotalAccounts");
    for (int i = 0; accounts.is_number() && i < accounts.get<int>(); ++i) {
        page.Call("GetEF1001Account", {i});
    }
    page.Call("ListEF1002Accounts");
    page.Call("GetEF1002TotalAccounts");

    Heading("PIN and a transfer authorised by the card");
    page.Call("VerifyPIN", {ProfilePin(options.profile)});
    const json from = page.Call("GetEF1001Account", {0});
    const std::string account = from.is_string() ? from.get<std::string>() : "0058100012345678";
    page.Call("AccountTransfer",
              {"2541", "00000001", "12345678", "00000000150000", "8120058200087654321", account});
    page.Call("GetRespSNUM");
    page.Call("GetRespTAC");
    page.Call("GetRespDateTime");
    page.Call("GetTransactionIssuer");
    page.Call("GetTransactionRemark");
    page.Call("GetTransactionAccount");

    Heading("End of session");
    page.Call("DisconnectCard");
    page.Call("DisconnectReader");
    const int exitCode = host.CloseAndWait();
    std::printf("\nhost exited with %d; %d call(s) failed in the automation layer\n", exitCode,
                page.failures());
    return page.failures() == 0 && exitCode == 0 ? 0 : 1;
}
