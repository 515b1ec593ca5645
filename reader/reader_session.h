// The process-wide reader session: the bound PC/SC library, one context, a
// table of 16 reader slots with their card handles and protocol blocks, and
// the handle of the card connected last. The connect logic survives the usual
// trouble of consumer readers (card pulled and re-inserted, card not
// answering, card held by another program), each with its own recovery path
// and fixed pauses.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/results.h"
#include "reader/pcsc_api.h"
#include "reader/pcsc_provider.h"
#include "reader/pin_pad_features.h"

namespace qorv::reader {

inline constexpr int kSlotCount = 16;
inline constexpr int kSearchedSlots = 8;       // connect by name looks among the first 8
inline constexpr std::size_t kNameUnits = 64;  // terminator included
inline constexpr std::size_t kMaxAtr = 256;

// Share types and dispositions as the engine passes them.
enum ShareType : int { kShareTypeDirect = 0, kShareTypeExclusive = 1, kShareTypeShared = 2 };
enum DispositionType : int {
    kDispositionEject = 0,
    kDispositionLeave = 1,
    kDispositionReset = 2,
    kDispositionUnpower = 3
};

using ReaderName = std::array<char16_t, kNameUnits>;

struct Atr {
    std::array<uint8_t, kMaxAtr> bytes{};
    std::size_t length = 0;
};

class ReaderSession {
  public:
    ReaderSession(PcscProvider& provider, Pauser& pauser) : provider_(provider), pauser_(pauser) {}
    ReaderSession(const ReaderSession&) = delete;
    ReaderSession& operator=(const ReaderSession&) = delete;
    ~ReaderSession();

    int32_t LoadBinding();
    int32_t OpenSession();
    // Fills `names` (entry 0 first) and `count`; a listing failure is returned.
    int32_t ListReaderNames(std::array<ReaderName, kSlotCount>& names, int32_t& count);
    int32_t ConnectByName(std::u16string_view name, int shareType, int32_t& slot, Atr& atr);
    int32_t ProbeCard(int32_t slot, int shareType, Atr& atr);
    int32_t DisconnectSlot(int32_t slot, int disposition);
    int32_t DisconnectByName(std::u16string_view name, int disposition);
    int32_t ReleaseSession();
    // Reset the card and end the session: every procedure that connected a
    // reader by name does this at each exit after the connect.
    int32_t CloseReaderSession(int32_t slot);
    // A command to the reader of `slot` itself (SCardControl) on the slot's
    // card handle: 0 and the reader's answer, kNoSession, or a PC/SC error.
    int32_t ControlReader(int32_t slot, PcscDword controlCode, std::span<const uint8_t> command,
                          std::vector<uint8_t>& response);

    // For the exchange and the reader information.
    const PcscApi* api() const { return api_; }
    bool contextEstablished() const { return contextFlag_; }
    std::optional<PcscHandle> slotHandle(int32_t slot) const;
    const PcscIoRequest* slotProtocolBlock(int32_t slot) const;
    std::u16string slotName(int32_t slot) const;
    PcscDword activeProtocol() const { return activeProtocol_; }
    std::optional<PcscHandle> currentCard() const { return currentCard_; }
    Pauser& pauser() { return pauser_; }
    PcscProvider& provider() { return provider_; }
    // The secure PIN entry the reader of a connected slot offers.
    const PinPadFeatures& pinPadFeatures(int32_t slot) { return pinPadFeatures_.For(*this, slot); }

  private:
    struct Slot {
        ReaderName name{};
        std::optional<PcscHandle> handle;
        const PcscIoRequest* protocolBlock = nullptr;
    };

    // The session is usable when it is open (contextFlag_) and holds a live
    // context (context_). The flag says the page opened a session; the
    // context may be gone (released for a recovery, or dropped by a second
    // OpenSession) while the flag stays, and the next connect then
    // establishes a new one. Every check of "can we talk to pcscd" is this.
    bool SessionUsable() const;
    // Opens the session's context and fills the reader table unless usable.
    int32_t EnsureSession();
    int32_t EstablishContext();
    int32_t EstablishAndFill();
    // At most kSlotCount names of the attached readers, in list order.
    int32_t ListAttached(std::vector<std::u16string>& names);
    void FillTableFromListing();
    int FindSlot(std::u16string_view name) const;
    void ClearSlotHandles();
    void ClearSlotNames(int count, std::size_t units);
    void UpdateProtocolBlock(int slot);
    int32_t Connect(std::u16string_view name, int share, PcscHandle& handle);
    // The steps of ConnectByName, one per recovery path.
    int SlotForName(std::u16string_view name);
    void KeepCardHandle(int index, PcscHandle handle);
    // Pauses, releases the context and pauses again before a new one.
    void RenewContext(int firstPause);
    // The card was pulled and put back, or stopped answering: a new context,
    // then the connect again.
    int32_t ConnectInNewContext(std::u16string_view name, int shareType, int index,
                                int32_t connectResult);
    // Any other connect failure: reset the card through the slot's own handle.
    int32_t ResetSlotCard(int index, int32_t connectResult);
    // The card is held (by us or another program) or was just replaced;
    // true when ConnectByName ends with `rc` (the slot is set on success).
    bool ConnectHeldCard(std::u16string_view name, int index, int32_t& rc, Atr& atr,
                         int32_t& slotOut);
    // The steps of ProbeCard.
    int32_t ResetEarlierCard(std::optional<PcscHandle> card, int32_t connectResult);
    void AdoptProbedCard(Slot& slot, std::optional<PcscHandle> previous, int32_t probeResult);
    int32_t ReadStatus(PcscHandle handle, Atr& atr, ReaderName* nameOut);
    void ReleaseContextHandle();
    void Unload();
    void BeginTransaction(PcscHandle handle);
    void EndOpenTransactions();

    PcscProvider& provider_;
    Pauser& pauser_;
    const PcscApi* api_ = nullptr;
    std::optional<PcscContext> context_;
    // Contexts that a second Open session dropped: card handles made under
    // them may still be in use, so they are released with the session.
    std::vector<PcscContext> droppedContexts_;
    bool contextFlag_ = false;
    std::optional<PcscHandle> currentCard_;
    // Reused connections take a transaction that is never ended by the
    // protocol. pcscd makes every SCardConnect to a reader wait while a
    // transaction on it is open, even one of this process, so these are
    // ended before the session connects again.
    std::vector<PcscHandle> openTransactions_;
    PcscDword activeProtocol_ = 0;
    std::array<Slot, kSlotCount> slots_{};
    PinPadFeatureCache pinPadFeatures_;
};

}  // namespace qorv::reader
