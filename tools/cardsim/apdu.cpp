#include "tools/cardsim/apdu.h"

namespace qorv::cardsim {

namespace {

constexpr size_t kHeader = 4;

size_t ShortLength(uint8_t value) {
    return value == 0 ? 256 : value;
}

size_t ExtendedLength(uint8_t high, uint8_t low) {
    const size_t value = (static_cast<size_t>(high) << 8) | low;
    return value == 0 ? 65536 : value;
}

}  // namespace

std::optional<CommandApdu> ParseCommandApdu(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeader) {
        return std::nullopt;
    }
    CommandApdu apdu;
    apdu.cla = bytes[0];
    apdu.ins = bytes[1];
    apdu.p1 = bytes[2];
    apdu.p2 = bytes[3];
    const auto body = bytes.subspan(kHeader);
    if (body.empty()) {
        return apdu;  // case 1
    }
    if (body.size() == 1) {
        apdu.le = ShortLength(body[0]);  // case 2S
        return apdu;
    }
    if (body[0] != 0) {
        const size_t lc = body[0];
        if (body.size() != 1 + lc && body.size() != 2 + lc) {
            return std::nullopt;
        }
        apdu.data.assign(body.begin() + 1, body.begin() + 1 + static_cast<ptrdiff_t>(lc));
        if (body.size() == 2 + lc) {
            apdu.le = ShortLength(body.back());  // case 4S
        }
        return apdu;
    }
    // A leading 00 followed by more bytes: the extended form.
    apdu.extended = true;
    if (body.size() == 3) {
        apdu.le = ExtendedLength(body[1], body[2]);  // case 2E
        return apdu;
    }
    if (body.size() < 3) {
        return std::nullopt;
    }
    const size_t lc = (static_cast<size_t>(body[1]) << 8) | body[2];
    if (lc == 0 || (body.size() != 3 + lc && body.size() != 5 + lc)) {
        return std::nullopt;
    }
    apdu.data.assign(body.begin() + 3, body.begin() + 3 + static_cast<ptrdiff_t>(lc));
    if (body.size() == 5 + lc) {
        apdu.le = ExtendedLength(body[3 + lc], body[4 + lc]);  // case 4E
    }
    return apdu;
}

std::vector<uint8_t> ResponseApdu(std::span<const uint8_t> data, uint16_t status) {
    std::vector<uint8_t> response(data.begin(), data.end());
    response.push_back(static_cast<uint8_t>(status >> 8));
    response.push_back(static_cast<uint8_t>(status & 0xFF));
    return response;
}

}  // namespace qorv::cardsim
