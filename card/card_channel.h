// Sending a card command through the APDU exchange of a reader slot and
// keeping what the card answered.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "card/card_commands.h"
#include "reader/apdu_exchange.h"
#include "reader/reader_session.h"

namespace qorv::card {

struct CardResponse {
    std::array<uint8_t, reader::kResponseCapacity> bytes{};
    std::size_t length = 0;
    std::span<const uint8_t> data() const { return {bytes.data(), length}; }
};

// The whole answer of the extended read, status word cut off.
struct ExtendedResponse {
    std::array<uint8_t, reader::kExtendedResponseCapacity> bytes{};
    std::size_t length = 0;
    std::span<const uint8_t> data() const { return {bytes.data(), length}; }
};

// Result as the exchange reports it: 0 for 90 00, the status word, -1 or a
// PC/SC error.
int32_t SendCommand(reader::ReaderSession& session, int32_t slot, const CardCommand& command,
                    CardResponse& response);
// For commands whose response data nobody reads.
int32_t SendCommand(reader::ReaderSession& session, int32_t slot, const CardCommand& command);

int32_t ReadAllRecords(reader::ReaderSession& session, int32_t slot, ExtendedResponse& response);

}  // namespace qorv::card
