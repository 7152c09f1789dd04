#include "rescue/block_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "cli/option_table.h"
#include "decoder/bit_decoder.h"
#include "rescue/cell_tracker.h"

namespace {

// Trackers that look for a sync side by side, in both polarities: two
// decide bits on the slot, two on the cell's length up to the next edge of
// its direction (a recording whose filters have reshaped the cells; their
// readings are never trusted alone).
constexpr int kTrackers = 4;

// One search through a recording, and what it has found so far.
struct Search {
    const Recording& recording;
    SearchResult result;
    bool preferLengths = false;  // where trackers deciding on the slot and on lengths read a sync equally
                                 // well, take one on lengths: one on the slot lost the signal in a program
    int runs = 0;                // tracker runs that found a sync
    const KeptReading& kept;     // told of each reading kept, or empty
    const SearchProgress& progress;  // told where the search stands, or empty
};

// -s gives the separator between the half-waves of 1 and 0 bits, 2T (with
// the default decoder's range and fallback); -j H says that cells start with
// their low half. Without them both are found on the tape.
double givenHalf(double rate) {
    if (lookupOption('s') == nullptr) return 0;
    return static_cast<double>(separatorOption()) * 1e-6 * rate / 2;
}

void noteBlockless(Search& search, double from, double to) { search.result.blockless.push_back({from, to}); }

// Within a program, `reader` found no sync from `from` (the end of a block)
// to `to` (the next block's sync, or where it lost the signal): a block's
// sync there may have been misread. A tracker of each kind, with the
// program's polarity and timing, looks there again; true with the earlier
// of the blocks they find that start before `to` (the caller looks again
// after it: two short blocks in a row may both have been passed over).
bool findMissedBlock(const Search& search, const CellTracker& reader, double from, double to,
                     BlockReading& found) {
    const double rate = search.recording.rate;
    bool any = false;
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
            BlockReading reading;
            readBlock(tracker, hunt, rate, reading);
            // Not the next block's own sync.
            if (reading.syncStart < to - 8 * halfWave(reader) &&
                (!any || reading.syncStart < found.syncStart)) {
                found = std::move(reading);
                any = true;
            }
            break;
        }
    }
    return any;
}

void keep(Search& search, BlockReading&& reading, const CellTracker& tracker, const LockLine& lock) {
    search.result.blocks.push_back({std::move(reading), tracker.polarity, search.runs, lock, std::nullopt});
    if (search.kept) search.kept(search.result.blocks.back());
    // Later readings lie after this one: the tracker reads on from its end,
    // and a missed block is looked for after it.
    if (search.progress)
        search.progress(search.result.blocks, search.result.blocks.back().reading.firstSample);
}

// Reads block after block with a tracker that has just found a sync, until
// the signal is lost or the recording ends; returns where it stopped.
// Within a program, tape signal that goes on for longer than a gap between
// blocks without a sync held a block that was not found, and so may the
// stretch before the tracker lost the signal: they are looked for again,
// and what is not found there is noted as blockless.
std::int64_t readBlocks(Search& search, CellTracker& tracker, SyncHunt& hunt, const LockLine& lock) {
    const double rate = search.recording.rate;
    const double longestGap = kLongestGapSeconds * rate;
    bool inProgram = true;
    double huntFrom = -1;  // where the hunt for this block's sync began, within a program
    for (;;) {
        BlockReading reading;
        readBlock(tracker, hunt, rate, reading);
        // Each block missed in the gap, one after the other.
        for (double from = huntFrom; from >= 0 && reading.syncStart - from > longestGap;) {
            BlockReading missed;
            if (!findMissedBlock(search, tracker, from, reading.syncStart, missed)) {
                if (from == huntFrom) noteBlockless(search, huntFrom, reading.syncStart);
                break;
            }
            from = std::max(from + 1, missed.lastSample);
            keep(search, std::move(missed), tracker, lock);
        }
        const ReadEnd end = reading.end;
        if (reading.kind == BlockKind::end && end == ReadEnd::complete) inProgram = false;
        keep(search, std::move(reading), tracker, lock);
        if (end == ReadEnd::nextBlock) continue;
        if (end == ReadEnd::recordingEnd) return tracker.count;
        bool found = end != ReadEnd::signalLost;
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
            if (findMissedBlock(search, tracker, huntFrom, tracker.start, missed)) {
                resume = std::max(resume, missed.lastSample);
                keep(search, std::move(missed), tracker, lock);
            } else if (tracker.start - huntFrom > longestGap) {
                noteBlockless(search, huntFrom, tracker.start);
            }
        }
        if (inProgram) {
            search.result.restarts.push_back(tracker.start);
            // Within a program the signal is seldom gone: the bits may have
            // been decided the wrong way for this recording.
            search.preferLengths = !tracker.settings.decideOnLength;
        }
        return static_cast<std::int64_t>(resume);
    }
}

