#include "tools/testbed/card_presence.h"

#include <PCSC/winscard.h>

namespace qorv::testbed {

bool WaitForCard(const std::string& readerName, CardPresence presence,
                 std::chrono::milliseconds timeout) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        return false;
    }
    const DWORD wanted =
        presence == CardPresence::Present ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY;
    SCARD_READERSTATE state{};
    state.szReader = readerName.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool reached = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        // The first call (state unaware) answers at once with the present state.
        const DWORD wait = state.dwCurrentState == SCARD_STATE_UNAWARE
                               ? 0
                               : static_cast<DWORD>(std::max<int64_t>(left.count(), 0));
        const LONG result = SCardGetStatusChange(context, wait, &state, 1);
        if (result != SCARD_S_SUCCESS && result != static_cast<LONG>(SCARD_E_TIMEOUT)) {
            break;
        }
        if ((state.dwEventState & SCARD_STATE_UNKNOWN) != 0) {
            break;
        }
        // A card still being powered up is not usable yet.
        if ((state.dwEventState & wanted) != 0 && (state.dwEventState & SCARD_STATE_MUTE) == 0) {
            reached = true;
            break;
        }
        if (left.count() <= 0) {
            break;
        }
        state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
    }
    SCardReleaseContext(context);
    return reached;
}

}  // namespace qorv::testbed
