#include "text/LargeBuffer.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseLargePages([[maybe_unused]] void *data, [[maybe_unused]] qsizetype size)
{
#ifdef MADV_HUGEPAGE
    // Only the whole large pages inside the buffer can be advised; below a few of them the
    // faults saved do not pay for the call.
    constexpr std::uintptr_t largePage = 2 * 1024 * 1024;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t last = (begin + std::uintptr_t(size)) & ~(largePage - 1);
    if (last >= first + 2 * largePage)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#endif
}
