#include "host/stack_scrub.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace qorv::host {
namespace {

constexpr std::size_t kSmallestPage = 4096;

uintptr_t PageDown(uintptr_t address, uintptr_t page) {
    return address & ~(page - 1);
}

// Page faults of this thread so far. A page given back faults when it is
// touched again, so while this count stays the same no given-back page of
// the stack came back.
long FaultsSoFar() {
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0) return -1;
    return usage.ru_minflt + usage.ru_majflt;
}

// The fault count when the deep pages were last left given back; -1 while
// they are in an unknown state (before the first scrub, after a failure).
long g_faultsWhenDropped = -1;

// Zeroes the resident pages of [low, high) (page-aligned) and gives the
// range back; false when the kernel would not tell which pages are resident.
bool ZeroAndDropResidentPages(unsigned char* low, unsigned char* high, std::size_t page) {
    std::array<unsigned char, kScrubbedStackBytes / kSmallestPage> resident{};
    const std::size_t pages = static_cast<std::size_t>(high - low) / page;
    if (pages == 0) return true;
    if (pages > resident.size()) return false;
    if (mincore(low, pages * page, resident.data()) != 0) {
        // The stack's mapping has not grown that far yet: one touch grows it
        // (a single page, given back below) instead of zeroing every page.
        if (errno != ENOMEM) return false;
        *reinterpret_cast<volatile unsigned char*>(low) = 0;
        if (mincore(low, pages * page, resident.data()) != 0) return false;
    }
    bool touched = false;
    for (std::size_t i = 0; i < pages; ++i) {
        if ((resident[i] & 1) == 0) continue;
        explicit_bzero(low + i * page, page);
        touched = true;
    }
    // Given back, a page stays out of memory until a deep request touches
    // it again; a swapped-out one goes too.
    if (touched && madvise(low, pages * page, MADV_DONTNEED) != 0) return false;
    return true;
}

}  // namespace

// The watched area is this function's own array: the calls it makes have
// their frames below it, so they never touch what they watch.
__attribute__((noinline)) void ScrubDeadStack() {
    unsigned char area[kScrubbedStackBytes];
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    // Page bounds as offsets into the area, so the pointers stay the area's.
    const auto begin = reinterpret_cast<uintptr_t>(area);
    const std::size_t deepHigh =
        PageDown(begin + sizeof area - kAlwaysZeroedStackBytes, page) - begin;
    const std::size_t deepLow = PageDown(begin + page - 1, page) - begin;
    // No fault since the deep pages were given back: none of them was touched.
    const long faults = FaultsSoFar();
    if (faults < 0 || faults != g_faultsWhenDropped) {
        if (page < kSmallestPage || deepLow >= deepHigh ||
            !ZeroAndDropResidentPages(area + deepLow, area + deepHigh, page)) {
            g_faultsWhenDropped = -1;
            explicit_bzero(area, sizeof area);  // a wipe the compiler keeps, at memset's speed
            return;
        }
        g_faultsWhenDropped = FaultsSoFar();
    }
    explicit_bzero(area + deepHigh, sizeof area - deepHigh);
    explicit_bzero(area, deepLow);
}

}  // namespace qorv::host
