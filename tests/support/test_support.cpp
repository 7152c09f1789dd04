#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/command_line.h"
#include "common/run_end.h"

const Bytes kNameBlock = {0x83, 0x01, 0x02, 0x41, 0x42, 0x86};
const Bytes kDataBlock = {0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18};
const Bytes kEndBlock = {0xB1, 0x05, 0x05};
const Bytes kB9Block = {0xB9, 1, 2, 3, 6};
// clang-format off
const Bytes kImage = concat({{0xFF, 0x1D, 0x00, 0x55, 0x06, 0x00}, kNameBlock, {0x55, 0x08, 0x00}, kDataBlock,
                             {0xAA, 0x03, 0x00}, kEndBlock});
// clang-format on

ScratchDir::ScratchDir() {
    static int serial = 0;
    root_ = "/tmp/kazettor_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes firstBytes(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size())));
}

RunResult captured(const std::function<int()>& run) {
    testing::internal::CaptureStdout();
    try {
        const int status = run();
        return {status, testing::internal::GetCapturedStdout()};
    } catch (const RunEnded& ended) {
        return {ended.status, testing::internal::GetCapturedStdout()};
    }
}

RunResult runKazettor(const std::vector<std::string>& arguments) {
    resetProgramState();
    // The option table refers into the arguments, so they outlive the run.
    static std::vector<std::string> texts;
    texts = arguments;
    texts.insert(texts.begin(), "kazettor");
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    return captured([&] { return runCommandLine(static_cast<int>(argv.size()), argv.data()); });
}

RunResult runOn(const std::string& path, const Bytes& contents, std::vector<std::string> options) {
    std::filesystem::remove_all(path.substr(0, path.rfind('.')));
    writeFile(path, contents);
    options.insert(options.begin(), path);
    return runKazettor(options);
}

RunResult runShell(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

Bytes fromHex(std::string hex) {
    std::erase(hex, ' ');
    Bytes bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

Bytes littleEndian(std::uint32_t value, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

Bytes chunk(const std::string& tag, const Bytes& body, bool padded) {
    const Bytes pad(padded ? body.size() % 2 : 0, 0);
    return concat(
        {Bytes(tag.begin(), tag.end()), littleEndian(static_cast<std::uint32_t>(body.size()), 4), body, pad});
}

Bytes riffFile(std::initializer_list<Bytes> chunks) {
    const Bytes body = concat({{'W', 'A', 'V', 'E'}, concat(chunks)});
    return concat({{'R', 'I', 'F', 'F'}, littleEndian(static_cast<std::uint32_t>(body.size()), 4), body});
}

Bytes formatFields(int channels, std::uint32_t rate, int bits, int format) {
    const auto frame = static_cast<std::uint32_t>(channels * bits / 8);
    return concat({littleEndian(format, 2), littleEndian(channels, 2), littleEndian(rate, 4),
                   littleEndian(rate * frame, 4), littleEndian(frame, 2), littleEndian(bits, 2)});
}

Bytes wavFile(std::uint32_t rate, int bits, const Bytes& sampleBytes, int channels) {
    return riffFile({chunk("fmt ", formatFields(channels, rate, bits)), chunk("data", sampleBytes, false)});
}

Bytes pcmHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes) {
    return concat({fromHex("52494646"), littleEndian(dataBytes + 36, 4),
                   fromHex("57415645 666d7420 10000000"), formatFields(1, rate, bits), fromHex("64617461"),
                   littleEndian(dataBytes, 4)});
}

Bytes widened(const Bytes& samples, int bits) {
    if (bits == 8) return samples;
    const auto width = static_cast<std::size_t>(bits / 8);
    Bytes wide(samples.size() * width, 0x5A);
    for (std::size_t i = 0; i < samples.size(); ++i) wide[i * width + width - 1] = samples[i] ^ 0x80;
    return wide;
}

Bytes tapeSignal(const Bytes& bytes, int shortHalf, int longHalf, bool highFirst) {
    Bytes samples;
    for (std::uint8_t byte : bytes)
        for (int bit = 7; bit >= 0; --bit) {
            const auto half = static_cast<std::size_t>((byte >> bit) & 1 ? shortHalf : longHalf);
            samples.insert(samples.end(), half, highFirst ? 200 : 56);
            samples.insert(samples.end(), half, highFirst ? 56 : 200);
        }
    return samples;
}

Bytes tapeBytes(const std::vector<Bytes>& blocks, int leadInBytes) {
    Bytes tape(static_cast<std::size_t>(leadInBytes), 0xAA);
    for (const Bytes& block : blocks) tape = concat({tape, Bytes(10, 0xFF), {0xD3, 0xD3, 0xD3}, block});
    return concat({tape, Bytes(4, 0xFF)});
}

Bytes withChecksum(Bytes block) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < block.size(); ++i) sum += block[i];
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}

Bytes dataBlock(std::uint8_t number, std::uint8_t fill, int length, std::uint8_t fourth) {
    return withChecksum(concat({{0xF1, number, 0x00, fourth, static_cast<std::uint8_t>(length)},
                                Bytes(static_cast<std::size_t>(length), fill)}));
}

testing::AssertionResult holds(const std::string& text, const std::string& part) {
    return (text.find(part) == std::string::npos ? testing::AssertionFailure() : testing::AssertionSuccess())
           << ("\"" + part + "\" sought in:\n" + text);
}

std::vector<BlockLine> blockLines(const std::string& output) {
    std::vector<BlockLine> lines;
    std::istringstream text(output);
    auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    for (std::string line; std::getline(text, line);) {
        // Bytes, each two digits and a blank, from the line's start; a blank, the mark, and ':' or the end.
        std::size_t at = 0;
        while (at + 3 <= line.size() && hex(line[at]) && hex(line[at + 1]) && line[at + 2] == ' ') at += 3;
        if (at > 0 && at + 2 <= line.size() && line[at] == ' ' && std::string("OJX").find(line[at + 1]) < 3 &&
            (at + 2 == line.size() || line[at + 2] == ':'))
            lines.push_back({fromHex(line.substr(0, at)), line[at + 1]});
    }
    return lines;
}

void expectBlocks(const std::string& output, const std::vector<BlockLine>& expected) {
    const std::vector<BlockLine> lines = blockLines(output);
    EXPECT_EQ(lines.size(), expected.size()) << output;
    for (std::size_t i = 0; i < std::min(lines.size(), expected.size()); ++i) {
        const BlockLine &line = lines[i], &truth = expected[i];
        EXPECT_TRUE(truth.mark == '?' || line.mark == truth.mark)
            << "block " << i << ": " << line.mark << " for " << truth.mark << "\n"
            << output;
        if (line.mark != 'X' || (truth.mark == 'X' && !truth.bytes.empty())) {
            EXPECT_EQ(line.bytes, truth.bytes) << "block " << i << " " << line.mark << "\n" << output;
        }
    }
}
