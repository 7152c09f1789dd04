#pragma once

// What every test file uses: GoogleTest itself, and the helpers below.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>

#include "support/file_bytes.h"  // Bytes, std::string, std::vector

// A fresh directory for one test, removed afterwards. Its path holds no '.',
// since the program takes everything from the first '.' as the extension.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir() { std::filesystem::remove_all(root_); }
    std::string path(const std::string& name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

Bytes concat(std::initializer_list<Bytes> parts);
// The first `count` bytes, or all where there are fewer.
Bytes firstBytes(const Bytes& bytes, std::size_t count);

struct RunResult {
    int status;          // exit status
    std::string output;  // everything printed on standard output
    bool operator==(const RunResult&) const = default;
};
inline void PrintTo(const RunResult& run, std::ostream* out) { *out << run.status << ": " << run.output; }

// Runs `run`, catching the end of a run: its exit status (0 where it
// returns none) and everything it printed on standard output.
RunResult captured(const std::function<int()>& run);
// Runs the program in this process, from a fresh start of all its state.
RunResult runKazettor(const std::vector<std::string>& arguments);
// Writes the file, then runs the program on it with the options, its output
// folder (the path up to its '.') removed first.
RunResult runOn(const std::string& path, const Bytes& contents, std::vector<std::string> options = {});
// Runs a shell command: its standard output and exit status.
RunResult runShell(const std::string& command);
// Runs the built executable, for what only a real process shows.
inline RunResult runBinary(const std::string& arguments) { return runShell(KAZETTOR_BINARY " " + arguments); }

// Bytes written as hexadecimal digits, two to a byte; blanks between bytes are ignored.
Bytes fromHex(std::string hex);
// value as count bytes, least significant first.
Bytes littleEndian(std::uint32_t value, int count);

// A RIFF chunk: tag, size, body, and a pad byte after an odd body when padded.
Bytes chunk(const std::string& tag, const Bytes& body, bool padded = true);
// "RIFF", the size of what follows, "WAVE" and the chunks.
Bytes riffFile(std::initializer_list<Bytes> chunks);
// The 16 bytes of a "fmt " chunk's format fields.
Bytes formatFields(int channels, std::uint32_t rate, int bits, int format = 1);
// A canonical WAV file: header and the given sample bytes.
Bytes wavFile(std::uint32_t rate, int bits, const Bytes& sampleBytes, int channels = 1);
// The 44-byte header of a canonical mono PCM file of dataBytes sample bytes.
Bytes pcmHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes);
// 8-bit samples (128 the zero line) widened to signed samples of the width,
// with 0x5A in the bytes below the top one.
Bytes widened(const Bytes& samples, int bits);

// An ideal 8-bit tape signal of the bytes, most significant bit first: each
// bit two half-periods of shortHalf (1) or longHalf (0) samples at levels 200
// and 56, high half first or last.
Bytes tapeSignal(const Bytes& bytes, int shortHalf, int longHalf, bool highFirst);

// The tape bytes of one program: lead-in of 0xAA, then each block after ten
// fill bytes 0xFF and three sync bytes 0xD3, then four fill bytes.
Bytes tapeBytes(const std::vector<Bytes>& blocks, int leadInBytes = 80);

// A tape block with its checksum appended: the sum of all bytes after the type byte.
Bytes withChecksum(Bytes block);
// A data block (type 0xF1) of `length` bytes `fill` (256 written as 0), with its checksum.
Bytes dataBlock(std::uint8_t number, std::uint8_t fill, int length = 48, std::uint8_t fourth = 0x43);

// Whether the text holds the part; a failure shows both.
testing::AssertionResult holds(const std::string& text, const std::string& part);

// A block as the console shows it: its bytes, then O, J or X.
struct BlockLine {
    Bytes bytes;
    char mark;
    bool operator==(const BlockLine&) const = default;
};
// The block lines of a run's output ("83 01 02 41 42 86  O: path", "b1 05 05  X"),
// in the order printed; the lines between them are left out.
std::vector<BlockLine> blockLines(const std::string& output);
// Compares a run's block lines with the blocks on the tape, line by line: a
// line marked O or J must show its true block. The mark expected is O, J or X,
// or '?' where the tuning decides between them; an X line's bytes are checked
// only where expected ones are given (a block is written as first read).
void expectBlocks(const std::string& output, const std::vector<BlockLine>& expected);

// The example program "AB" of the tape format: name, one data block, end,
// as blocks and as a complete 29-byte image; and a 0xB9 block.
extern const Bytes kNameBlock, kDataBlock, kEndBlock, kImage, kB9Block;
