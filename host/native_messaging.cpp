#include "host/native_messaging.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

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

// Writes both pieces whole, in one call when the pipe takes them: the
// reader then wakes once per frame, not once for the length and again for
// the body.
bool WriteExactly(int fd, std::array<iovec, 2> pieces) {
    std::size_t first = 0;  // the first piece not yet written whole
    while (first < pieces.size()) {
        const ssize_t put =
            writev(fd, pieces.data() + first, static_cast<int>(pieces.size() - first));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        auto left = static_cast<std::size_t>(put);
        while (first < pieces.size() && left >= pieces[first].iov_len) {
            left -= pieces[first].iov_len;
            ++first;
        }
        if (first < pieces.size()) {
            pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
            pieces[first].iov_len -= left;
        }
    }
    return true;
}

ssize_t ReadSome(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fd, data, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

}  // namespace

FrameReader::~FrameReader() {
    SecureWipe(buffer_);
}

bool FrameReader::Take(char* data, std::size_t size) {
    while (size > 0) {
        if (begin_ == end_) {
            begin_ = end_ = 0;
            // A body larger than the buffer goes straight where it belongs.
            if (size >= buffer_.size()) return ReadExactly(fd_, data, size);
            const ssize_t got = ReadSome(fd_, buffer_.data(), buffer_.size());
            if (got <= 0) return false;
            end_ = static_cast<std::size_t>(got);
        }
        const std::size_t count = std::min(size, end_ - begin_);
        std::memcpy(data, buffer_.data() + begin_, count);
        SecureWipe(buffer_.data() + begin_, count);
        begin_ += count;
        data += count;
        size -= count;
    }
    return true;
}

FrameStatus FrameReader::Next(std::string& message) {
    SecureWipe(message);
    uint32_t length = 0;
    if (!Take(reinterpret_cast<char*>(&length), sizeof length)) {
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
            complete = Take(sink.data(), chunk);
            remaining -= chunk;
        }
        SecureWipe(sink);
        return complete ? FrameStatus::TooLarge : FrameStatus::EndOfInput;
    }
    // One allocation of the frame's size, filled in place.
    std::string body;
    body.reserve(length);
    body.resize(length);
    if (!Take(body.data(), length)) {
        SecureWipe(body);
        return FrameStatus::EndOfInput;
    }
    message.swap(body);
    SecureWipe(body);
    return FrameStatus::Ok;
}

bool WriteFrame(int fd, const std::string& message) {
    auto length = static_cast<uint32_t>(message.size());
    // writev takes the pieces as writable; it only reads them.
    return WriteExactly(fd, {iovec{&length, sizeof length},
                             iovec{const_cast<char*>(message.data()), message.size()}});
}

}  // namespace qorv::host
