#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli/command_line.h"
#include "cli/option_table.h"
#include "common/path_base.h"
#include "common/run_end.h"
#include "decoder/decoder_state.h"
#include "encoder/encoder_settings.h"
#include "formats/wav_header.h"

ScratchDir::ScratchDir() {
    static int serial = 0;
    root_ = "/tmp/kazettor_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
}

ScratchDir::~ScratchDir() { std::filesystem::remove_all(root_); }

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

RunResult runKazettor(const std::vector<std::string>& arguments) {
    resetDecoderState();
    resetEncoderSettings();
    clearOptionTable();
    pathBase.clear();
    // The option table refers into the arguments, so they outlive the run.
    static std::vector<std::string> texts;
    texts = arguments;
    texts.insert(texts.begin(), "kazettor");
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    testing::internal::CaptureStdout();
    int status;
    try {
        status = runCommandLine(static_cast<int>(texts.size()), argv.data());
    } catch (const RunEnded& ended) {
        status = ended.status;
    }
    std::fflush(stdout);
    return {status, testing::internal::GetCapturedStdout()};
}

RunResult runBinary(const std::string& arguments) {
    std::string command = std::string(KAZETTOR_BINARY) + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

Bytes wavFile(std::uint32_t rate, int bits, const Bytes& sampleBytes) {
    WavHeader header = makePcmHeader(rate, static_cast<std::uint16_t>(bits));
    header.dataSize = static_cast<std::uint32_t>(sampleBytes.size());
    header.riffSize = header.dataSize + 36;
    const WavHeaderBytes head = encodeWavHeader(header);
    Bytes file(head.size() + sampleBytes.size());
    std::copy(head.begin(), head.end(), file.begin());
    std::copy(sampleBytes.begin(), sampleBytes.end(), file.begin() + static_cast<std::ptrdiff_t>(head.size()));
    return file;
}

Bytes tapeSignal(const Bytes& bytes, int shortHalf, int longHalf, bool highFirst) {
    Bytes samples;
    for (std::uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const int half = (byte >> bit) & 1 ? shortHalf : longHalf;
            samples.insert(samples.end(), static_cast<std::size_t>(half), highFirst ? 200 : 56);
            samples.insert(samples.end(), static_cast<std::size_t>(half), highFirst ? 56 : 200);
        }
    }
    return samples;
}

Bytes tapeBytes(const std::vector<Bytes>& blocks, int leadInBytes) {
    Bytes tape(static_cast<std::size_t>(leadInBytes), 0xAA);
    for (const Bytes& block : blocks) {
        tape.insert(tape.end(), 10, 0xFF);
        tape.insert(tape.end(), 3, 0xD3);
        tape.insert(tape.end(), block.begin(), block.end());
    }
    tape.insert(tape.end(), 4, 0xFF);
    return tape;
}

Bytes withChecksum(Bytes block) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < block.size(); ++i) sum += block[i];
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}
