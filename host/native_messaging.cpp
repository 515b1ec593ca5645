#include "host/native_messaging.h"

#include <array>
#include <cstring>

namespace qorv::host {

FrameStatus FrameReader::Next(std::string& message) {
    uint32_t length = 0;
    if (std::fread(&length, 1, sizeof length, in_) != sizeof length) return FrameStatus::EndOfInput;
    lastFrameSize_ = length;
    if (length > kMaxFrameBytes) {
        // Skip the body in small pieces: an oversized length must not make
        // the host allocate it.
        std::array<char, 16384> sink{};
        std::size_t remaining = length;
        while (remaining > 0) {
            const std::size_t chunk = remaining < sink.size() ? remaining : sink.size();
            if (std::fread(sink.data(), 1, chunk, in_) != chunk) return FrameStatus::EndOfInput;
            remaining -= chunk;
        }
        return FrameStatus::TooLarge;
    }
    message.resize(length);
    if (length > 0 && std::fread(message.data(), 1, length, in_) != length) {
        return FrameStatus::EndOfInput;
    }
    return FrameStatus::Ok;
}

bool WriteFrame(std::FILE* out, const std::string& message) {
    const auto length = static_cast<uint32_t>(message.size());
    if (std::fwrite(&length, 1, sizeof length, out) != sizeof length) return false;
    if (!message.empty() && std::fwrite(message.data(), 1, message.size(), out) != message.size()) {
        return false;
    }
    return std::fflush(out) == 0;
}

}  // namespace qorv::host
