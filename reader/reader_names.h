// Fixed 64-unit reader name entries (terminator included) as the reader
// table and the control's reader list keep them.
#pragma once

#include <algorithm>
#include <string_view>

#include "reader/reader_session.h"

namespace qorv::reader {

// Copies at most 63 units and terminates; longer names are cut.
inline void StoreName(ReaderName& entry, std::u16string_view name) {
    entry.fill(0);
    const std::size_t units = std::min(name.size(), kNameUnits - 1);
    std::copy_n(name.begin(), units, entry.begin());
}

inline std::u16string_view NameOf(const ReaderName& entry) {
    const auto end = std::find(entry.begin(), entry.end(), char16_t{0});
    return {entry.data(), static_cast<std::size_t>(end - entry.begin())};
}

}  // namespace qorv::reader
