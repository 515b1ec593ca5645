// The PC/SC entry points the reader layer uses, as a table of function
// pointers. The product fills it from libpcsclite.so.1 at run time; tests
// fill it with a scripted fake. Types follow pcsc-lite's ABI: on 64-bit
// Linux DWORD, LONG, SCARDCONTEXT and SCARDHANDLE are all 8 bytes wide.
#pragma once

#include <cstdint>

namespace qorv::reader {

using PcscLong = long;
using PcscDword = unsigned long;
using PcscContext = long;
using PcscHandle = long;

// SCARD_IO_REQUEST: the protocol control block passed to SCardTransmit.
struct PcscIoRequest {
    PcscDword protocol;
    PcscDword pciLength;
};

struct PcscApi {
    // Data symbols. The T=0 block is required, the others are taken as found.
    const PcscIoRequest* t0Pci = nullptr;
    const PcscIoRequest* t1Pci = nullptr;
    const PcscIoRequest* rawPci = nullptr;

    PcscLong (*establishContext)(PcscDword scope, const void* reserved1, const void* reserved2,
                                 PcscContext* context) = nullptr;
    PcscLong (*releaseContext)(PcscContext context) = nullptr;
    // pcsc-lite has no wide variants: names are UTF-8 multi-strings.
    PcscLong (*listReaders)(PcscContext context, const char* groups, char* readers,
                            PcscDword* readersLength) = nullptr;
    PcscLong (*connect)(PcscContext context, const char* reader, PcscDword shareMode,
                        PcscDword preferredProtocols, PcscHandle* card,
                        PcscDword* activeProtocol) = nullptr;
    PcscLong (*reconnect)(PcscHandle card, PcscDword shareMode, PcscDword preferredProtocols,
                          PcscDword initialization, PcscDword* activeProtocol) = nullptr;
    PcscLong (*disconnect)(PcscHandle card, PcscDword disposition) = nullptr;
    PcscLong (*status)(PcscHandle card, char* readerNames, PcscDword* readerLength,
                       PcscDword* state, PcscDword* protocol, unsigned char* atr,
                       PcscDword* atrLength) = nullptr;
    PcscLong (*transmit)(PcscHandle card, const PcscIoRequest* sendPci,
                         const unsigned char* sendBuffer, PcscDword sendLength,
                         PcscIoRequest* recvPci, unsigned char* recvBuffer,
                         PcscDword* recvLength) = nullptr;
    PcscLong (*getAttrib)(PcscHandle card, PcscDword attrId, unsigned char* attr,
                          PcscDword* attrLength) = nullptr;
    PcscLong (*endTransaction)(PcscHandle card, PcscDword disposition) = nullptr;
    PcscLong (*beginTransaction)(PcscHandle card) = nullptr;
    // A command to the reader itself (PIN-pad readers with their own secure
    // PIN entry announce and take their features through it).
    PcscLong (*control)(PcscHandle card, PcscDword controlCode, const void* sendBuffer,
                        PcscDword sendLength, void* recvBuffer, PcscDword recvLength,
                        PcscDword* bytesReturned) = nullptr;
};

// Values of the PC/SC API that the reader layer relies on.
namespace pcsc {
inline constexpr PcscDword kScopeUser = 0;
inline constexpr PcscDword kShareExclusive = 1;
inline constexpr PcscDword kShareShared = 2;
inline constexpr PcscDword kShareDirect = 3;
inline constexpr PcscDword kLeaveCard = 0;
inline constexpr PcscDword kResetCard = 1;
inline constexpr PcscDword kUnpowerCard = 2;
inline constexpr PcscDword kEjectCard = 3;
inline constexpr PcscDword kProtocolT0 = 1;
inline constexpr PcscDword kProtocolT1 = 2;
inline constexpr PcscDword kProtocolT0OrT1 = kProtocolT0 | kProtocolT1;
inline constexpr PcscDword kAutoAllocate = static_cast<PcscDword>(-1);

// Result codes are 32-bit HRESULT-style values; pcsc-lite returns them in a long.
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kSharingViolation = static_cast<int32_t>(0x8010000B);
inline constexpr int32_t kNoSmartcard = static_cast<int32_t>(0x8010000C);
inline constexpr int32_t kInvalidHandle = static_cast<int32_t>(0x80100003);
inline constexpr int32_t kInsufficientBuffer = static_cast<int32_t>(0x80100008);
inline constexpr int32_t kUnknownReader = static_cast<int32_t>(0x80100009);
inline constexpr int32_t kNoService = static_cast<int32_t>(0x8010001D);
inline constexpr int32_t kServiceStopped = static_cast<int32_t>(0x8010001E);
inline constexpr int32_t kNoReadersAvailable = static_cast<int32_t>(0x8010002E);
inline constexpr int32_t kNotTransacted = static_cast<int32_t>(0x80100016);
inline constexpr int32_t kCommError = static_cast<int32_t>(0x80100013);
inline constexpr int32_t kUnsupportedFeature = static_cast<int32_t>(0x8010001F);
inline constexpr int32_t kUnresponsiveCard = static_cast<int32_t>(0x80100066);
inline constexpr int32_t kUnpoweredCard = static_cast<int32_t>(0x80100067);
inline constexpr int32_t kResetCardWarning = static_cast<int32_t>(0x80100068);
inline constexpr int32_t kRemovedCard = static_cast<int32_t>(0x80100069);
}  // namespace pcsc

// pcsc-lite hands back a LONG; the system handles 32-bit codes.
inline int32_t ToResult(PcscLong rv) {
    return static_cast<int32_t>(static_cast<uint32_t>(rv));
}

}  // namespace qorv::reader
