#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct InputCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using InputStream = std::unique_ptr<std::FILE, InputCloser>;

// Opens an input for binary reading. A directory counts as a file that
// cannot be opened (the C library would open it and then fail every read).
InputStream openInputFile(const std::string& path);
