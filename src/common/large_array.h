#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A large array of samples (a whole recording), allocated so that the
// operating system can back it with large pages where it offers them on
// request: touching a few hundred megabytes then costs a few hundred page
// faults instead of a hundred thousand.

struct LargeArrayFree {
    void operator()(void* block) const;
};

template <typename T>
using LargeArray = std::unique_ptr<T[], LargeArrayFree>;

// `bytes` bytes, or null where there is not that much memory.
void* allocateLarge(std::size_t bytes);

// An array of count values (at least one), or null where the address
// space or the memory cannot hold it.
template <typename T>
LargeArray<T> allocateLargeArray(std::int64_t count) {
    if (count < 0 || static_cast<std::uint64_t>(count) >= SIZE_MAX / sizeof(T)) return LargeArray<T>();
    const std::size_t values = count > 0 ? static_cast<std::size_t>(count) : 1;
    return LargeArray<T>(static_cast<T*>(allocateLarge(values * sizeof(T))));
}
