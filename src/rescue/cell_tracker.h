#pragma once

#include <array>
#include <cstdint>

struct Recording;

// Follows the bit cells of a tape signal one after another. A cell is two
// half-waves of opposite level, T long for a 1 and 3T for a 0 (T is 312 µs
// on a standard tape). The two kinds differ only in the slot [T, 2T] after
// the cell's start: low in a 1, still high in a 0 (for a cell that starts
// with its high half). So each bit is decided on the mean of that slot, which
// also says how sure the decision is; the cell's end is then looked for near
// where the decision puts it, and the start of the next cell is anchored on
// the edge found there. The cell lengths follow the measured cells, so the
// tracker keeps pace with a tape whose speed drifts or wobbles.

// How a tracker follows the timing; the retry ladder tries other values.
struct TrackerSettings {
    double anchorGain = 1.0;      // how far a found edge moves the next cell's start (1: all the way)
    double halfGain = 1.0 / 32;   // how fast the cell lengths follow the measured cells (a mean of the
                                  // last few dozen)
    double edgeWindow = 0.8;      // how far from where it is expected an edge is looked for, in T
                                  // (for a 0 bit 1.6 times as far: its length has more to err by)
    bool anchorOnMiddle = false;  // anchor on the edge in the middle of the cell instead of its end
    bool decideOnLength = false;  // decide each bit on the cell's length, up to the first edge of its
                                  // direction, instead of on the slot: for a recording whose filters
                                  // have reshaped the cells but left their edges in place
};

// Bits whose spread gives the noise (startTracker fills the window).
inline constexpr int kSpreadWindow = 32;

// A bit whose expected evidence, at the level the signal has under its
// cell against the noise measured there, is below this is erased: at that
// level a decision errs one time in six or more (the levels ±A lie one
// deviation of the noise from the middle), so its bits carry next to
// nothing and the signal counts as gone: a dropout.
inline constexpr double kGoneEvidence = 2.0;

// A tracker has lost the signal after this many cells in a row without an
// end edge.
inline constexpr int kLostAfterMissedEdges = 4;

struct CellTracker {
    const float* signal = nullptr;    // the conditioned samples
    std::int64_t count = 0;           // samples in signal
    std::int64_t offset = 0;          // where signal[0] lies in the recording (the envelope's samples)
    const Recording* recording = nullptr;  // its envelope and noise (recording.h), or none
    double envelopeLevel = 0;         // the envelope under the last few dozen cells where there was signal
    int polarity = 1;                 // +1: a cell starts with its high half; -1: with its low half
    TrackerSettings settings{};
    double start = 0;              // the current cell's first instant, in samples
    double startedAt = 0;          // the first cell's, where the tracker (last) started
    double cellSums[2] = {0, 0};   // the signal summed over each of the last two cells...
    double cellSpans[2] = {0, 0};  // ...and their lengths: a cell holds as much high as low, so
                                   // their mean is where the zero line has wandered to
    // The length of a 0 cell (about 6T) and of a 1 cell (2T), in samples:
    // followed apart, as a recording's long and short half-waves need not be 3:1.
    double cell[2] = {0, 0};
    double measuredCell[2] = {0, 0};  // the lengths measured, each kind alone, over a few hundred
                                      // cells: their ratio draws the kind not being measured along
    double shortestHalf = 0;  // the range T may move in
    double longestHalf = 0;
    double level[2] = {0, 0};    // recent mean magnitude of the slot, for 0 bits and 1 bits:
                                 // follows a dip of the signal within a few bits
    double steadyLevel[2] = {0, 0};  // the same over a few dozen bits of each kind: the level before a dip
    double slowLevel = 0;        // the same over a few hundred bits, both kinds
    double signalLevel = 0;      // deciding on lengths: the level of the cells' first half-waves, for
                                 // the edges (level and slowLevel then measure lengths)
    float spread[kSpreadWindow] = {};  // how far the last bits' values lay from their kind's level, relative
                                       // to it, in the order taken: their median, robust to a sudden change
                                       // of level, gives the noise
    float sortedSpread[kSpreadWindow] = {};  // the same values in ascending order, for the median
    int spreadCount = 0;         // bits taken into spread
    double deviation = 0;        // the noise's deviation relative to the level, from spread's median;
                                 // found anew every fourth bit
    int missedEdges = 0;         // cells in a row whose end was not found
    std::uint64_t missedCells = 0;  // of the last 64 cells, those whose end was not found
    double recentEvidence = 0;      // the last few dozen bits' evidence (each counted up to 100), as a
                                    // running mean: which of two trackers reads the more surely
    std::uint16_t weakBits = 0;  // of the last 16 bits, those with little evidence: when they are
                                 // the most, there is no tape signal
    int bitsSinceStart = 0;      // bits decoded since the tracker started
};

// One decoded bit.
struct SoftBit {
    int bit = 0;
    float llr = 0;            // log of how much likelier the decision is than its opposite
    double start = 0;         // the cell's first instant, in samples
    double end = 0;           // where the next cell starts
    bool edgeFound = false;   // the cell's end was found on an edge (not only expected there)
    bool noSignal = false;    // the recording's level fell away under the cell: a dropout
    bool timingSure = false;  // both ends lay on edges, the end close to where the decision put it:
                              // no bit can have been lost or gained here
};

// Where the timing of a stretch of tape signal shows itself: the half-wave
// lengths of the stretch form two groups, T and 3T. Returns T in samples,
// or 0 when the stretch holds no tape signal.
double estimateHalfWave(const float* signal, std::int64_t from, std::int64_t to, double rate);

// Starts a tracker at the first cell start after `from`: the first edge of
// the polarity's direction. False when none comes before the end.
bool startTracker(CellTracker& tracker, std::int64_t from, double half, double rate);

// T, the half-wave of a 1 bit, as the tracker sees it now.
inline double halfWave(const CellTracker& tracker) { return tracker.cell[1] / 2; }

// Decodes the next cell. False at the end of the signal.
bool nextBit(CellTracker& tracker, SoftBit& bit);

// The tracker has lost the signal: the last bits have had little evidence
// (a dropout, silence or hiss), or a run of cells had no end edge.
bool trackerLost(const CellTracker& tracker);

// Replaces one occurrence of `old` by `value` in sorted[0, count), which is
// in ascending order and stays so: the tracker's window of spreads kept
// sorted as it slides, so that its median is a single look.
void replaceSorted(float* sorted, int count, float old, float value);
