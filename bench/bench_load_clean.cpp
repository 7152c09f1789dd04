// Times loading and cleaning of recordings: the program's whole load step
// (read, reduce, clean, write the cleaned WAV), and the cleaning alone
// against the literal repeated sweeps, checking that both give the same bytes.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "decoder/decoder_state.h"
#include "decoder/pulse_cleaning.h"
#include "decoder/sample_loader.h"
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

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            resetDecoderState();
            auto start = std::chrono::steady_clock::now();
            loadWavSamples(argv[i]);
            best = std::min(best, secondsSince(start));
        }
        std::printf("%s: %lld samples, load and clean %.3f s (best of 3), peak RSS %ld KB\n", argv[i],
                    static_cast<long long>(decoderState.sampleCount), best, peakResidentKilobytes());

        // Cleaning alone, from the reduced but uncleaned samples.
        const std::int64_t count = decoderState.sampleCount;
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(count));
        {
            FILE* f = std::fopen(argv[i], "rb");
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 2);
            std::fseek(f, 44, SEEK_SET);
            std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            reduceSamples(bytes.data(), static_cast<std::int64_t>(got / 2), 16, raw.data());
        }
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
