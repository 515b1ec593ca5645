// Zeroing the dead stack below the serving loop after a request: library
// temporaries, and the vector registers the dynamic linker saves there on a
// function's first call, leave PIN digits where no wipe of ours reaches.
//
// The cost follows the depth a request reached. The top of the watched area
// (what every request uses) is zeroed each time; the pages below it are kept
// unmapped, so the ones a deep request touched are exactly those resident
// again: only they are zeroed and given back.
#pragma once

#include <cstddef>

namespace qorv::host {

// How far below the caller's frame the stack is watched: sanitizer builds
// have frames several times larger, so a generous 1 MiB of the 8 MiB stack.
inline constexpr std::size_t kScrubbedStackBytes = std::size_t{1024} * 1024;
// The top of that area, zeroed after every request: handling a request takes
// 1 to 4 KiB of it when neither pcscd nor a window is involved.
inline constexpr std::size_t kAlwaysZeroedStackBytes = std::size_t{16} * 1024;

// Zeroes what the calls made by the caller left on the stack below it.
void ScrubDeadStack();

}  // namespace qorv::host
