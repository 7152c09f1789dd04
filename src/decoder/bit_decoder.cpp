#include "decoder/bit_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "cli/option_table.h"
#include "common/console.h"
#include "decoder/best_fit_search.h"
#include "decoder/block_framing.h"
#include "decoder/block_sink.h"
#include "decoder/decoder_state.h"
#include "decoder/program_files.h"
#include "decoder/sample_loader.h"
#include "decoder/wav_input.h"

// A bit cell is two half-periods of opposite level; a 1 has short halves, a
// 0 halves three times as long, and a half of at most `separator` samples
// reads as 1. A program starts with a lead-in of 0xAA bytes, whose halves
// alternate short and long: their mean is the separator.

namespace {

// State of one decoding run.
struct DecodingRun {
    int runPolarity = 0;                // +1 high, -1 low; 0 only before the first sample
    std::int64_t runLength = 0;         // samples in the current run so far
    std::int64_t highRunLength = 2000;  // length of the last completed high run
    std::int64_t lowRunLength = 2000;   // length of the last completed low run
    std::int64_t separator = 1;         // longest half-period of a 1 bit, in samples; set at a lock
    bool highFirst = false;             // a cell begins with its high half; set at a lock
    std::int64_t bestHalf = 0;          // half-period chosen for the last bit
    std::uint16_t shiftRegister = 0;    // the last 16 decoded bits, newest in bit 0
};

constexpr std::int64_t kLeadInSkippedChanges = 100;  // changes counted before runs are summed
constexpr std::int64_t kLeadInLockChanges = 600;     // the lock comes at the change after these
constexpr std::int64_t kLeadInSummedRuns = 500;      // the divisor of the summed runs
constexpr std::int64_t kIdleBitLimit = 2000;         // non-lead-in bits tolerated before a sync byte

std::int64_t sampleRate() { return decoderHeader.sampleRate; }

// The microseconds printed for a separator, in the 32-bit unsigned arithmetic
// the figure has always been printed with.
unsigned separatorMicroseconds(std::int64_t separator) {
    const auto rate = static_cast<std::uint32_t>(sampleRate());
    if (rate == 0) return 0;
    const std::uint32_t scaled = static_cast<std::uint32_t>(separator) * 1000000u;
    return scaled / rate;
}

// The timing the blocks that follow are read with, for the sink.
void noteTiming(const DecodingRun& run) {
    blockSink.current.lockPosition = decoderState.samplePos;
    blockSink.current.separator = run.separator;
    blockSink.current.highFirst = run.highFirst;
}

// A lead-in half lasts well under 2.7 ms (60 samples at 22050 Hz). After 100
// such polarity changes the last high run is summed at every change, so each
// high run counts about twice; at the 601st change the 501 terms over 500
// give the mean half-period.
void automaticLock(DecodingRun& run) {
    DecoderState& state = decoderState;
    const std::int64_t runLimit = sampleRate() * 60 / 22050;
    if (run.highRunLength >= runLimit || run.lowRunLength >= runLimit) {
        state.preambleRunTotal = 0;
        state.preambleRunCount = 0;
        run.shiftRegister = 0;
        return;
    }
    ++state.preambleRunCount;
    if (state.preambleRunCount > kLeadInSkippedChanges) state.preambleRunTotal += run.highRunLength;
    if (state.preambleRunCount <= kLeadInLockChanges) return;

    run.separator = std::max<std::int64_t>(1, state.preambleRunTotal / kLeadInSummedRuns);
    // Two halves on one side of the separator belong to one cell, high first
    // exactly when the run that just ended was low; halves on two sides belong
    // to neighbouring cells.
    const bool bothBelow = run.highRunLength < run.separator && run.lowRunLength < run.separator;
    const bool bothAbove = run.highRunLength > run.separator && run.lowRunLength > run.separator;
    run.highFirst = (bothBelow || bothAbove) ? run.runPolarity < 0 : run.runPolarity > 0;
    state.syncLocked = true;
    noteTiming(run);
    if (!blockSink.collecting) {
        consolePrint("\nProgram szinkron %.3f másodpercnél %d mikromásodperces elválasztóval és %s jellel\n",
                     secondsAt(state.samplePos), static_cast<int>(separatorMicroseconds(run.separator)),
                     run.highFirst ? "magas" : "alacsony");
        consoleFlush();
    }
    state.idleByteCount = 0;
}

// Timing from the command line: -s microseconds (separatorOption) and -j,
// whose value starting with H or h means low first.
void manualLock(DecodingRun& run) {
    const std::int64_t microseconds = separatorOption();
    const double samples =
        std::round(static_cast<double>(sampleRate()) * static_cast<double>(microseconds) / 1000000.0);
    run.separator = std::max<std::int64_t>(1, static_cast<std::int64_t>(samples));
    const char* first = lookupOption('j');
    run.highFirst = !(first != nullptr && (first[0] == 'H' || first[0] == 'h'));
    decoderState.syncLocked = true;
    noteTiming(run);
}

void restart(DecodingRun& run) {
    DecoderState& state = decoderState;
    if (!blockSink.collecting) {
        consolePrint("Újraindulás %.3f másodpercnél\n", secondsAt(state.samplePos));
        consoleFlush();
    }
    state.bitCount = 0;
    run.shiftRegister = 0;
    state.syncLocked = false;
    state.preambleRunTotal = 0;
    state.preambleRunCount = 0;
    state.idleByteCount = 0;
}

bool isLeadInOrFill(std::uint8_t byte) { return byte == 0x55 || byte == 0xAA || byte == 0xFF; }

// Decodes cell after cell from samplePos, without looking at polarity
// changes, until the samples run out, the framing drops the lock, or the
// block deadline or the idle limit makes the decoder hunt again.
void decodeBits(DecodingRun& run) {
    DecoderState& state = decoderState;
    const std::uint8_t* samples = sampleBuffer.samples.get();
    state.blockDeadline = kNoDeadline;
    for (;;) {
        if (state.samplePos + 3 * run.separator >= state.sampleCount) return;
        run.bestHalf = bestFitHalf(samples, state.sampleCount, state.samplePos, run.separator, run.highFirst);
        const unsigned bit = run.bestHalf <= run.separator ? 1 : 0;
        run.shiftRegister = static_cast<std::uint16_t>((run.shiftRegister << 1) | bit);
        takeBit(run.shiftRegister);
        state.samplePos += 2 * run.bestHalf;
        if (state.bitCount == 0 && !isLeadInOrFill(run.shiftRegister & 0xFF)) ++state.idleByteCount;
        if (state.blockDeadline < state.samplePos || state.idleByteCount > kIdleBitLimit) {
            restart(run);
            return;
        }
        if (!state.syncLocked) return;
    }
}

// One pass over the samples, measuring runs of equal polarity. Every polarity
// change either feeds the lead-in hunt or, once locked, starts bit decoding.
void scanSamples(DecodingRun& run) {
    DecoderState& state = decoderState;
    const std::uint8_t* samples = sampleBuffer.samples.get();
    const bool manualTiming = lookupOption('s') != nullptr;
    while (state.samplePos < state.sampleCount) {
        const int polarity = samples[state.samplePos] > 128 ? 1 : -1;
        if (polarity == run.runPolarity) {
            ++run.runLength;
        } else if (run.runLength <= 0) {
            run.runPolarity = polarity;
            run.runLength = 1;
        } else {
            if (run.runPolarity > 0) {
                run.highRunLength = run.runLength;
            } else {
                run.lowRunLength = run.runLength;
            }
            if (state.syncLocked) {
                decodeBits(run);
            } else if (manualTiming) {
                manualLock(run);
                decodeBits(run);
            } else {
                automaticLock(run);
            }
            // Bit decoding may have moved far ahead; the run starts afresh
            // with the polarity seen at this change.
            run.runPolarity = polarity;
            run.runLength = 1;
        }
        ++state.samplePos;
    }
}

}  // namespace

std::int64_t separatorOption() {
    const std::int64_t microseconds = optionNumber(lookupOption('s'));
    return microseconds < 100 || microseconds > 5000 ? 624 : microseconds;
}

void convertWavFile(const char* path) {
    DecodingRun run;
    loadWavSamples(path);
    DecoderState& state = decoderState;
    state.preambleRunTotal = 0;
    state.preambleRunCount = 0;
    state.samplePos = 0;
    if (state.sampleCount > 0) scanSamples(run);
    closeProgramFileAtEnd();
}

std::vector<DecodedBlock> collectDecodedBlocks(const char* path, int channel) {
    resetDecoderState();
    blockSink.collecting = true;
    WavInput input;
    readWavSamples(path, channel, input);
    DecodingRun run;
    if (decoderState.sampleCount > 0) scanSamples(run);
    std::vector<DecodedBlock> blocks = std::move(blockSink.blocks);
    resetDecoderState();
    return blocks;
}
