#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// An output file of the program. Every write, flush, seek and close is
// checked here: a failure prints the write message with the file's path and
// ends the run with status 1, so that a full disk never passes for success.
struct OutputFile {
    std::FILE* stream = nullptr;     // the open stream, or null while no file is open
    std::string path;                // the path it was opened under, named in messages
    std::unique_ptr<char[]> buffer;  // the stream's buffer; the C library would take only 4 KB

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Reached with the file still open only when a failed run unwinds (tests, fuzzing).
    ~OutputFile();
};

// Opens (creating or truncating) the file; false, with nothing open, when that fails.
bool openOutputFile(OutputFile& file, const std::string& path, const char* mode);
inline bool outputIsOpen(const OutputFile& file) { return file.stream != nullptr; }

void writeOutput(OutputFile& file, const void* bytes, std::size_t count);
std::int64_t outputPosition(OutputFile& file);
void seekOutput(OutputFile& file, std::int64_t offset);

// Flushes and closes the file, checking both.
void closeOutputFile(OutputFile& file);
// Closes without any check; for clean-up after the run has already failed.
void abandonOutputFile(OutputFile& file);
