#include "reader/apdu_exchange.h"

#include <algorithm>
#include <cstring>

#include "base/secure_wipe.h"

namespace qorv::reader {
namespace {

// An answer without a status word: pcsc-lite can report success with an
// empty answer after a card stops answering.
constexpr int32_t kShortAnswer = pcsc::kCommError;

std::size_t BuildHeaderAndData(std::array<uint8_t, kCommandCapacity>& command, CommandHeader header,
                               uint8_t lc, const uint8_t* data) {
    command.fill(0);
    command[0] = header.cla;
    command[1] = header.ins;
    command[2] = header.p1;
    command[3] = header.p2;
    std::size_t length = 4;
    if (lc != 0) {
        command[length++] = lc;
        if (data != nullptr) std::memcpy(command.data() + length, data, lc);
        length += lc;
    }
    return length;
}

// Commands carry PIN blocks and answers carry card secrets: the buffers are
// wiped on every return.
template <std::size_t N>
class WipedBuffer {
  public:
    WipedBuffer() = default;
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;
    ~WipedBuffer() { SecureWipe(bytes); }
    std::array<uint8_t, N> bytes{};
};

bool SlotUsesT1(const ReaderSession& session, int32_t slot) {
    const PcscIoRequest* block = session.slotProtocolBlock(slot);
    return block != nullptr && block == session.api()->t1Pci;
}

int32_t Transmit(ReaderSession& session, int32_t slot, const uint8_t* command, std::size_t length,
                 uint8_t* answer, std::size_t capacity, std::size_t& answerLength) {
    answerLength = 0;
    const std::optional<PcscHandle> handle = session.slotHandle(slot);
    const PcscIoRequest* block = session.slotProtocolBlock(slot);
    // A slot that was never connected has neither a handle nor a protocol block.
    if (!handle || block == nullptr) return pcsc::kInvalidHandle;
    PcscDword received = capacity;
    const int32_t rc = ToResult(
        session.api()->transmit(*handle, block, command, length, nullptr, answer, &received));
    if (rc == 0) answerLength = std::min<std::size_t>(received, capacity);
    return rc;
}

}  // namespace

int32_t Exchange(ReaderSession& session, int32_t slot, CommandHeader header, uint8_t lc,
                 uint8_t* lengthSlot, const uint8_t* data, uint8_t* response) {
    if (session.LoadBinding() != 0) return result::kFailed;
    uint8_t le = lengthSlot != nullptr ? *lengthSlot : 0;
    const bool t1 = SlotUsesT1(session, slot);
    WipedBuffer<kCommandCapacity> commandBuffer;
    WipedBuffer<kResponseCapacity + 2> answerBuffer;
    auto& command = commandBuffer.bytes;
    auto& answer = answerBuffer.bytes;
    int resends = 0;

    for (;;) {
        std::size_t length = BuildHeaderAndData(command, header, lc, data);
        // T=1 carries Le in the first send only (a resend after 6Cxx goes
        // without); T=0 carries it only in case 2, never with command data.
        const bool sendLe = lengthSlot != nullptr && (t1 ? resends == 0 : lc == 0);
        if (sendLe) command[length++] = le;

        std::size_t answerLength = 0;
        answer.fill(0);
        int32_t rc = Transmit(session, slot, command.data(), length, answer.data(),
                              kResponseCapacity, answerLength);
        if (rc != 0) return rc;
        if (answerLength < 2) return kShortAnswer;

        if (answerLength == 2) {
            const uint8_t sw1 = answer[0];
            const uint8_t sw2 = answer[1];
            if (sw1 == 0x6C && response != nullptr && resends < kMaxLeCorrections) {
                le = sw2;
                ++resends;
                continue;
            }
            if (sw1 == 0x61) {
                const uint8_t getLe = lengthSlot == nullptr ? sw2 : std::max(le, sw2);
                if (lengthSlot != nullptr) *lengthSlot = sw2;
                const std::array<uint8_t, 5> getResponse{0x00, 0xC0, 0x00, 0x00, getLe};
                answer.fill(0);
                rc = Transmit(session, slot, getResponse.data(), getResponse.size(), answer.data(),
                              kResponseCapacity + 2, answerLength);
                if (rc != 0) {
                    if (lengthSlot != nullptr) *lengthSlot = 0;
                    return rc;
                }
                if (answerLength < 2) {
                    if (lengthSlot != nullptr) *lengthSlot = 0;
                    return kShortAnswer;
                }
                // The pending byte count the card announced is what is copied
                // (61 00 copies nothing). The fetch succeeded only when it
                // ends in 90 00 after at least that many bytes: a refused or
                // short fetch must not pass for data.
                if (response != nullptr) std::memcpy(response, answer.data(), sw2);
                const int32_t fetched =
                    StatusResult(answer[answerLength - 2], answer[answerLength - 1]);
                if (fetched != 0) return fetched;
                return answerLength - 2 < sw2 ? kShortAnswer : 0;
            }
            // A status word alone: no response data.
            if (lengthSlot != nullptr) *lengthSlot = 0;
            return StatusResult(sw1, sw2);
        }

        if (lengthSlot == nullptr) return result::kFailed;
        const std::size_t dataLength = answerLength - 2;
        *lengthSlot = static_cast<uint8_t>(dataLength);
        if (response != nullptr) std::memcpy(response, answer.data(), dataLength);
        return StatusResult(answer[answerLength - 2], answer[answerLength - 1]);
    }
}

int32_t ExchangeExtended(ReaderSession& session, int32_t slot, CommandHeader header, uint8_t lc,
                         uint32_t* lengthSlot, const uint8_t* data, uint8_t* response) {
    if (session.LoadBinding() != 0) return result::kFailed;
    WipedBuffer<kCommandCapacity> commandBuffer;
    auto& command = commandBuffer.bytes;
    std::size_t length = BuildHeaderAndData(command, header, lc, data);
    const bool t1 = SlotUsesT1(session, slot);
    if (lengthSlot != nullptr && (t1 || lc == 0)) {
        // The expected length as three bytes, most significant first.
        const uint32_t le = *lengthSlot;
        command[length++] = static_cast<uint8_t>(le >> 16);
        command[length++] = static_cast<uint8_t>(le >> 8);
        command[length++] = static_cast<uint8_t>(le);
    }
    std::size_t answerLength = 0;
    const int32_t rc = Transmit(session, slot, command.data(), length, response,
                                kExtendedResponseCapacity, answerLength);
    if (rc != 0) return rc;
    if (answerLength < 2) return kShortAnswer;
    if (answerLength > 2 && lengthSlot != nullptr) {
        *lengthSlot = static_cast<uint32_t>(answerLength - 2);
    }
    return StatusResult(response[answerLength - 2], response[answerLength - 1]);
}

}  // namespace qorv::reader
