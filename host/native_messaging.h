// The browsers' native-messaging framing: a 32-bit length in native byte
// order, then that many bytes of UTF-8 JSON, in both directions. Frames are
// read and written with read(2) and write(2) on the descriptors, so no stdio
// buffer keeps a copy of a request (it may carry a PIN) or of a reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qorv::host {

// Browsers cap host-to-browser messages at 1 MiB; requests are held to the same.
inline constexpr std::size_t kMaxFrameBytes = std::size_t{1024} * 1024;

enum class FrameStatus {
    Ok,
    EndOfInput,  // clean end, or a frame cut short by the end of input
    TooLarge,    // the frame was read and discarded without being kept
};

class FrameReader {
  public:
    explicit FrameReader(int fd) : fd_(fd) {}
    // `message` gets a buffer of exactly the frame's size, read into in
    // place; a frame cut short is wiped.
    FrameStatus Next(std::string& message);
    std::size_t lastFrameSize() const { return lastFrameSize_; }

  private:
    int fd_;
    std::size_t lastFrameSize_ = 0;
};

// Returns false when the output is gone. The caller wipes `message`.
bool WriteFrame(int fd, const std::string& message);

}  // namespace qorv::host
