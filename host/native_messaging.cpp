#include "host/native_messaging.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "base/secure_wipe.h"

namespace qorv::host {
namespace {

// Reads exactly `size` bytes; false at the end of input or on an error.
bool ReadExactly(int fd, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, data + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

bool WriteExactly(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = write(fd, data + done, size - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

FrameStatus FrameReader::Next(std::string& message) {
    SecureWipe(message);
    uint32_t length = 0;
    if (!ReadExactly(fd_, reinterpret_cast<char*>(&length), sizeof length)) {
        return FrameStatus::EndOfInput;
    }
    lastFrameSize_ = length;
    if (length > kMaxFrameBytes) {
        // Skip the body in small pieces: an oversized length must not make
        // the host allocate it. What passed through the sink is wiped.
        std::array<char, 16384> sink{};
        std::size_t remaining = length;
        bool complete = true;
        while (remaining > 0 && complete) {
            const std::size_t chunk = remaining < sink.size() ? remaining : sink.size();
            complete = ReadExactly(fd_, sink.data(), chunk);
            remaining -= chunk;
        }
        SecureWipe(sink);
        return complete ? FrameStatus::TooLarge : FrameStatus::EndOfInput;
    }
    // One allocation of the frame's size; the read goes straight into it.
    std::string body;
    body.reserve(length);
    body.resize(length);
    if (!ReadExactly(fd_, body.data(), length)) {
        SecureWipe(body);
        return FrameStatus::EndOfInput;
    }
    message.swap(body);
    SecureWipe(body);
    return FrameStatus::Ok;
}

bool WriteFrame(int fd, const std::string& message) {
    const auto length = static_cast<uint32_t>(message.size());
    return WriteExactly(fd, reinterpret_cast<const char*>(&length), sizeof length) &&
           WriteExactly(fd, message.data(), message.size());
}

}  // namespace qorv::host
