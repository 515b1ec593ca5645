// The browsers' native-messaging framing: a 32-bit length in native byte
// order, then that many bytes of UTF-8 JSON, in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
    explicit FrameReader(std::FILE* in) : in_(in) {}
    FrameStatus Next(std::string& message);
    std::size_t lastFrameSize() const { return lastFrameSize_; }

  private:
    std::FILE* in_;
    std::size_t lastFrameSize_ = 0;
};

// Returns false when the output is gone.
bool WriteFrame(std::FILE* out, const std::string& message);

}  // namespace qorv::host
