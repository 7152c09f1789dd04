#pragma once

#include <string>
#include <vector>

#include "rescue/take.h"

// Several takes of one tape merged into one reading of it. Each take has
// been read and decided on its own. The takes are aligned block by block:
// blocks that two takes read with the same good content are anchors, and
// between them the takes' times map onto each other, so that every block
// of one take finds its place in the other. Per block of the tape:
// - the takes' good readings (O or J) stand where they agree; two takes
//   that give different good blocks for one place contradict each other,
//   and the block is X;
// - where no take reads it good, one reading of it per take whose cells all
//   lay on their edges is added bit by bit, each bit's evidence summed
//   across the takes, and the block decided on the sums (J) where their
//   checksum holds and their slip risk is below what one reading is
//   trusted with alone.
// A take with no anchor is of another tape, or another part of it: it adds
// nothing.

// How a take fared.
struct TakeOutcome {
    std::string name;     // "A", "B", ...
    std::string label;    // its file, and channel where it is one of several
    bool matched = true;  // its blocks found their places on the tape
    int blocks = 0;       // the blocks it gave
    double offsetSeconds = 0;  // its time on the reference's, near enough to draw: reference seconds =
    double speed = 1;          // offsetSeconds + its seconds / speed
};

struct MergedTape {
    std::vector<DecidedBlock> blocks;  // every block of the tape once, in tape order, its positions in samples
                                       // of the reference take
    std::size_t reference = 0;         // the take whose time the positions are in
    std::vector<TakeOutcome> takes;
    int merged = 0;                    // blocks read only with the takes' evidence added up
};

// Merges the takes (a single take passes through as it is).
MergedTape mergeTakes(const std::vector<Take>& takes);

// The time map of one take onto another: pairs of the same instant, in
// seconds of each, in increasing order; between them the map is linear,
// beyond them it goes on with the slope of the nearest pair of pairs, or
// with `slope` (the takes' speed ratio) where there is a single pair.
double mapTime(const std::vector<std::pair<double, double>>& anchors, double seconds, double slope = 1);
