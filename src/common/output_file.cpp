#include "common/output_file.h"

#include "common/console.h"
#include "common/file_position.h"
#include "common/messages.h"

namespace {

// Writes of a megabyte keep the system calls for the encoder's hundreds of
// megabytes and the decoder's cleaned recording few.
constexpr std::size_t kStreamBufferBytes = 1 << 20;

[[noreturn]] void failWrite(OutputFile& file) {
    std::string path = file.path;
    abandonOutputFile(file);
    reportFailure(kWriteFailedMessage, path.c_str());
}

}  // namespace

OutputFile::~OutputFile() { abandonOutputFile(*this); }

bool openOutputFile(OutputFile& file, const std::string& path, const char* mode) {
    abandonOutputFile(file);
    file.stream = std::fopen(path.c_str(), mode);
    if (file.stream == nullptr) return false;
    if (!file.buffer) file.buffer = std::make_unique<char[]>(kStreamBufferBytes);
    std::setvbuf(file.stream, file.buffer.get(), _IOFBF, kStreamBufferBytes);
    file.path = path;
    return true;
}

void writeOutput(OutputFile& file, const void* bytes, std::size_t count) {
    if (count == 0) return;
#if defined(_WIN32)
    // The Windows C library counts the bytes of one write in an int: a write
    // of 2 GiB or more (the decoder's cleaned copy of a long recording) comes
    // back as failed. Such a write goes out in pieces of 1 GiB.
    constexpr std::size_t kLargestWrite = std::size_t{1} << 30;
    const char* next = static_cast<const char*>(bytes);
    for (; count > kLargestWrite; count -= kLargestWrite, next += kLargestWrite) {
        if (std::fwrite(next, 1, kLargestWrite, file.stream) != kLargestWrite) failWrite(file);
    }
    bytes = next;
#endif
    if (std::fwrite(bytes, 1, count, file.stream) != count) failWrite(file);
}

std::int64_t outputPosition(OutputFile& file) {
    std::int64_t position = tellFile(file.stream);
    if (position < 0) failWrite(file);
    return position;
}

void seekOutput(OutputFile& file, std::int64_t offset) {
    if (!seekFile(file.stream, offset, SEEK_SET)) failWrite(file);
}

void closeOutputFile(OutputFile& file) {
    if (file.stream == nullptr) return;
    bool flushed = std::fflush(file.stream) == 0 && std::ferror(file.stream) == 0;
    bool closed = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    if (!flushed || !closed) reportFailure(kWriteFailedMessage, file.path.c_str());
}

void abandonOutputFile(OutputFile& file) {
    if (file.stream != nullptr) std::fclose(file.stream);
    file.stream = nullptr;
}
