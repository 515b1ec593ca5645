// Sending command APDUs to the card of a reader slot. Exchange hides the
// T=0/T=1 differences: it decides per protocol whether Le is sent, resends a
// command whose Le the card corrects (6Cxx) and fetches pending data with
// GET RESPONSE (61xx). Exchange extended sends a three-byte Le and takes up
// to 510 data bytes (the read-all-records command).
#pragma once

#include <array>
#include <cstdint>

#include "reader/reader_session.h"

namespace qorv::reader {

inline constexpr std::size_t kCommandCapacity = 300;
inline constexpr std::size_t kResponseCapacity = 256;
inline constexpr std::size_t kExtendedResponseCapacity = 512;
// A card that keeps correcting Le is given up on after this many resends.
inline constexpr int kMaxLeCorrections = 3;

struct CommandHeader {
    uint8_t cla;
    uint8_t ins;
    uint8_t p1;
    uint8_t p2;
};

// Result: 0 for 90 00, SW1*256+SW2 for any other status, -1 when the library
// is missing or data arrived without a length slot, or the PC/SC error.
// After 61xx the result is the GET RESPONSE answer's status, or the
// short-answer error when it holds fewer data bytes than xx; the length slot
// holds xx either way (0 after a failed transmit).
// `lengthSlot` (optional) holds Le on entry and the response data length on
// return; `response` (optional) must hold kResponseCapacity bytes.
int32_t Exchange(ReaderSession& session, int32_t slot, CommandHeader header, uint8_t lc,
                 uint8_t* lengthSlot, const uint8_t* data, uint8_t* response);

// `response` must hold kExtendedResponseCapacity bytes and receives the whole
// answer (data followed by SW1 SW2).
int32_t ExchangeExtended(ReaderSession& session, int32_t slot, CommandHeader header, uint8_t lc,
                         uint32_t* lengthSlot, const uint8_t* data, uint8_t* response);

// Status words as the exchange reports them.
inline constexpr int32_t StatusResult(uint8_t sw1, uint8_t sw2) {
    const int32_t word = sw1 * 256 + sw2;
    return word == 0x9000 ? 0 : word;
}

}  // namespace qorv::reader
