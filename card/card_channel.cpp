#include "card/card_channel.h"

#include "base/results.h"

namespace qorv::card {

int32_t SendCommand(reader::ReaderSession& session, int32_t slot, const CardCommand& command,
                    CardResponse& response) {
    response.length = 0;
    // Lc is one byte; no builder makes longer data, this keeps it so.
    if (command.data.size() > 0xFF) return result::kFailed;
    const auto lc = static_cast<uint8_t>(command.data.size());
    uint8_t length = command.le.value_or(0);
    // A response buffer is always given so that the exchange may resend after 6Cxx.
    const int32_t rc = reader::Exchange(
        session, slot, command.header, lc, command.le ? &length : nullptr,
        command.data.empty() ? nullptr : command.data.data(), response.bytes.data());
    if (command.le) response.length = length;
    return rc;
}

int32_t SendCommand(reader::ReaderSession& session, int32_t slot, const CardCommand& command) {
    CardResponse discarded;
    return SendCommand(session, slot, command, discarded);
}

int32_t ReadAllRecords(reader::ReaderSession& session, int32_t slot, ExtendedResponse& response) {
    uint32_t length = 0;  // 00 00 00: everything the card has
    const int32_t rc = reader::ExchangeExtended(session, slot, kReadAllRecordsHeader, 0, &length,
                                                nullptr, response.bytes.data());
    response.length = rc == 0 ? length : 0;
    return rc;
}

}  // namespace qorv::card
