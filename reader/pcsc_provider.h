// Where the PC/SC entry points come from. The product binds libpcsclite.so.1
// at run time; tests hand the session a provider that serves a fake table.
#pragma once

#include "reader/pcsc_api.h"

namespace qorv::reader {

class PcscProvider {
  public:
    virtual ~PcscProvider() = default;
    // Returns the resolved table, or nullptr when the library or one of the
    // required entries is missing. A failed load leaves nothing loaded, so
    // the next call tries again.
    virtual const PcscApi* Load() = 0;
    virtual void Unload() = 0;
    // File name of the library that Load binds (for the driver information).
    virtual const char* LibraryPath() const = 0;
};

// Binds libpcsclite.so.1 with dlopen/dlsym.
class DlopenPcscProvider final : public PcscProvider {
  public:
    DlopenPcscProvider() = default;
    DlopenPcscProvider(const DlopenPcscProvider&) = delete;
    DlopenPcscProvider& operator=(const DlopenPcscProvider&) = delete;
    ~DlopenPcscProvider() override { Unload(); }

    const PcscApi* Load() override;
    void Unload() override;
    const char* LibraryPath() const override { return "libpcsclite.so.1"; }

  private:
    void* module_ = nullptr;
    PcscApi api_{};
};

// The fixed waits of the reader protocol go through here so tests can record
// them instead of sleeping.
class Pauser {
  public:
    virtual ~Pauser() = default;
    virtual void Pause(int milliseconds) = 0;
};

class SleepingPauser final : public Pauser {
  public:
    void Pause(int milliseconds) override;
};

}  // namespace qorv::reader
