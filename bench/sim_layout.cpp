#include "sim_layout.h"

#include <bit>

namespace {

constexpr int kLeadInBytes = 512, kPreambleBytes = 96, kSyncBytes = 3, kSilenceSeconds = 3;

int halfWaveSamples(int rate) {
    return static_cast<int>((static_cast<std::int64_t>(rate) * 312 + 999999) / 1000000);
}
int zeroSamplesAfterHalves(int shape) { return shape >= 2 ? 2 : 0; }

}  // namespace

int oneCellSamples(int rate, int shape) { return 2 * halfWaveSamples(rate) + zeroSamplesAfterHalves(shape); }
int zeroCellSamples(int rate, int shape) { return 6 * halfWaveSamples(rate) + zeroSamplesAfterHalves(shape); }

TapeLayout layoutOf(const std::vector<TapeProgram>& programs, int rate, int shape) {
    const std::int64_t one = oneCellSamples(rate, shape), zero = zeroCellSamples(rate, shape);
    auto byteSamples = [&](std::uint8_t byte) {
        const int ones = std::popcount(static_cast<unsigned>(byte));
        return ones * one + (8 - ones) * zero;
    };
    TapeLayout layout;
    std::int64_t at = std::int64_t{kSilenceSeconds} * rate;
    for (const TapeProgram& program : programs) {
        layout.leadIns.push_back({at, at + kLeadInBytes * byteSamples(0xAA)});
        at = layout.leadIns.back().to;
        layout.syncs.emplace_back();
        layout.blocks.emplace_back();
        for (const Bytes& block : program.blocks) {
            at += kPreambleBytes * byteSamples(0xFF);
            layout.syncs.back().push_back({at, at + kSyncBytes * byteSamples(0xD3)});
            at = layout.syncs.back().back().to;
            const std::int64_t from = at;
            for (std::uint8_t byte : block) at += byteSamples(byte);
            layout.blocks.back().push_back({from, at});
        }
        at += byteSamples(0xFF) + std::int64_t{kSilenceSeconds} * rate;
    }
    layout.samples = at;
    return layout;
}
