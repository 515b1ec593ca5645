#include "reader/reader_session.h"

#include <algorithm>
#include <cstring>

#include "base/utf16.h"
#include "reader/reader_names.h"

namespace qorv::reader {
namespace {

// pcsc-lite lists names in UTF-8; 4 KiB holds 1024 UTF-16 units' worth of
// names even when they are not ASCII.
constexpr std::size_t kListBufferBytes = 4096;
// The fixed pauses (milliseconds) that give the reader and pcscd time to
// settle between the steps of a recovery.
constexpr int kPauseAfterListingRelease = 50;  // old context released, before the new one
constexpr int kPauseUnresponsiveCard = 10;     // a card that stopped answering
constexpr int kPauseRemovedCard = 20;          // a card pulled and put back
constexpr int kPauseBeforeNewContext = 20;     // context released, before establishing anew
constexpr int kPauseBeforeReset = 20;          // before resetting a card through its handle
constexpr int kPauseAfterDisconnect = 200;     // after every disconnect

// A reader's answer to a control command (feature lists, PIN-pad results).
constexpr std::size_t kControlResponseBytes = 256;

PcscDword ShareMode(int shareType) {
    switch (shareType) {
        case kShareTypeDirect:
            return pcsc::kShareDirect;
        case kShareTypeExclusive:
            return pcsc::kShareExclusive;
        default:
            return pcsc::kShareShared;
    }
}

PcscDword Disposition(int disposition) {
    switch (disposition) {
        case kDispositionEject:
            return pcsc::kEjectCard;
        case kDispositionLeave:
            return pcsc::kLeaveCard;
        case kDispositionReset:
            return pcsc::kResetCard;
        default:
            return pcsc::kUnpowerCard;
    }
}

bool IsConnectWarning(int32_t rc) {
    return rc == pcsc::kSharingViolation || rc == pcsc::kRemovedCard ||
           rc == pcsc::kUnresponsiveCard;
}

// pcscd went away under the context (restarted by a package upgrade, or it
// crashed): the context is stale, and only a new one reaches the new pcscd.
// A connect has no card handle yet, so an invalid handle is the context's.
bool IsStaleContext(int32_t rc) {
    return rc == pcsc::kNoService || rc == pcsc::kServiceStopped || rc == pcsc::kInvalidHandle;
}

bool ValidSlot(int32_t slot) {
    return slot >= 0 && slot < kSlotCount;
}

}  // namespace

ReaderSession::~ReaderSession() {
    if (api_ != nullptr) ReleaseSession();
}

int32_t ReaderSession::LoadBinding() {
    if (api_ != nullptr) return 0;
    api_ = provider_.Load();
    return api_ != nullptr ? 0 : result::kFailed;
}

std::optional<PcscHandle> ReaderSession::slotHandle(int32_t slot) const {
    if (!ValidSlot(slot)) return std::nullopt;
    return slots_[static_cast<std::size_t>(slot)].handle;
}

const PcscIoRequest* ReaderSession::slotProtocolBlock(int32_t slot) const {
    if (!ValidSlot(slot)) return nullptr;
    return slots_[static_cast<std::size_t>(slot)].protocolBlock;
}

std::u16string ReaderSession::slotName(int32_t slot) const {
    if (!ValidSlot(slot)) return {};
    return std::u16string(NameOf(slots_[static_cast<std::size_t>(slot)].name));
}

void ReaderSession::ClearSlotHandles() {
    for (auto& slot : slots_) slot.handle.reset();
}

void ReaderSession::ClearSlotNames(int count, std::size_t units) {
    for (int i = 0; i < count; ++i) {
        auto& name = slots_[static_cast<std::size_t>(i)].name;
        std::fill_n(name.begin(), std::min(units, name.size()), char16_t{0});
    }
}

int32_t ReaderSession::EstablishContext() {
    PcscContext context = 0;
    const int32_t rc =
        ToResult(api_->establishContext(pcsc::kScopeUser, nullptr, nullptr, &context));
    if (rc == 0) {
        context_ = context;
    } else {
        context_.reset();
    }
    return rc;
}

void ReaderSession::ReleaseContextHandle() {
    if (context_) api_->releaseContext(*context_);
    context_.reset();
}

int32_t ReaderSession::ListAttached(std::vector<std::u16string>& names) {
    std::array<char, kListBufferBytes> buffer{};
    PcscDword length = buffer.size();
    const int32_t rc = ToResult(api_->listReaders(*context_, nullptr, buffer.data(), &length));
    if (rc != 0) return rc;
    // A multi-string: names separated by one terminator, ended by an empty one.
    const std::size_t end = std::min<std::size_t>(length, buffer.size());
    std::size_t position = 0;
    while (position < end) {
        const std::size_t size = strnlen(buffer.data() + position, end - position);
        // Readers beyond the 16 slots are neither listed nor addressable.
        if (size > 0 && names.size() < static_cast<std::size_t>(kSlotCount)) {
            names.push_back(Utf8ToUtf16(std::string_view(buffer.data() + position, size)));
        }
        position += size + 1;
    }
    return 0;
}

void ReaderSession::FillTableFromListing() {
    std::vector<std::u16string> names;
    // A listing failure is not reported: the table stays empty.
    ListAttached(names);
    for (std::size_t i = 0; i < names.size(); ++i) StoreName(slots_[i].name, names[i]);
}

int32_t ReaderSession::EstablishAndFill() {
    const int32_t rc = EstablishContext();
    if (rc != 0) {
        contextFlag_ = false;
        return rc;
    }
    ClearSlotNames(kSlotCount, kNameUnits);
    FillTableFromListing();
    return 0;
}

int32_t ReaderSession::OpenSession() {
    ClearSlotNames(kSearchedSlots, kNameUnits);
    currentCard_.reset();
    if (context_) {
        // The flag may still say "established": card handles of this context
        // stay in the slots, so it must stay alive until the session ends.
        droppedContexts_.push_back(*context_);
        context_.reset();
    }
    if (!contextFlag_) ClearSlotHandles();
    if (LoadBinding() != 0) return result::kFailed;
    if (!contextFlag_) {
        const int32_t rc = EstablishAndFill();
        if (rc != 0) return rc;
    }
    contextFlag_ = true;
    return 0;
}

int32_t ReaderSession::ListReaderNames(std::array<ReaderName, kSlotCount>& names, int32_t& count) {
    if (LoadBinding() != 0) return result::kFailed;
    if (context_) {
        ReleaseContextHandle();
        pauser_.Pause(kPauseAfterListingRelease);
        contextFlag_ = false;
    }
    ClearSlotHandles();
    int32_t rc = EstablishContext();
    if (rc != 0) {
        contextFlag_ = false;
        return rc;
    }
    contextFlag_ = true;
    std::vector<std::u16string> listed;
    rc = ListAttached(listed);
    if (rc != 0) return rc;
    for (std::size_t i = 0; i < listed.size(); ++i) StoreName(names[i], listed[i]);
    count = static_cast<int32_t>(listed.size());
    return 0;
}

int ReaderSession::FindSlot(std::u16string_view name) const {
    for (int i = 0; i < kSearchedSlots; ++i) {
        if (NameOf(slots_[static_cast<std::size_t>(i)].name) == name) return i;
    }
    return -1;
}

void ReaderSession::UpdateProtocolBlock(int slot) {
    auto& entry = slots_[static_cast<std::size_t>(slot)];
    if (activeProtocol_ == pcsc::kProtocolT0) {
        entry.protocolBlock = api_->t0Pci;
    } else if (activeProtocol_ == pcsc::kProtocolT1) {
        entry.protocolBlock = api_->t1Pci;
    }
}

void ReaderSession::BeginTransaction(PcscHandle handle) {
    if (ToResult(api_->beginTransaction(handle)) == 0) openTransactions_.push_back(handle);
}

void ReaderSession::EndOpenTransactions() {
    for (const PcscHandle handle : openTransactions_)
        api_->endTransaction(handle, pcsc::kLeaveCard);
    openTransactions_.clear();
}

int32_t ReaderSession::Connect(std::u16string_view name, int share, PcscHandle& handle) {
    EndOpenTransactions();
    const std::string utf8 = Utf16ToUtf8(name);
    PcscDword protocol = 0;
    handle = 0;
    const int32_t rc = ToResult(api_->connect(context_.value_or(0), utf8.c_str(), ShareMode(share),
                                              pcsc::kProtocolT0OrT1, &handle, &protocol));
    if (rc == 0) activeProtocol_ = protocol;
    return rc;
}

int32_t ReaderSession::ReadStatus(PcscHandle handle, Atr& atr, ReaderName* nameOut) {
    std::array<char, kNameUnits * 4> name{};
    PcscDword nameLength = name.size();
    PcscDword state = 0;
    PcscDword protocol = 0;
    PcscDword atrLength = atr.bytes.size();
    const int32_t rc = ToResult(api_->status(handle, name.data(), &nameLength, &state, &protocol,
                                             atr.bytes.data(), &atrLength));
    if (rc != 0) return rc;
    // 64-bit pcsc-lite hands back the state in a long: only the low word is the state.
    state &= 0xFFFF;
    atr.length = std::min<std::size_t>(atrLength, atr.bytes.size());
    if (nameOut != nullptr) {
        const std::size_t length =
            strnlen(name.data(), std::min<std::size_t>(nameLength, name.size()));
        const std::u16string wide = Utf8ToUtf16(std::string_view(name.data(), length));
        if (!wide.empty()) StoreName(*nameOut, wide);
    }
    return 0;
}

bool ReaderSession::SessionUsable() const {
    return contextFlag_ && context_.has_value();
}

int32_t ReaderSession::EnsureSession() {
    if (SessionUsable()) return 0;
    currentCard_.reset();
    ClearSlotHandles();
    const int32_t rc = EstablishAndFill();
    if (rc != 0) return rc;
    contextFlag_ = true;
    return 0;
}

int ReaderSession::SlotForName(std::u16string_view name) {
    int index = FindSlot(name);
    if (index >= 0) return index;
    // A reader attached since the table was filled.
    ClearSlotNames(kSlotCount, kNameUnits);
    FillTableFromListing();
    index = FindSlot(name);
    return index >= 0 ? index : 0;
}

void ReaderSession::KeepCardHandle(int index, PcscHandle handle) {
    UpdateProtocolBlock(index);
    slots_[static_cast<std::size_t>(index)].handle = handle;
    currentCard_ = handle;
}

void ReaderSession::RenewContext(int firstPause) {
    pauser_.Pause(firstPause);
    ReleaseContextHandle();
    pauser_.Pause(kPauseBeforeNewContext);
}

int32_t ReaderSession::ConnectInNewContext(std::u16string_view name, int shareType, int index,
                                           int32_t connectResult) {
    const bool unresponsive = connectResult == pcsc::kUnresponsiveCard;
    // A stale context takes the removed card's pauses.
    RenewContext(unresponsive ? kPauseUnresponsiveCard : kPauseRemovedCard);
    const int32_t established = EstablishContext();
    if ((unresponsive || IsStaleContext(connectResult)) && established == 0) contextFlag_ = true;
    PcscHandle handle = 0;
    const int32_t rc = Connect(name, shareType, handle);
    if (rc == 0) {
        KeepCardHandle(index, handle);
    } else {
        slots_[static_cast<std::size_t>(index)].handle.reset();
    }
    return rc;
}

int32_t ReaderSession::ResetSlotCard(int index, int32_t connectResult) {
    const Slot& slot = slots_[static_cast<std::size_t>(index)];
    if (!slot.handle) return connectResult;
    pauser_.Pause(kPauseBeforeReset);
    PcscDword protocol = 0;
    const int32_t rc = ToResult(api_->reconnect(
        *slot.handle, pcsc::kShareExclusive, pcsc::kProtocolT0OrT1, pcsc::kResetCard, &protocol));
    if (rc == 0) activeProtocol_ = protocol;
    return rc;
}

bool ReaderSession::ConnectHeldCard(std::u16string_view name, int index, int32_t& rc, Atr& atr,
                                    int32_t& slotOut) {
    Slot& slot = slots_[static_cast<std::size_t>(index)];
    PcscHandle handle = 0;
    if (!slot.handle) {
        // Not ours: share the card with whoever holds it.
        const std::u16string slotReader(NameOf(slot.name));
        rc = Connect(slotReader, kShareTypeShared, handle);
        if (rc == 0) {
            UpdateProtocolBlock(index);
            slot.handle = handle;
        }
        return false;
    }
    // A handle of this slot (ours, usually) may still reach the card.
    UpdateProtocolBlock(index);
    if (ReadStatus(*slot.handle, atr, nullptr) == 0 ||
        (currentCard_ && ReadStatus(*currentCard_, atr, nullptr) == 0)) {
        currentCard_ = slot.handle;
        slotOut = index;
        rc = 0;
        return true;
    }
    RenewContext(kPauseUnresponsiveCard);
    if (EstablishContext() == 0) contextFlag_ = true;
    rc = Connect(name, kShareTypeShared, handle);
    if (rc != 0) {
        slot.handle.reset();
        return true;
    }
    KeepCardHandle(index, handle);
    return false;
}

int32_t ReaderSession::ConnectByName(std::u16string_view name, int shareType, int32_t& slotOut,
                                     Atr& atr) {
    if (LoadBinding() != 0) return result::kFailed;
    if (const int32_t rc = EnsureSession(); rc != 0) return rc;
    const int index = SlotForName(name);
    Slot& slot = slots_[static_cast<std::size_t>(index)];

    bool fresh = false;
    PcscHandle handle = 0;
    int32_t rc = Connect(name, shareType, handle);
    if (rc == 0) {
        KeepCardHandle(index, handle);
        fresh = true;
    }
    // A card that was pulled and put back, or that stopped answering, and a
    // stale context need a new context before the card can be connected again.
    if (rc == pcsc::kRemovedCard || rc == pcsc::kUnresponsiveCard || IsStaleContext(rc)) {
        rc = ConnectInNewContext(name, shareType, index, rc);
    }
    if (rc != 0 && !IsConnectWarning(rc)) {
        rc = ResetSlotCard(index, rc);
    } else if (IsConnectWarning(rc)) {
        if (ConnectHeldCard(name, index, rc, atr, slotOut)) return rc;
    }

    UpdateProtocolBlock(index);
    if (slot.handle) {
        if (!fresh) BeginTransaction(*slot.handle);
        rc = ReadStatus(*slot.handle, atr, &slot.name);
        if (rc != 0) return rc;
        currentCard_ = slot.handle;
    }
    if (rc == 0 || rc == pcsc::kSharingViolation) slotOut = index;
    return rc;
}

int32_t ReaderSession::ResetEarlierCard(std::optional<PcscHandle> card, int32_t connectResult) {
    if (!card) return connectResult;
    pauser_.Pause(kPauseBeforeReset);
    PcscDword protocol = 0;
    const int32_t rc = ToResult(api_->reconnect(*card, pcsc::kShareExclusive, pcsc::kProtocolT0OrT1,
                                                pcsc::kResetCard, &protocol));
    if (rc == 0) {
        activeProtocol_ = protocol;
        currentCard_ = card;
    }
    return rc;
}

void ReaderSession::AdoptProbedCard(Slot& slot, std::optional<PcscHandle> previous,
                                    int32_t probeResult) {
    if (currentCard_) {
        slot.handle = currentCard_;
    } else if (previous) {
        slot.handle = previous;
    } else if (probeResult == pcsc::kSharingViolation) {
        PcscHandle handle = 0;
        if (Connect(NameOf(slot.name), kShareTypeShared, handle) == 0) {
            currentCard_ = handle;
            slot.handle = handle;
            BeginTransaction(handle);
        }
    }
}

int32_t ReaderSession::ProbeCard(int32_t slotIndex, int shareType, Atr& atr) {
    if (LoadBinding() != 0) return result::kFailed;
    if (!contextFlag_) return result::kNoSession;
    if (!ValidSlot(slotIndex)) return result::kFailed;
    Slot& slot = slots_[static_cast<std::size_t>(slotIndex)];
    const std::optional<PcscHandle> previous = currentCard_;

    PcscHandle handle = 0;
    int32_t rc = Connect(NameOf(slot.name), shareType, handle);
    currentCard_.reset();
    if (rc == 0) currentCard_ = handle;
    if (rc != 0 && !IsConnectWarning(rc))
        rc = ResetEarlierCard(previous ? previous : slot.handle, rc);
    if (rc == 0 || IsConnectWarning(rc)) AdoptProbedCard(slot, previous, rc);
    if (rc != 0 && rc != pcsc::kSharingViolation) return rc;

    UpdateProtocolBlock(slotIndex);
    const std::optional<PcscHandle> source =
        currentCard_ ? currentCard_ : (slot.handle ? slot.handle : previous);
    if (source) return ReadStatus(*source, atr, nullptr);
    return rc;
}

int32_t ReaderSession::DisconnectSlot(int32_t slotIndex, int disposition) {
    if (LoadBinding() != 0) return result::kFailed;
    int32_t rc = 0;
    std::optional<PcscHandle> target = currentCard_;
    if (ValidSlot(slotIndex) && slots_[static_cast<std::size_t>(slotIndex)].handle) {
        target = slots_[static_cast<std::size_t>(slotIndex)].handle;
    }
    if (target) {
        rc = ToResult(api_->disconnect(*target, Disposition(disposition)));
        // The card's transaction ends with its disconnect.
        std::erase(openTransactions_, *target);
    }
    if (ValidSlot(slotIndex)) slots_[static_cast<std::size_t>(slotIndex)].handle.reset();
    currentCard_.reset();
    pauser_.Pause(kPauseAfterDisconnect);
    return rc;
}

int32_t ReaderSession::DisconnectByName(std::u16string_view name, int disposition) {
    if (LoadBinding() != 0) return result::kFailed;
    int index = FindSlot(name);
    if (index < 0) index = 0;
    Slot& slot = slots_[static_cast<std::size_t>(index)];
    int32_t rc = 0;
    if (slot.handle) {
        rc = ToResult(api_->disconnect(*slot.handle, Disposition(disposition)));
        std::erase(openTransactions_, *slot.handle);
        slot.handle.reset();
    } else {
        rc = ReleaseSession();
    }
    slot.handle.reset();
    currentCard_.reset();
    pauser_.Pause(kPauseAfterDisconnect);
    return rc;
}

int32_t ReaderSession::ReleaseSession() {
    pinPadFeatures_.Forget();
    ClearSlotNames(kSlotCount, 32);
    ClearSlotHandles();
    currentCard_.reset();
    openTransactions_.clear();  // releasing the context ends them
    contextFlag_ = false;
    if (LoadBinding() != 0) return result::kFailed;
    int32_t rc = 0;
    if (context_) rc = ToResult(api_->releaseContext(*context_));
    context_.reset();
    for (const PcscContext dropped : droppedContexts_) api_->releaseContext(dropped);
    droppedContexts_.clear();
    ClearSlotNames(kSearchedSlots, kNameUnits);
    Unload();
    return rc;
}

int32_t ReaderSession::CloseReaderSession(int32_t slot) {
    DisconnectSlot(slot, kDispositionReset);
    return ReleaseSession();
}

int32_t ReaderSession::ControlReader(int32_t slotIndex, PcscDword controlCode,
                                     std::span<const uint8_t> command,
                                     std::vector<uint8_t>& response) {
    response.clear();
    if (LoadBinding() != 0) return result::kFailed;
    if (!contextFlag_) return result::kNoSession;
    const std::optional<PcscHandle> handle = slotHandle(slotIndex);
    if (!handle) return pcsc::kInvalidHandle;
    std::array<uint8_t, kControlResponseBytes> answer{};
    PcscDword returned = 0;
    const int32_t rc = ToResult(api_->control(*handle, controlCode, command.data(), command.size(),
                                              answer.data(), answer.size(), &returned));
    if (rc != 0) return rc;
    response.assign(answer.begin(),
                    answer.begin() + static_cast<std::ptrdiff_t>(
                                         std::min<std::size_t>(returned, answer.size())));
    return 0;
}

void ReaderSession::Unload() {
    provider_.Unload();
    api_ = nullptr;
}

}  // namespace qorv::reader
