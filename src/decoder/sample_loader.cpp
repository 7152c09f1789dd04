#include "decoder/sample_loader.h"

#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#if defined(_WIN32)
#include <direct.h>
#endif

#include "common/console.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "decoder/decoder_state.h"
#include "decoder/pulse_cleaning.h"
#include "decoder/wav_input.h"

namespace {

void writeCleanedWav(const std::string& path, const WavInput& input) {
    decoderHeader = cleanedWavHeader(input, decoderState.sampleCount);
    OutputFile file;
    if (!openOutputFile(file, path, "wb")) reportFailure(kOpenFailedMessage, path.c_str());
    WavHeaderBytes header = encodeWavHeader(decoderHeader);
    writeOutput(file, header.data(), header.size());
    writeOutput(file, sampleBuffer.samples.get(), static_cast<std::size_t>(decoderState.sampleCount));
    closeOutputFile(file);
}

}  // namespace

void reduceSamples(const std::uint8_t* first, std::int64_t count, int bitsPerSample, std::int64_t stride,
                   std::uint8_t* out) {
    if (count <= 0) return;
    const std::int64_t sampleBytes = bitsPerSample / 8;
    if (bitsPerSample == 8 && stride == 1) {
        std::memcpy(out, first, static_cast<std::size_t>(count));
        return;
    }
    if (bitsPerSample == 16 && stride == 2) {
        // Written out for the common width so that the compiler can vectorise it.
        for (std::int64_t i = 0; i < count; ++i) {
            std::uint16_t sample;
            std::memcpy(&sample, first + 2 * i, 2);
            out[i] = static_cast<std::uint8_t>((sample >> 8) ^ 0x80);
        }
        return;
    }
    // 8-bit samples are unsigned already; wider ones are signed.
    const std::uint8_t flip = bitsPerSample == 8 ? 0x00 : 0x80;
    const std::uint8_t* top = first + sampleBytes - 1;
    for (std::int64_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(top[i * stride] ^ flip);
}

void createOutputDirectory(const std::string& directory) {
#if defined(_WIN32)
    // fopen() takes a path in the system's code page, while libstdc++'s
    // std::filesystem reads every byte of it as a Latin-1 letter: a name with
    // ő or ű (or €) would give a directory other than the one the files are
    // then opened in. _mkdir() reads the path as fopen() does.
    _mkdir(directory.c_str());
#else
    std::error_code ignored;
    std::filesystem::create_directory(directory, ignored);
#endif
}

std::string cleanedWavPath(const std::string& directory) {
    std::size_t slash = directory.rfind('/');
    std::string name = slash == std::string::npos ? "/" + directory : directory.substr(slash);
    return directory + name + ".wav";
}

void readWavSamples(const char* path, int channel, WavInput& input) {
    openWavFile(path, channel, input);
    decoderHeader = input.layout.header;
    const int bitsPerSample = decoderHeader.bitsPerSample;
    const std::int64_t sampleCount = input.sampleCount;

    sampleBuffer.samples = allocateLargeArray<std::uint8_t>(sampleCount);
    std::uint8_t* samples = sampleBuffer.samples.get();
    if (samples == nullptr) {
        closeWavInput(input);
        reportFailure("Nincs elég memória a minták betöltéséhez.\n");
    }
    decoderState.sampleCount = sampleCount;
    std::int64_t stored = 0;
    for (SampleBlock block; nextSampleBlock(input, block); stored += block.count) {
        reduceSamples(block.first, block.count, bitsPerSample, block.stride, samples + stored);
    }
    closeWavInput(input);

    cleanPulses(samples, sampleCount);
    decoderState.samplePos = 0;
}

void loadWavSamples(const char* path) {
    WavInput input;
    setPathBase(path);
    readWavSamples(path, kChannelOption, input);
    createOutputDirectory(pathBase);
    writeCleanedWav(cleanedWavPath(pathBase), input);
}
