#include "common/input_file.h"

#include <filesystem>
#include <system_error>

InputStream openInputFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return nullptr;
    return InputStream(std::fopen(path.c_str(), "rb"));
}
