#include "tools/demo/console_session.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tools/demo/demo_card.h"
#include "tools/hostclient/host_client.h"
#include "tools/testbed/card_presence.h"

namespace qorv::demo {
namespace {

using nlohmann::json;
using qorv::hostclient::HostClient;

// Prints "Method(args) = result" the way a page would see it.
class Session {
  public:
    explicit Session(HostClient& host) : host_(host) {}

    json Call(const std::string& method, const json& params = json::array()) {
        std::string shown;
        for (const auto& p : params) {
            shown += (shown.empty() ? "" : ", ") + p.dump();
        }
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
        json result = (*reply)["result"];
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
    if (profile.is_discarded() || !profile.contains("pin")) {
        return "123456";
    }
    return profile["pin"].value("value", "123456");
}

}  // namespace

int RunConsoleSession(const DemoOptions& options) {
    std::printf("QorvClientATM demo: a bank page's session with a simulated FISC card\n");
    auto started = StartDemoCard(options);
    if (!started) {
        return 1;
    }
    const std::string& reader = started->reader;
    auto& card = started->card;

    HostClient host(QORV_HOST_PATH);
    Session page(host);

    Heading("Readers");
    page.Call("ConnectReader");
    page.Call("ListReaders");
    const json count = page.Call("GetReaderNumber");
    for (int i = 0; count.is_number() && i < count.get<int>(); ++i) {
        page.Call("GetReaderName", {i});
    }

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

}  // namespace qorv::demo
