#include "reader/pcsc_provider.h"

#include <dlfcn.h>

#include <chrono>
#include <thread>

namespace qorv::reader {
namespace {

template <typename Fn>
bool Resolve(void* module, const char* name, Fn& out) {
    void* symbol = dlsym(module, name);
    out = reinterpret_cast<Fn>(symbol);
    return symbol != nullptr;
}

}  // namespace

const PcscApi* DlopenPcscProvider::Load() {
    if (module_ != nullptr) return &api_;
    void* module = dlopen(LibraryPath(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;

    PcscApi api{};
    // The protocol control blocks are exported data. T=0 is required; the
    // T=1 and raw blocks are taken as found.
    api.t0Pci = static_cast<const PcscIoRequest*>(dlsym(module, "g_rgSCardT0Pci"));
    api.t1Pci = static_cast<const PcscIoRequest*>(dlsym(module, "g_rgSCardT1Pci"));
    api.rawPci = static_cast<const PcscIoRequest*>(dlsym(module, "g_rgSCardRawPci"));

    bool complete = api.t0Pci != nullptr;
    complete = Resolve(module, "SCardEstablishContext", api.establishContext) && complete;
    complete = Resolve(module, "SCardReleaseContext", api.releaseContext) && complete;
    complete = Resolve(module, "SCardListReaders", api.listReaders) && complete;
    complete = Resolve(module, "SCardConnect", api.connect) && complete;
    complete = Resolve(module, "SCardReconnect", api.reconnect) && complete;
    complete = Resolve(module, "SCardDisconnect", api.disconnect) && complete;
    complete = Resolve(module, "SCardStatus", api.status) && complete;
    complete = Resolve(module, "SCardTransmit", api.transmit) && complete;
    complete = Resolve(module, "SCardGetAttrib", api.getAttrib) && complete;
    complete = Resolve(module, "SCardEndTransaction", api.endTransaction) && complete;
    complete = Resolve(module, "SCardBeginTransaction", api.beginTransaction) && complete;
    complete = Resolve(module, "SCardControl", api.control) && complete;
    if (!complete) {
        dlclose(module);
        return nullptr;
    }
    module_ = module;
    api_ = api;
    return &api_;
}

void DlopenPcscProvider::Unload() {
    if (module_ == nullptr) return;
    dlclose(module_);
    module_ = nullptr;
    api_ = PcscApi{};
}

void SleepingPauser::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace qorv::reader
