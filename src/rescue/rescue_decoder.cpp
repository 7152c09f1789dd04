#include "rescue/rescue_decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "cli/option_table.h"
#include "common/console.h"
#include "decoder/decoder_state.h"
#include "decoder/program_files.h"
#include "rescue/block_reader.h"
#include "rescue/cell_tracker.h"
#include "rescue/conditioning.h"
#include "rescue/damage_report.h"
#include "rescue/rescue_state.h"
#include "rescue/retry_ladder.h"

namespace {

// Trackers that look for a sync side by side, in both polarities: two
// decide bits on the slot, two on the cell's length up to the next edge of
// its direction (a recording whose filters have reshaped the cells; their
// readings are never trusted alone).
constexpr int kTrackers = 4;

// Between the blocks of a program there is a short stretch of fill (about
// half a second on the tapes this program writes); tape signal without a
// sync for longer than this held a block.
constexpr double kLongestGapSeconds = 1.5;

// Where a recording gave no block, it is read again through a two-pole
// high-pass at this frequency, between the 0 bits' fundamental (534 Hz on a
// standard tape) and the 1 bits' (1602 Hz): the first falls by 11 dB, the
// second by less than 1, so the 1 bits come out 10 dB louder against the 0
// bits than they were.
constexpr double kEmphasisHz = 1000;

// -s gives the separator between the half-waves of 1 and 0 bits, 2T (with
// the default decoder's range and fallback); -j H says that cells start with
// their low half. Without them both are found on the tape.
double givenHalf() {
    const char* option = lookupOption('s');
    if (option == nullptr) return 0;
    std::int64_t microseconds = optionNumber(option);
    if (microseconds < 100 || microseconds > 5000) microseconds = 624;
    return static_cast<double>(microseconds) * 1e-6 * rescueState.rate / 2;
}

void printSyncLines(const BlockReading& reading) {
    for (double at : reading.syncSeconds) consolePrint("%02x szinkron byte %.3f másodpercnél\n", 0xD3, at);
}

// Prints the block's line and writes it into the program's file, as the
// default decoder does with a block it has read.
void storeBlock(const BlockReading& reading, int polarity) {
    const BlockDecision decision = decideBlock(reading, polarity);
    printSyncLines(reading);
    for (std::uint8_t byte : decision.bytes) consolePrint("%02x ", byte);
    DecoderState& state = decoderState;
    std::copy(decision.bytes.begin(), decision.bytes.end(), state.blockBuf.begin());
    // The block as decided: a repair may have completed a block that the
    // first reading lost before its length byte, or misread its type byte.
    const BlockKind kind = decision.kind;
    const int lengthAt = lengthByteIndex(kind);
    const bool lengthKnown = lengthAt < 0 || static_cast<int>(decision.bytes.size()) > lengthAt;
    const int n =
        lengthAt >= 0 && lengthKnown ? blockLength(decision.bytes[static_cast<std::size_t>(lengthAt)]) : 0;
    if (kind == BlockKind::name && lengthKnown) {
        consolePrint(" %c: ", decision.mark);
        startNamedProgram(n);
    } else {
        consolePrint(" %c\n", decision.mark);
        if (kind == BlockKind::data && lengthKnown) storeDataBlock(n);
        if (kind == BlockKind::b9) storeB9Block();
        if (kind == BlockKind::end) finishProgramFile();
    }
    consoleFlush();
    noteBlock(decision);
}

// Within a program, `reader` found no sync from `from` (the end of a block)
// to `to` (the next block's sync, or where it lost the signal): a block's
// sync there may have been misread. A tracker of each kind, with the
// program's polarity and timing, looks there again; true with the first
// block one of them finds that starts before `to`.
bool findMissedBlock(const CellTracker& reader, double from, double to, BlockReading& found) {
    const double rate = rescueState.rate;
    for (const bool onLength : {reader.settings.decideOnLength, !reader.settings.decideOnLength}) {
        CellTracker tracker = reader;
        tracker.settings = TrackerSettings{};
        tracker.settings.decideOnLength = onLength;
        // The first edge is looked for before `to` only, not through the
        // silence that may follow a loss.
        tracker.count = std::min(reader.count, static_cast<std::int64_t>(to));
        if (!startTracker(tracker, static_cast<std::int64_t>(from), halfWave(reader), rate)) continue;
        tracker.count = reader.count;
        std::copy(std::begin(reader.cell), std::end(reader.cell), std::begin(tracker.cell));
        std::copy(std::begin(reader.cell), std::end(reader.cell), std::begin(tracker.measuredCell));
        SyncHunt hunt;
        for (SoftBit bit; tracker.start < to && nextBit(tracker, bit) && !trackerLost(tracker);) {
            if (!takeSyncBit(hunt, bit)) continue;
            readBlock(tracker, hunt, rate, found);
            if (found.syncStart < to - 8 * halfWave(reader)) return true;  // not the next block's own sync
            break;
        }
    }
    return false;
}

// Reads block after block with a tracker that has just found a sync, until
// the signal is lost or the recording ends; returns where it stopped.
// Within a program, tape signal that goes on for longer than a gap between
// blocks without a sync held a block that was not found, and so may the
// stretch before the tracker lost the signal: they are looked for again,
// and what is not found there is noted for the report.
std::int64_t readBlocks(CellTracker& tracker, SyncHunt& hunt) {
    const double rate = rescueState.rate;
    const double longestGap = kLongestGapSeconds * rate;
    bool inProgram = true;
    double huntFrom = -1;  // where the hunt for this block's sync began, within a program
    for (;;) {
        BlockReading reading;
        readBlock(tracker, hunt, rate, reading);
        if (huntFrom >= 0 && reading.syncStart - huntFrom > longestGap) {
            BlockReading missed;
            if (findMissedBlock(tracker, huntFrom, reading.syncStart, missed))
                storeBlock(missed, tracker.polarity);
            else
                noteBlocklessStretch(huntFrom, reading.syncStart);
        }
        storeBlock(reading, tracker.polarity);
        if (reading.kind == BlockKind::end && reading.end == ReadEnd::complete) inProgram = false;
        if (reading.end == ReadEnd::nextBlock) continue;
        if (reading.end == ReadEnd::recordingEnd) return tracker.count;
        bool found = reading.end != ReadEnd::signalLost;
        huntFrom = inProgram ? tracker.start : -1;
        if (found) {
            found = false;
            hunt = SyncHunt{};
            for (SoftBit bit; !found && nextBit(tracker, bit) && !trackerLost(tracker);)
                found = takeSyncBit(hunt, bit);
        }
        if (found) continue;
        double resume = tracker.start;
        if (huntFrom >= 0) {
            BlockReading missed;
            if (findMissedBlock(tracker, huntFrom, tracker.start, missed)) {
                storeBlock(missed, tracker.polarity);
                resume = std::max(resume, missed.lastSample);
            } else if (tracker.start - huntFrom > longestGap) {
                noteBlocklessStretch(huntFrom, tracker.start);
            }
        }
        if (inProgram) {
            consolePrint("Újraindulás %.3f másodpercnél\n", secondsInRecording(tracker.start));
            // Within a program the signal is seldom gone: the bits may have
            // been decided the wrong way for this recording.
            rescueState.preferLengths = !tracker.settings.decideOnLength;
        }
        return static_cast<std::int64_t>(resume);
    }
}

// T at a position: from -s, or measured on the stretch that starts there.
double halfWaveAt(std::int64_t position) {
    const RescueState& state = rescueState;
    const double given = givenHalf();
    if (given > 0) return given;
    const auto count = state.signalCount;
    const auto window = std::max<std::int64_t>(64, static_cast<std::int64_t>(0.1 * state.rate));
    return estimateHalfWave(state.signal.get(), position, std::min(count, position + window), state.rate);
}

// Tracker `found` has just found a sync. The others read the same bits a
// moment later, if they read them at all (one of the other polarity follows
// the middles of the cells): each is brought up to about the same place,
// and of those that find the sync there too, the one that missed the fewest
// edges of late reads the blocks; where they tie, the kind of decision
// preferred now (at first the slot, the sounder one in noise), then the one
// with the more evidence.
int steadiestAtSync(CellTracker* trackers, SyncHunt* hunts, const bool* running, int found) {
    const double until = trackers[found].start + trackers[found].cell[0] / 2;
    auto better = [&](int i, int j) {
        const CellTracker &a = trackers[i], &b = trackers[j];
        const int missedA = std::popcount(a.missedCells), missedB = std::popcount(b.missedCells);
        if (missedA != missedB) return missedA < missedB;
        const bool preferredA = a.settings.decideOnLength == rescueState.preferLengths;
        const bool preferredB = b.settings.decideOnLength == rescueState.preferLengths;
        if (preferredA != preferredB) return preferredA;
        return a.recentEvidence > b.recentEvidence;
    };
    int best = found;
    for (int i = 0; i < kTrackers; ++i) {
        if (i == found || !running[i]) continue;
        CellTracker& other = trackers[i];
        for (SoftBit bit; other.start <= until && nextBit(other, bit) && !trackerLost(other);) {
            if (!takeSyncBit(hunts[i], bit)) continue;
            if (better(i, best)) best = i;
            break;
        }
    }
    return best;
}

// Looks for tape signal from `position` on, and for the first sync with
// either polarity (or the one -j gives); reads the blocks that follow.
// A tracker that loses the signal starts again where it lost it, while
// there is tape signal there. Returns where to look next.
std::int64_t decodeStretch(std::int64_t position) {
    const RescueState& state = rescueState;
    const auto count = state.signalCount;
    const auto window = std::max<std::int64_t>(64, static_cast<std::int64_t>(0.1 * state.rate));
    const double half = halfWaveAt(position);
    if (half <= 0) return position + window;  // no tape signal in this tenth of a second

    // On a sound recording every tracker finds the sync at the same bit; a
    // reshaped one only those deciding on lengths read.
    const char* first = lookupOption('j');
    const bool onePolarity = lookupOption('s') != nullptr && first != nullptr;
    CellTracker trackers[kTrackers];
    SyncHunt hunts[kTrackers];
    bool running[kTrackers] = {false, false, false, false};
    for (int i = 0; i < kTrackers; ++i) {
        trackers[i].signal = state.signal.get();
        trackers[i].count = count;
        trackers[i].envelope = state.envelope.data();
        trackers[i].envelopeCount = static_cast<std::int64_t>(state.envelope.size());
        trackers[i].polarity = i % 2 == 0 ? 1 : -1;
        trackers[i].settings.decideOnLength = i >= 2;
        if (onePolarity && (trackers[i].polarity < 0) != (first[0] == 'H' || first[0] == 'h')) continue;
        running[i] = startTracker(trackers[i], position, half, state.rate);
    }
    std::int64_t reached = position + window / 2;
    for (;;) {
        int next = -1;
        for (int i = 0; i < kTrackers; ++i) {
            if (running[i] && (next < 0 || trackers[i].start < trackers[next].start)) next = i;
        }
        if (next < 0) {
            noteBlocklessStretch(static_cast<double>(position), static_cast<double>(reached));
            return reached;
        }
        CellTracker& tracker = trackers[next];
        SoftBit bit;
        if (!nextBit(tracker, bit)) {
            running[next] = false;
            reached = std::max(reached, count);
            continue;
        }
        if (trackerLost(tracker)) {
            const auto lost = static_cast<std::int64_t>(tracker.start);
            reached = std::max(reached, lost);
            const double again = halfWaveAt(lost);
            running[next] = again > 0 && startTracker(tracker, lost, again, state.rate);
            hunts[next] = SyncHunt{};
            continue;
        }
        if (!takeSyncBit(hunts[next], bit)) continue;
        next = steadiestAtSync(trackers, hunts, running, next);
        CellTracker& chosen = trackers[next];
        consolePrint("\nProgram szinkron %.3f másodpercnél %d mikromásodperces elválasztóval és %s jellel\n",
                     secondsInRecording(chosen.startedAt),
                     static_cast<int>(2 * halfWave(chosen) * 1e6 / std::max(1.0, state.rate)),
                     chosen.polarity > 0 ? "magas" : "alacsony");
        return std::max(reached, readBlocks(chosen, hunts[next]));
    }
}

void decodeRecording() {
    const auto count = rescueState.signalCount;
    if (rescueState.rate <= 0) return;
    for (std::int64_t position = 0; position < count;)
        position = std::max(position + 1, decodeStretch(position));
}

}  // namespace

bool rescueRequested() {
    const char* option = lookupOption('r');
    return option != nullptr && (option[0] == 'I' || option[0] == 'i');
}

void rescueWavFile(const char* path) {
    RescueState& state = rescueState;
    loadConditionedSignal(path, state.filter);
    decodeRecording();
    // Tape signal, and not a block in it: a dull playback head, or a steep
    // low-pass on the way, can leave the short half-waves of the 1 bits so
    // small beside the long ones that no edge shows between them. With them
    // made louder against the long ones, the recording is read once more.
    const bool noBlock = state.blocksClean + state.blocksRepaired + state.blocksFailed == 0;
    if (noBlock && !state.blockless.empty()) {
        state.blockless.clear();
        state.preferLengths = false;
        state.filter.emphasisHz = kEmphasisHz;
        conditionAgain(state.filter);
        decodeRecording();
    }
    closeProgramFileAtEnd();
    closeWavInput(state.input);
    writeConditionedWav();
    printDamageReport();
}
