// Reader-layer overhead against raw pcsc-lite, on the simulated card of a
// private pcscd, and the host's round trip over native messaging.
#include <PCSC/winscard.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_stats.h"
#include "reader/apdu_exchange.h"
#include "reader/reader_session.h"
#include "tools/hostclient/host_client.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace {

using namespace qorv;

// Ours, without the fixed pauses of the reader protocol: they are waits
// the protocol asks for, not overhead.
class NoPause final : public reader::Pauser {
  public:
    void Pause(int) override {}
};

constexpr int kRuns = 200;
const uint8_t kSelectAid[] = {0x00, 0xA4, 0x04, 0x00, 0x08, 0xA0, 0x00,
                              0x00, 0x01, 0x72, 0x95, 0x00, 0x01};

// Connect (the answer does not matter: the probe's connect meets our own
// exclusive handle) and read the status, as the reader layer does.
SCARDHANDLE RawConnectAndStatus(SCARDCONTEXT context, const std::string& name,
                                SCARDHANDLE statusOf) {
    SCARDHANDLE handle = 0;
    DWORD protocol = 0;
    SCardConnect(context, name.c_str(), SCARD_SHARE_EXCLUSIVE,
                 SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &handle, &protocol);
    char status[256];
    DWORD statusLength = sizeof status;
    DWORD state = 0;
    BYTE atr[64];
    DWORD atrLength = sizeof atr;
    SCardStatus(statusOf != 0 ? statusOf : handle, status, &statusLength, &state, &protocol, atr,
                &atrLength);
    return handle;
}

}  // namespace

int main() {
    if (geteuid() != 0) {
        std::fprintf(stderr, "qorv-bench-reader starts a private pcscd and needs root\n");
        return 1;
    }
    std::string error;
    auto bed = testbed::PcscTestBed::Start({{"Virtual PCD"}}, &error);
    if (!bed) {
        std::fprintf(stderr, "test bed: %s\n", error.c_str());
        return 1;
    }
    auto card = testbed::SimulatedCard::Start(bed->vpcdPort(0), testbed::CardProtocol::T1,
                                              testbed::DefaultProfilePath(), true, &error);
    if (!card || !testbed::WaitForCard(bed->readerName(0), testbed::CardPresence::Present)) {
        std::fprintf(stderr, "card: %s\n", error.c_str());
        return 1;
    }
    const std::string name = bed->readerName(0);
    const std::u16string wideName(name.begin(), name.end());
    std::printf("reader benchmarks, %d runs each, simulated T=1 card on a private pcscd\n", kRuns);

    // Host round trip of a getter.
    {
        hostclient::HostClient host(HOST_PATH);
        host.Call("GetRespLength");  // start-up out of the measurement
        const double roundTrip = bench::MedianMicros(2000, [&] { host.Call("GetRespLength"); });
        std::printf("%-44s %10.1f us (median)\n", "host round trip of GetRespLength", roundTrip);
    }

    // Connect from nothing: context, listing, connect, status, release.
    reader::DlopenPcscProvider provider;
    NoPause pause;
    const double oursConnect = bench::MedianMicros(kRuns, [&] {
        reader::ReaderSession session(provider, pause);
        reader::Atr atr;
        int32_t slot = 0;
        session.ConnectByName(wideName, reader::kShareTypeExclusive, slot, atr);
        session.ReleaseSession();
    });
    const double rawConnect = bench::MedianMicros(kRuns, [&] {
        SCARDCONTEXT context = 0;
        SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
        char readers[4096];
        DWORD length = sizeof readers;
        SCardListReaders(context, nullptr, readers, &length);
        RawConnectAndStatus(context, name, 0);
        SCardReleaseContext(context);
    });
    bench::PrintRatio("ConnectCard from no session", oursConnect, rawConnect, "raw pcsc-lite");

    // Probe and exchange on one connected session.
    reader::ReaderSession session(provider, pause);
    reader::Atr atr;
    int32_t slot = 0;
    if (session.ConnectByName(wideName, reader::kShareTypeExclusive, slot, atr) != 0) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    const double oursProbe = bench::MedianMicros(kRuns, [&] {
        reader::Atr probed;
        session.ProbeCard(slot, reader::kShareTypeExclusive, probed);
    });
    const auto handle = static_cast<SCARDHANDLE>(*session.slotHandle(slot));
    SCARDCONTEXT rawContext = 0;
    SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &rawContext);
    const double rawProbe =
        bench::MedianMicros(kRuns, [&] { RawConnectAndStatus(rawContext, name, handle); });
    bench::PrintRatio("CheckCardInsert on a connected card", oursProbe, rawProbe,
                      "raw connect+status");

    std::array<uint8_t, reader::kResponseCapacity> response{};
    const double oursExchange = bench::MedianMicros(kRuns, [&] {
        uint8_t le = 0;
        reader::Exchange(session, slot, {0x00, 0xA4, 0x04, 0x00}, 8, &le, kSelectAid + 5,
                         response.data());
    });
    const double rawExchange = bench::MedianMicros(kRuns, [&] {
        BYTE answer[258];
        DWORD answerLength = sizeof answer;
        const BYTE command[] = {0x00, 0xA4, 0x04, 0x00, 0x08, 0xA0, 0x00,
                                0x00, 0x01, 0x72, 0x95, 0x00, 0x01, 0x00};
        SCardTransmit(handle, SCARD_PCI_T1, command, sizeof command, nullptr, answer,
                      &answerLength);
    });
    bench::PrintRatio("Exchange (SELECT of the application)", oursExchange, rawExchange,
                      "raw SCardTransmit");
    SCardReleaseContext(rawContext);
    session.ReleaseSession();
    return 0;
}
