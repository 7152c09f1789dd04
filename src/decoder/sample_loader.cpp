#include "decoder/sample_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <direct.h>
#endif

#include "common/console.h"
#include "common/file_position.h"
#include "common/input_file.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "decoder/decoder_state.h"
#include "decoder/pulse_cleaning.h"

namespace {

// Samples are read in blocks of this many bytes: a multiple of every sample
// width (1, 2, 3 and 4 bytes), so no block ends inside a sample.
constexpr std::size_t kReadBlockBytes = 12 * 65536;

// The recording changed under us while it was read: the file no longer has the
// length it was measured with. Nothing sensible can be decoded.
[[noreturn]] void consistencyStop(std::int64_t sampleCount, std::int64_t position) {
    std::fprintf(stderr, "%ld %lld %lld\n", 44L, static_cast<long long>(sampleCount),
                 static_cast<long long>(position));
    std::abort();
}

std::int64_t sampleCountOf(std::FILE* input, int bitsPerSample) {
    std::int64_t length = -1;
    if (seekFile(input, 0, SEEK_END)) length = tellFile(input);
    // An input shorter than its header holds no samples.
    if (length <= static_cast<std::int64_t>(kWavHeaderBytes)) return 0;
    return (length - static_cast<std::int64_t>(kWavHeaderBytes)) * 8 / bitsPerSample;
}

void readSamples(std::FILE* input, int bitsPerSample, std::int64_t sampleCount, std::uint8_t* samples) {
    const std::int64_t sampleBytes = bitsPerSample / 8;
    seekFile(input, static_cast<std::int64_t>(kWavHeaderBytes), SEEK_SET);
    std::vector<std::uint8_t> block(kReadBlockBytes);
    std::int64_t stored = 0;
    for (;;) {
        std::size_t got = std::fread(block.data(), 1, block.size(), input);
        std::int64_t whole = static_cast<std::int64_t>(got) / sampleBytes;
        if (whole > sampleCount - stored) {
            consistencyStop(sampleCount,
                            static_cast<std::int64_t>(kWavHeaderBytes) + (sampleCount + 1) * sampleBytes);
        }
        reduceSamples(block.data(), whole, bitsPerSample, samples + stored);
        stored += whole;
        if (got < block.size()) {
            if (stored != sampleCount) {
                consistencyStop(sampleCount, static_cast<std::int64_t>(kWavHeaderBytes) +
                                                 stored * sampleBytes +
                                                 static_cast<std::int64_t>(got) % sampleBytes);
            }
            return;
        }
    }
}

void writeCleanedWav(const std::string& path) {
    decoderHeader.riffSize = headerSizeField(decoderState.sampleCount + 36);
    decoderHeader.bitsPerSample = 8;
    decoderHeader.blockAlign = 1;
    decoderHeader.byteRate = decoderHeader.sampleRate;
    decoderHeader.dataSize = headerSizeField(decoderState.sampleCount);

    OutputFile file;
    if (!openOutputFile(file, path, "wb")) reportFailure(kOpenFailedMessage, path.c_str());
    WavHeaderBytes header = encodeWavHeader(decoderHeader);
    writeOutput(file, header.data(), header.size());
    writeOutput(file, sampleBuffer.samples.get(), static_cast<std::size_t>(decoderState.sampleCount));
    closeOutputFile(file);
}

}  // namespace

void reduceSamples(const std::uint8_t* bytes, std::int64_t count, int bitsPerSample, std::uint8_t* out) {
    if (count <= 0) return;
    if (bitsPerSample == 8) {
        std::memcpy(out, bytes, static_cast<std::size_t>(count));
        return;
    }
    if (bitsPerSample == 16) {
        // Written out for the common width so that the compiler can vectorise it.
        for (std::int64_t i = 0; i < count; ++i) {
            std::uint16_t sample;
            std::memcpy(&sample, bytes + 2 * i, 2);
            out[i] = static_cast<std::uint8_t>((sample >> 8) ^ 0x80);
        }
        return;
    }
    const std::int64_t sampleBytes = bitsPerSample / 8;
    const std::uint8_t* top = bytes + sampleBytes - 1;
    for (std::int64_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(top[i * sampleBytes] ^ 0x80);
    }
}

std::string cleanedWavPath(const std::string& directory) {
    std::size_t slash = directory.rfind('/');
    std::string name = slash == std::string::npos ? "/" + directory : directory.substr(slash);
    return directory + name + ".wav";
}

void loadWavSamples(const char* path) {
    pathBase = path;
    InputStream input = openInputFile(pathBase);
    if (!input) reportFailure(kOpenFailedMessage, pathBase.c_str());
    std::size_t dot = pathBase.find('.');
    if (dot != std::string::npos) pathBase.resize(dot);

    decoderHeader = readWavHeader(input.get());
    if (!wavHeaderAccepted(decoderHeader)) {
        input.reset();
        reportFailure("A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
    }
    const int bitsPerSample = decoderHeader.bitsPerSample;
    const std::int64_t sampleCount = sampleCountOf(input.get(), bitsPerSample);

    std::uint8_t* samples = nullptr;
    if (static_cast<std::uint64_t>(sampleCount) <= SIZE_MAX) {
        samples = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(sampleCount)];
    }
    if (samples == nullptr) {
        input.reset();
        reportFailure("Nincs elég memória a minták betöltéséhez.\n");
    }
    sampleBuffer.samples.reset(samples);
    decoderState.sampleCount = sampleCount;
    readSamples(input.get(), bitsPerSample, sampleCount, samples);
    input.reset();

    cleanPulses(samples, sampleCount);

#if defined(_WIN32)
    // fopen() takes a path in the system's code page, while libstdc++'s
    // std::filesystem reads every byte of it as a Latin-1 letter: a name with
    // ő or ű (or €) would give a directory other than the one the files are
    // then opened in. _mkdir() reads the path as fopen() does.
    _mkdir(pathBase.c_str());
#else
    std::error_code ignored;
    std::filesystem::create_directory(pathBase, ignored);
#endif
    writeCleanedWav(cleanedWavPath(pathBase));
    decoderState.samplePos = 0;
}
