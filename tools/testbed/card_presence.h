// Waiting until pcscd has noticed a card insertion or removal (it polls vpcd
// every 400 ms). Uses the pcscd that PCSCLITE_CSOCK_NAME names.
#pragma once

#include <chrono>
#include <string>

namespace qorv::testbed {

enum class CardPresence { Present, Absent };

// True once pcscd reports the reader in that state; false on timeout or when
// pcscd does not know the reader.
bool WaitForCard(const std::string& readerName, CardPresence presence,
                 std::chrono::milliseconds timeout = std::chrono::seconds(3));

}  // namespace qorv::testbed
