// Text and byte conversions used by the control's handlers and the engine:
// card bytes widen one to one into UTF-16 code units; binary values the page
// sees are upper-case hexadecimal.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "crypto/hex.h"
#include "crypto/text_bytes.h"

namespace qorv::card {

class CDataProcess {
  public:
    std::u16string BytesToText(std::span<const uint8_t> bytes) const {
        return crypto::WidenBytes(bytes);
    }
    std::u16string BytesToHex(std::span<const uint8_t> bytes) const {
        return crypto::HexEncodeU16(bytes);
    }
};

}  // namespace qorv::card
