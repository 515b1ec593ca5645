#include "support/fake_pcsc.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qorv::testing {

using namespace reader;

FakePcsc* FakePcsc::instance = nullptr;

Bytes HexBytes(const std::string& hex) {
    Bytes out;
    int high = -1;
    for (const char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (const uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

namespace {

PcscCall MakeCall(std::string function, std::string reader = "", PcscDword mode = 0,
                  PcscHandle handle = 0) {
    PcscCall call;
    call.function = std::move(function);
    call.reader = std::move(reader);
    call.mode = mode;
    call.handle = handle;
    return call;
}

PcscLong FEstablish(PcscDword, const void*, const void*, PcscContext* c) {
    return FakePcsc::instance->EstablishContext(c);
}
PcscLong FRelease(PcscContext c) {
    return FakePcsc::instance->ReleaseContext(c);
}
PcscLong FList(PcscContext, const char*, char* b, PcscDword* l) {
    return FakePcsc::instance->ListReaders(b, l);
}
PcscLong FConnect(PcscContext c, const char* r, PcscDword s, PcscDword, PcscHandle* h,
                  PcscDword* p) {
    return FakePcsc::instance->Connect(c, r, s, h, p);
}
PcscLong FReconnect(PcscHandle h, PcscDword s, PcscDword, PcscDword i, PcscDword* p) {
    return FakePcsc::instance->Reconnect(h, s, i, p);
}
PcscLong FDisconnect(PcscHandle h, PcscDword d) {
    return FakePcsc::instance->Disconnect(h, d);
}
PcscLong FStatus(PcscHandle h, char* n, PcscDword* nl, PcscDword* s, PcscDword* p, unsigned char* a,
                 PcscDword* al) {
    return FakePcsc::instance->Status(h, n, nl, s, p, a, al);
}
PcscLong FTransmit(PcscHandle h, const PcscIoRequest* pci, const unsigned char* sb, PcscDword sl,
                   PcscIoRequest*, unsigned char* rb, PcscDword* rl) {
    return FakePcsc::instance->Transmit(h, pci, sb, sl, rb, rl);
}
PcscLong FGetAttrib(PcscHandle h, PcscDword id, unsigned char* a, PcscDword* l) {
    return FakePcsc::instance->GetAttrib(h, id, a, l);
}
PcscLong FControl(PcscHandle h, PcscDword code, const void* s, PcscDword sl, void* r, PcscDword rl,
                  PcscDword* returned) {
    return FakePcsc::instance->Control(h, code, s, sl, r, rl, returned);
}
PcscLong FEnd(PcscHandle h, PcscDword) {
    return FakePcsc::instance->EndTransaction(h);
}
PcscLong FBegin(PcscHandle h) {
    return FakePcsc::instance->BeginTransaction(h);
}

}  // namespace

FakePcsc::FakePcsc() {
    if (instance != nullptr) throw std::logic_error("one FakePcsc at a time");
    instance = this;
}

FakePcsc::~FakePcsc() {
    instance = nullptr;
}

void FakePcsc::AddReader(const std::string& name, FakeCard card) {
    readerOrder_.push_back(name);
    cards_[name] = std::move(card);
}

void FakePcsc::RemoveCard(const std::string& reader) {
    cards_.at(reader).present = false;
}

void FakePcsc::InsertCard(const std::string& reader) {
    auto& card = cards_.at(reader);
    card.present = true;
    ++card.insertions;
}

void FakePcsc::Expect(const std::string& commandHex, const std::string& responseHex) {
    script_.push_back({HexBytes(commandHex), HexBytes(responseHex)});
}

void FakePcsc::ExpectControl(PcscDword code, const std::string& commandHex,
                             const std::string& responseHex) {
    controlScript_.push_back({code, HexBytes(commandHex), HexBytes(responseHex)});
}

void FakePcsc::Force(const std::string& function, int32_t rc, int times) {
    for (int i = 0; i < times; ++i) forced_[function].push_back(rc);
}

std::vector<std::string> FakePcsc::CallNames() const {
    std::vector<std::string> names;
    for (const auto& call : calls_) names.push_back(call.function);
    return names;
}

int FakePcsc::Count(const std::string& function) const {
    return static_cast<int>(std::count_if(
        calls_.begin(), calls_.end(), [&](const PcscCall& c) { return c.function == function; }));
}

std::vector<Bytes> FakePcsc::Transmitted() const {
    std::vector<Bytes> out;
    for (const auto& call : calls_) {
        if (call.function == "transmit") out.push_back(call.apdu);
    }
    return out;
}

const PcscApi* FakePcsc::Load() {
    ++loads_;
    if (failLoad) return nullptr;
    api_ = PcscApi{};
    api_.t0Pci = &t0_;
    api_.t1Pci = &t1_;
    api_.rawPci = &raw_;
    api_.establishContext = FEstablish;
    api_.releaseContext = FRelease;
    api_.listReaders = FList;
    api_.connect = FConnect;
    api_.reconnect = FReconnect;
    api_.disconnect = FDisconnect;
    api_.status = FStatus;
    api_.transmit = FTransmit;
    api_.getAttrib = FGetAttrib;
    api_.endTransaction = FEnd;
    api_.beginTransaction = FBegin;
    api_.control = FControl;
    if (missingEntryPoint) return nullptr;
    return &api_;
}

void FakePcsc::Unload() {
    ++unloads_;
}

bool FakePcsc::Forced(const std::string& function, PcscLong& rc) {
    auto it = forced_.find(function);
    if (it == forced_.end() || it->second.empty()) return false;
    rc = static_cast<PcscLong>(static_cast<uint32_t>(it->second.front()));
    it->second.pop_front();
    return true;
}

PcscLong FakePcsc::CheckHandle(PcscHandle card, HandleState*& state) {
    auto it = handles_.find(card);
    if (it == handles_.end()) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    state = &it->second;
    const FakeCard& fake = cards_.at(state->reader);
    if (!fake.present || fake.insertions != state->insertion) {
        return static_cast<uint32_t>(pcsc::kRemovedCard);
    }
    return 0;
}

PcscLong FakePcsc::EstablishContext(PcscContext* context) {
    calls_.push_back(MakeCall("establish"));
    PcscLong rc = 0;
    if (Forced("establish", rc)) return rc;
    *context = nextContext_++;
    contexts_[*context] = true;
    return 0;
}

PcscLong FakePcsc::ReleaseContext(PcscContext context) {
    calls_.push_back(MakeCall("release"));
    PcscLong rc = 0;
    if (Forced("release", rc)) return rc;
    if (contexts_.erase(context) == 0) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    // Releasing a context disconnects the cards connected under it.
    std::erase_if(handles_, [&](const auto& entry) { return entry.second.context == context; });
    return 0;
}

PcscLong FakePcsc::ListReaders(char* buffer, PcscDword* length) {
    calls_.push_back(MakeCall("list"));
    PcscLong rc = 0;
    if (Forced("list", rc)) return rc;
    if (readerOrder_.empty()) return static_cast<uint32_t>(pcsc::kNoReadersAvailable);
    std::string multi;
    for (const auto& name : readerOrder_) {
        multi += name;
        multi.push_back('\0');
    }
    multi.push_back('\0');
    if (buffer == nullptr) {
        *length = multi.size();
        return 0;
    }
    if (*length < multi.size()) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    std::memcpy(buffer, multi.data(), multi.size());
    *length = multi.size();
    return 0;
}

PcscLong FakePcsc::Connect(PcscContext context, const char* reader, PcscDword share,
                           PcscHandle* card, PcscDword* protocol) {
    calls_.push_back(MakeCall("connect", reader, share));
    PcscLong rc = 0;
    if (Forced("connect", rc)) return rc;
    if (contexts_.count(context) == 0) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    auto it = cards_.find(reader);
    if (it == cards_.end()) return static_cast<uint32_t>(pcsc::kUnknownReader);
    if (!it->second.present) return static_cast<uint32_t>(pcsc::kNoSmartcard);
    if (it->second.heldByOther) return static_cast<uint32_t>(pcsc::kSharingViolation);
    for (const auto& [h, state] : handles_) {
        // A handle whose card was pulled holds nothing any more.
        const bool live = state.insertion == it->second.insertions;
        if (state.reader == reader && live && state.inTransaction) {
            // pcscd would wait here until the transaction ends.
            ++connectsBehindTransaction_;
            return static_cast<uint32_t>(pcsc::kSharingViolation);
        }
    }
    for (const auto& [h, state] : handles_) {
        const bool live = state.insertion == it->second.insertions;
        if (state.reader == reader && live && (state.exclusive || share == pcsc::kShareExclusive)) {
            return static_cast<uint32_t>(pcsc::kSharingViolation);
        }
    }
    *card = nextHandle_++;
    *protocol = it->second.protocol;
    handles_[*card] = {reader, it->second.insertions, share == pcsc::kShareExclusive, false,
                       context};
    return 0;
}

PcscLong FakePcsc::Reconnect(PcscHandle card, PcscDword share, PcscDword init,
                             PcscDword* protocol) {
    calls_.push_back(MakeCall("reconnect", "", init, card));
    PcscLong rc = 0;
    if (Forced("reconnect", rc)) return rc;
    auto it = handles_.find(card);
    if (it == handles_.end()) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    FakeCard& fake = cards_.at(it->second.reader);
    // As pcscd does: a handle whose card went away learns of the removal.
    if (!fake.present) return static_cast<uint32_t>(pcsc::kRemovedCard);
    it->second.insertion = fake.insertions;
    it->second.exclusive = share == pcsc::kShareExclusive;
    *protocol = fake.protocol;
    return 0;
}

PcscLong FakePcsc::Disconnect(PcscHandle card, PcscDword disposition) {
    calls_.push_back(MakeCall("disconnect", "", disposition, card));
    PcscLong rc = 0;
    if (Forced("disconnect", rc)) return rc;
    if (handles_.erase(card) == 0) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    return 0;
}

PcscLong FakePcsc::Status(PcscHandle card, char* name, PcscDword* nameLength, PcscDword* state,
                          PcscDword* protocol, unsigned char* atr, PcscDword* atrLength) {
    calls_.push_back(MakeCall("status", "", 0, card));
    PcscLong rc = 0;
    if (Forced("status", rc)) return rc;
    HandleState* handle = nullptr;
    rc = CheckHandle(card, handle);
    if (rc != 0) return rc;
    const FakeCard& fake = cards_.at(handle->reader);
    if (*nameLength < handle->reader.size() + 2 || *atrLength < fake.atr.size()) {
        return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    }
    std::memcpy(name, handle->reader.c_str(), handle->reader.size() + 1);
    name[handle->reader.size() + 1] = '\0';
    *nameLength = handle->reader.size() + 2;
    // 64-bit pcsc-lite leaves the high half of the state word undefined.
    *state = 0xDEAD000000340000UL | 0x34;
    *protocol = fake.protocol;
    std::memcpy(atr, fake.atr.data(), fake.atr.size());
    *atrLength = fake.atr.size();
    return 0;
}

PcscLong FakePcsc::Transmit(PcscHandle card, const PcscIoRequest* pci, const unsigned char* send,
                            PcscDword sendLength, unsigned char* recv, PcscDword* recvLength) {
    PcscCall call = MakeCall("transmit", "", pci != nullptr ? pci->protocol : 0, card);
    call.apdu.assign(send, send + sendLength);
    calls_.push_back(call);
    PcscLong rc = 0;
    if (Forced("transmit", rc)) return rc;
    HandleState* handle = nullptr;
    rc = CheckHandle(card, handle);
    if (rc != 0) return rc;
    if (script_.empty() || script_.front().command != calls_.back().apdu) {
        ++unexpected_;
        return static_cast<uint32_t>(pcsc::kNotTransacted);
    }
    const Bytes response = script_.front().response;
    script_.pop_front();
    if (response.size() > *recvLength) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    if (!response.empty()) std::memcpy(recv, response.data(), response.size());
    *recvLength = response.size();
    return 0;
}

PcscLong FakePcsc::GetAttrib(PcscHandle card, PcscDword id, unsigned char* attr,
                             PcscDword* length) {
    calls_.push_back(MakeCall("getattrib", "", id, card));
    PcscLong rc = 0;
    if (Forced("getattrib", rc)) return rc;
    HandleState* handle = nullptr;
    rc = CheckHandle(card, handle);
    if (rc != 0) return rc;
    auto it = attributes.find(id);
    if (it == attributes.end()) return static_cast<uint32_t>(pcsc::kUnsupportedFeature);
    if (it->second.size() > *length) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    if (!it->second.empty()) std::memcpy(attr, it->second.data(), it->second.size());
    *length = it->second.size();
    return 0;
}

PcscLong FakePcsc::BeginTransaction(PcscHandle card) {
    calls_.push_back(MakeCall("begin", "", 0, card));
    PcscLong rc = 0;
    if (Forced("begin", rc)) return rc;
    HandleState* handle = nullptr;
    rc = CheckHandle(card, handle);
    if (rc != 0) return rc;
    handle->inTransaction = true;
    return 0;
}

PcscLong FakePcsc::EndTransaction(PcscHandle card) {
    calls_.push_back(MakeCall("end", "", 0, card));
    auto it = handles_.find(card);
    if (it == handles_.end()) return static_cast<uint32_t>(pcsc::kInvalidHandle);
    it->second.inTransaction = false;
    return 0;
}

PcscLong FakePcsc::Control(PcscHandle card, PcscDword code, const void* send, PcscDword sendLength,
                           void* recv, PcscDword recvLength, PcscDword* returned) {
    PcscCall call = MakeCall("control", "", code, card);
    const auto* bytes = static_cast<const unsigned char*>(send);
    if (bytes != nullptr) call.apdu.assign(bytes, bytes + sendLength);
    calls_.push_back(call);
    PcscLong rc = 0;
    if (Forced("control", rc)) return rc;
    HandleState* handle = nullptr;
    rc = CheckHandle(card, handle);
    if (rc != 0) return rc;
    if (controlScript_.empty() || controlScript_.front().code != code ||
        controlScript_.front().command != calls_.back().apdu) {
        ++unexpected_;
        return static_cast<uint32_t>(pcsc::kUnsupportedFeature);
    }
    const Bytes response = controlScript_.front().response;
    controlScript_.pop_front();
    if (response.size() > recvLength) return static_cast<uint32_t>(pcsc::kInsufficientBuffer);
    if (!response.empty()) std::memcpy(recv, response.data(), response.size());
    *returned = response.size();
    return 0;
}

}  // namespace qorv::testing
