#include "common/large_array.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// The size of a large page where the system has them (2 MiB on x86-64 and
// most others); a smaller array gains nothing from them.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

}  // namespace

void LargeArrayFree::operator()(void* block) const { std::free(block); }

void* allocateLarge(std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= kLargePage) {
        void* block = nullptr;
        const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
        if (posix_memalign(&block, kLargePage, rounded) != 0) return nullptr;
        madvise(block, rounded, MADV_HUGEPAGE);  // advice only: without it the array works all the same
        return block;
    }
#endif
    return std::malloc(bytes);
}
