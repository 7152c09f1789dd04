#pragma once

#include <cstdint>
#include <cstdio>

// 64-bit stream positions, so that files of 2 GiB and more work everywhere.
inline std::int64_t tellFile(std::FILE* stream) {
#if defined(_WIN32)
    return _ftelli64(stream);
#else
    return static_cast<std::int64_t>(ftello(stream));
#endif
}

inline bool seekFile(std::FILE* stream, std::int64_t offset, int origin) {
#if defined(_WIN32)
    return _fseeki64(stream, offset, origin) == 0;
#else
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
#endif
}
