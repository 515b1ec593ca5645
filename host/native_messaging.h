// The browsers' native-messaging framing: a 32-bit length in native byte
// order, then that many bytes of UTF-8 JSON, in both directions. Frames are
// read and written with read(2) and write(2) on the descriptors, so no stdio
// buffer keeps a copy of a request (it may carry a PIN) or of a reply.
#pragma once

#include <array>
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

// Reads what the input holds in one call where it can (a small frame and
// its length usually come together); each byte is wiped from the reader's
// own buffer as it is handed on, so the buffer keeps nothing taken.
class FrameReader {
  public:
    explicit FrameReader(int fd) : fd_(fd) {}
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // `message` gets a buffer of exactly the frame's size; a frame cut short
    // is wiped.
    FrameStatus Next(std::string& message);
    std::size_t lastFrameSize() const { return lastFrameSize_; }
    // Whether bytes already read wait in the reader's buffer.
    bool HasBuffered() const { return begin_ < end_; }

  private:
    bool Take(char* data, std::size_t size);

    int fd_;
    std::size_t lastFrameSize_ = 0;
    std::array<char, 4096> buffer_{};
    std::size_t begin_ = 0;  // buffer_[begin_, end_) is read and not yet taken
    std::size_t end_ = 0;
};

// Returns false when the output is gone. The caller wipes `message`.
bool WriteFrame(int fd, const std::string& message);

}  // namespace qorv::host
