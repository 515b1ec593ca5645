// A scripted PC/SC for tests: readers and cards are configured in the test,
// transmits follow a script of (expected command, response) pairs, any call
// can be forced to fail, and every call is recorded. It serves the reader
// layer through the same function table that libpcsclite fills.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "reader/pcsc_provider.h"

namespace qorv::testing {

using Bytes = std::vector<uint8_t>;
Bytes HexBytes(const std::string& hex);  // "00 A4 04 00" or "00A40400"
std::string ToHex(const Bytes& bytes);   // "00A40400"

struct FakeCard {
    Bytes atr{0x3B, 0x02, 0x14, 0x50};
    reader::PcscDword protocol = reader::pcsc::kProtocolT0;
    bool present = true;
    bool heldByOther = false;  // another program holds it exclusively
    int insertions = 1;        // bumped by Reinsert(): old handles see "removed"
};

struct PcscCall {
    std::string function;        // "connect", "transmit", ...
    std::string reader;          // connect
    reader::PcscDword mode = 0;  // share mode, disposition or reconnect init
    reader::PcscHandle handle = 0;
    Bytes apdu;  // transmit, control (mode holds the control code)
};

struct ScriptedExchange {
    Bytes command;
    Bytes response;
};

struct ScriptedControl {
    reader::PcscDword code = 0;
    Bytes command;
    Bytes response;
};

class FakePcsc final : public reader::PcscProvider {
  public:
    FakePcsc();
    ~FakePcsc() override;
    FakePcsc(const FakePcsc&) = delete;
    FakePcsc& operator=(const FakePcsc&) = delete;

    // Configuration.
    void AddReader(const std::string& name, FakeCard card = {});
    FakeCard& card(const std::string& reader) { return cards_.at(reader); }
    void RemoveCard(const std::string& reader);
    void InsertCard(const std::string& reader);
    void Expect(const std::string& commandHex, const std::string& responseHex);
    // The next control call must carry `code` and `commandHex`; it answers `responseHex`.
    void ExpectControl(reader::PcscDword code, const std::string& commandHex,
                       const std::string& responseHex);
    // The next `times` calls of `function` return `rc` without effect.
    void Force(const std::string& function, int32_t rc, int times = 1);
    bool failLoad = false;
    bool missingEntryPoint = false;

    // Observation.
    const std::vector<PcscCall>& calls() const { return calls_; }
    std::vector<std::string> CallNames() const;
    int Count(const std::string& function) const;
    std::vector<Bytes> Transmitted() const;
    bool ScriptDone() const { return script_.empty() && controlScript_.empty(); }
    int unexpectedTransmits() const { return unexpected_; }
    // Connects that pcscd would have made wait forever behind an open transaction.
    int connectsBehindTransaction() const { return connectsBehindTransaction_; }
    int loads() const { return loads_; }
    int unloads() const { return unloads_; }
    int openContexts() const { return static_cast<int>(contexts_.size()); }
    bool IsValidHandle(reader::PcscHandle handle) const { return handles_.count(handle) != 0; }
    void ClearCalls() { calls_.clear(); }

    // PcscProvider
    const reader::PcscApi* Load() override;
    void Unload() override;
    const char* LibraryPath() const override { return "libpcsclite-fake.so"; }

    // The table's functions reach the live instance through this.
    static FakePcsc* instance;

    // Entry points (public for the table).
    reader::PcscLong EstablishContext(reader::PcscContext* context);
    reader::PcscLong ReleaseContext(reader::PcscContext context);
    reader::PcscLong ListReaders(char* buffer, reader::PcscDword* length);
    reader::PcscLong Connect(reader::PcscContext context, const char* reader,
                             reader::PcscDword share, reader::PcscHandle* card,
                             reader::PcscDword* protocol);
    reader::PcscLong Reconnect(reader::PcscHandle card, reader::PcscDword share,
                               reader::PcscDword init, reader::PcscDword* protocol);
    reader::PcscLong Disconnect(reader::PcscHandle card, reader::PcscDword disposition);
    reader::PcscLong Status(reader::PcscHandle card, char* name, reader::PcscDword* nameLength,
                            reader::PcscDword* state, reader::PcscDword* protocol,
                            unsigned char* atr, reader::PcscDword* atrLength);
    reader::PcscLong Transmit(reader::PcscHandle card, const reader::PcscIoRequest* pci,
                              const unsigned char* send, reader::PcscDword sendLength,
                              unsigned char* recv, reader::PcscDword* recvLength);
    reader::PcscLong GetAttrib(reader::PcscHandle card, reader::PcscDword id, unsigned char* attr,
                               reader::PcscDword* length);
    reader::PcscLong BeginTransaction(reader::PcscHandle card);
    reader::PcscLong Control(reader::PcscHandle card, reader::PcscDword code, const void* send,
                             reader::PcscDword sendLength, void* recv, reader::PcscDword recvLength,
                             reader::PcscDword* returned);
    reader::PcscLong EndTransaction(reader::PcscHandle card);

    // Attributes served by GetAttrib, per attribute id.
    std::map<reader::PcscDword, Bytes> attributes;

  private:
    struct HandleState {
        std::string reader;
        int insertion = 0;
        bool exclusive = false;
        bool inTransaction = false;
        reader::PcscContext context = 0;
    };
    bool Forced(const std::string& function, reader::PcscLong& rc);
    reader::PcscLong CheckHandle(reader::PcscHandle card, HandleState*& state);

    std::vector<std::string> readerOrder_;
    std::map<std::string, FakeCard> cards_;
    std::deque<ScriptedExchange> script_;
    std::deque<ScriptedControl> controlScript_;
    std::map<std::string, std::deque<int32_t>> forced_;
    std::vector<PcscCall> calls_;
    std::map<reader::PcscContext, bool> contexts_;
    std::map<reader::PcscHandle, HandleState> handles_;
    reader::PcscContext nextContext_ = 0x1000;
    reader::PcscHandle nextHandle_ = 0x2000;
    int unexpected_ = 0;
    int connectsBehindTransaction_ = 0;
    int loads_ = 0;
    int unloads_ = 0;
    reader::PcscApi api_{};
    reader::PcscIoRequest t0_{reader::pcsc::kProtocolT0, sizeof(reader::PcscIoRequest)};
    reader::PcscIoRequest t1_{reader::pcsc::kProtocolT1, sizeof(reader::PcscIoRequest)};
    reader::PcscIoRequest raw_{4, sizeof(reader::PcscIoRequest)};
};

// Records the fixed pauses instead of sleeping.
class RecordingPauser final : public reader::Pauser {
  public:
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<int> pauses;
};

}  // namespace qorv::testing
