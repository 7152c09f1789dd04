#include "rescue/best_fit_reading.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "decoder/best_fit_search.h"
#include "decoder/pulse_cleaning.h"
#include "rescue/cell_tracker.h"

bool readWithBestFit(const Recording& recording, const BlockReading& first, int polarity, std::int64_t from,
                     std::int64_t to, BlockReading& again) {
    const float* signal = recording.signal.get();
    const std::int64_t count = to - from;
    if (count <= 0) return false;
    // 8-bit samples with the stretch's mean magnitude at 100 from 128.
    double level = 0;
    for (std::int64_t n = from; n < to; ++n) level += std::fabs(signal[static_cast<std::size_t>(n)]);
    level /= static_cast<double>(count);
    if (level <= 0) return false;
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(count));
    for (std::int64_t n = 0; n < count; ++n) {
        const double value = 128.0 + 100.0 * signal[static_cast<std::size_t>(from + n)] / level;
        samples[static_cast<std::size_t>(n)] =
            static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    cleanPulses(samples.data(), count);

    // Halfway between the half-waves of a 1 cell and of a 0 cell.
    const auto separator = std::max<std::int64_t>(1, std::lround((first.cells[0] + first.cells[1]) / 4));
    const bool highFirst = polarity > 0;
    auto high = [&](std::int64_t n) { return samples[static_cast<std::size_t>(n)] > 128; };
    // The first cell starts at the first change to the level cells start with.
    std::int64_t position = 1;
    while (position < count && (high(position) != highFirst || high(position - 1) == highFirst)) ++position;

    SyncHunt hunt;
    bool synced = false;
    int flatCells = 0;  // cells in a row, since the sync, with no change of level in them
    again = BlockReading{};
    again.syncStart = first.syncStart;
    again.half = first.half;
    again.cells[0] = first.cells[0];
    again.cells[1] = first.cells[1];
    while (position + 3 * separator < count) {
        const std::int64_t half = bestFitHalf(samples.data(), count, position, separator, highFirst);
        SoftBit bit;
        bit.bit = half <= separator ? 1 : 0;
        bit.start = static_cast<double>(from + position);
        bit.end = static_cast<double>(from + position + 2 * half);
        bit.edgeFound = bit.timingSure = true;
        const std::int64_t cell = position;
        position += 2 * half;
        if (synced) {
            // The search reads the samples' levels alone. Where they stay on
            // one side for as many cells as a tracker may miss edges, the
            // signal is gone (a dropout, the filters' memory of the loud
            // half-waves before it holding the samples there), and what the
            // search would read on is the 1 bits it reads in silence: no
            // reading (through a dropout of 40 dB over a B9 block, it and the
            // default decoder read its type byte and then "ff ff", an end
            // block whose checksum held).
            bool changes = false;
            for (std::int64_t n = cell + 1; n < std::min(count, position) && !changes; ++n)
                changes = high(n) != high(n - 1);
            flatCells = changes ? 0 : flatCells + 1;
            if (flatCells >= kLostAfterMissedEdges) return false;
            if (addBlockBit(again, bit)) return true;
            continue;
        }
        if (bit.start > first.syncStart + 120 * first.half) return false;  // the sync bytes take 96T
        synced = takeSyncBit(hunt, bit) &&
                 std::fabs(hunt.starts[(hunt.bitsSeen - 24) % 24] - first.syncStart) <= 8 * first.half;
    }
    again.end = ReadEnd::recordingEnd;
    return synced;
}
