// TCP ports for the vpcd readers of a private pcscd. Each vpcd reader entry
// listens on two consecutive ports (its two slots), so ports come in pairs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace qorv::testbed {

// Finds `count` pairs of consecutive ports that nobody listens on now,
// starting at a point derived from `seed` (the PID) so that concurrent test
// processes start their search in different places. Returns the first port
// of each pair.
std::optional<std::vector<uint16_t>> FindFreePortPairs(size_t count, uint32_t seed);

}  // namespace qorv::testbed
