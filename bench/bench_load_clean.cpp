// Times loading and cleaning of recordings: reading and reducing the samples
// alone (per input byte, whatever the layout), the program's whole load step
// (read, reduce, clean, write the cleaned WAV), and the cleaning alone
// against the literal repeated sweeps, checking that both give the same bytes.
// Usage: bench_load_clean [-cN] recording.wav ...   (-cN: read channel N of the next file)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "decoder/decoder_state.h"
#include "decoder/pulse_cleaning.h"
#include "decoder/sample_loader.h"
#include "decoder/wav_input.h"
#include "oracles/oracles.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reads and reduces every sample, as the loader does before cleaning.
std::vector<std::uint8_t> readAndReduce(const char* path, std::int64_t& inputBytes) {
    WavInput input;
    openWavInput(path, input);
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(input.sampleCount));
    std::int64_t stored = 0;
    for (SampleBlock block; nextSampleBlock(input, block); stored += block.count) {
        reduceSamples(block.first, block.count, input.layout.header.bitsPerSample, block.stride,
                      samples.data() + stored);
    }
    inputBytes = input.bytesRead;
    closeWavInput(input);
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        clearOptionTable();
        std::string channel;
        if (std::strncmp(argv[i], "-c", 2) == 0 && i + 1 < argc) {
            channel = argv[i] + 2;
            setOption('c', channel.c_str());
            ++i;
        }
        double readBest = 1e9;
        std::int64_t inputBytes = 0;
        std::vector<std::uint8_t> raw;
        for (int round = 0; round < 3; ++round) {
            auto start = std::chrono::steady_clock::now();
            raw = readAndReduce(argv[i], inputBytes);
            readBest = std::min(readBest, secondsSince(start));
        }
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            resetDecoderState();
            auto start = std::chrono::steady_clock::now();
            loadWavSamples(argv[i]);
            best = std::min(best, secondsSince(start));
        }
        std::printf(
            "%s%s: %lld samples; read and reduce %.3f s, %.0f MB/s of input, %.2f ns a sample; "
            "load and clean %.3f s (best of 3), peak RSS %ld KB\n",
            channel.empty() ? "" : ("-c" + channel + " ").c_str(), argv[i],
            static_cast<long long>(decoderState.sampleCount), readBest, inputBytes / readBest / 1e6,
            readBest * 1e9 / static_cast<double>(raw.size()), best, peakResidentKilobytes());

        // Cleaning alone, from the reduced but uncleaned samples.
        const auto count = static_cast<std::int64_t>(raw.size());
        std::vector<std::uint8_t> fast = raw;
        auto start = std::chrono::steady_clock::now();
        cleanPulses(fast.data(), count);
        const double fastSeconds = secondsSince(start);
        start = std::chrono::steady_clock::now();
        literalCleanPulses(raw.data(), count);
        const double literalSeconds = secondsSince(start);
        std::printf("  cleaning alone: %.3f s; literal sweeps %.3f s; identical: %s\n", fastSeconds,
                    literalSeconds, fast == raw ? "yes" : "NO");
    }
    return 0;
}