// T at a position: from -s, or measured on the stretch that starts there.
double halfWaveAt(const Recording& recording, std::int64_t position) {
    const double given = givenHalf(recording.rate);
    if (given > 0) return given;
    const auto window = std::max<std::int64_t>(64, static_cast<std::int64_t>(0.1 * recording.rate));
    return estimateHalfWave(recording.signal.get(), position, std::min(recording.count, position + window),
                            recording.rate);
}

// Tracker `found` has just found a sync. The others read the same bits a
// moment later, if they read them at all (one of the other polarity follows
// the middles of the cells): each is brought up to about the same place,
// and of those that find the sync there too, the one that missed the fewest
// edges of late reads the blocks; where they tie, the kind of decision
// preferred now (at first the slot, the sounder one in noise), then the one
// with the more evidence.
int steadiestAtSync(const Search& search, CellTracker* trackers, SyncHunt* hunts, const bool* running, int found) {
    const double until = trackers[found].start + trackers[found].cell[0] / 2;
    auto better = [&](int i, int j) {
        const CellTracker &a = trackers[i], &b = trackers[j];
        const int missedA = std::popcount(a.missedCells), missedB = std::popcount(b.missedCells);
        if (missedA != missedB) return missedA < missedB;
        const bool preferredA = a.settings.decideOnLength == search.preferLengths;
        const bool preferredB = b.settings.decideOnLength == search.preferLengths;
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
std::int64_t searchStretch(Search& search, std::int64_t position) {
    const Recording& recording = search.recording;
    const auto count = recording.count;
    const auto window = std::max<std::int64_t>(64, static_cast<std::int64_t>(0.1 * recording.rate));
    const double half = halfWaveAt(recording, position);
    if (half <= 0) return position + window;  // no tape signal in this tenth of a second

    // On a sound recording every tracker finds the sync at the same bit; a
    // reshaped one only those deciding on lengths read.
    const char* first = lookupOption('j');
    const bool onePolarity = lookupOption('s') != nullptr && first != nullptr;
    CellTracker trackers[kTrackers];
    SyncHunt hunts[kTrackers];
    bool running[kTrackers] = {false, false, false, false}, allowed[kTrackers] = {false, false, false, false};
    for (int i = 0; i < kTrackers; ++i) {
        trackers[i].signal = recording.signal.get();
        trackers[i].count = count;
        trackers[i].recording = &recording;
        trackers[i].polarity = i % 2 == 0 ? 1 : -1;
        trackers[i].settings.decideOnLength = i >= 2;
        if (onePolarity && (trackers[i].polarity < 0) != (first[0] == 'H' || first[0] == 'h')) continue;
        allowed[i] = true;
        running[i] = startTracker(trackers[i], position, half, recording.rate);
    }
    std::int64_t reached = position + window / 2;
    for (;;) {
        int next = -1;
        for (int i = 0; i < kTrackers; ++i) {
            if (running[i] && (next < 0 || trackers[i].start < trackers[next].start)) next = i;
        }
        if (next < 0) {
            noteBlockless(search, static_cast<double>(position), static_cast<double>(reached));
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
            const double again = halfWaveAt(recording, lost);
            running[next] = again > 0 && startTracker(tracker, lost, again, recording.rate);
            hunts[next] = SyncHunt{};
            // Where the tape signal is back, the trackers that stopped for
            // the lack of it start again with this one: one alone may be
            // lost block after block and never meet a sync (after a
            // dropout, in a worn program, one of four read on alone).
            for (int i = 0; i < kTrackers && running[next]; ++i) {
                if (running[i] || !allowed[i]) continue;
                running[i] = startTracker(trackers[i], lost, again, recording.rate);
                hunts[i] = SyncHunt{};
            }
            // A tracker deciding on lengths never reads alone: where both on
            // the slot found no tape signal to start again on, the stretch
            // ends there, and the next one starts with T measured afresh.
            // (Started on a faint echo before a program, at a T of its own,
            // one read on through the whole program without a sync.)
            if (!running[0] && !running[1]) std::fill(std::begin(running), std::end(running), false);
            continue;
        }
        if (!takeSyncBit(hunts[next], bit)) continue;
        next = steadiestAtSync(search, trackers, hunts, running, next);
        CellTracker& chosen = trackers[next];
        ++search.runs;
        const LockLine lock = {chosen.startedAt,
                               static_cast<int>(2 * halfWave(chosen) * 1e6 / std::max(1.0, recording.rate)),
                               chosen.polarity > 0};
        return std::max(reached, readBlocks(search, chosen, hunts[next], lock));
    }
}

}  // namespace

SearchResult searchBlocks(const Recording& recording, const KeptReading& kept,
                          const SearchProgress& progress) {
    Search search{recording, {}, false, 0, kept, progress};
    if (recording.rate <= 0) return {};
    for (std::int64_t position = 0; position < recording.count;) {
        if (progress) progress(search.result.blocks, static_cast<double>(position));
        position = std::max(position + 1, searchStretch(search, position));
    }
    return std::move(search.result);
}
