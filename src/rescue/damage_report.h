#pragma once

#include <string>
#include <vector>

#include "rescue/print_through.h"
#include "rescue/retry_ladder.h"

// The damage report the rescue decoder prints after the run: one line per
// block that was not read clean, with where it lies, its kind, its mark,
// what was repaired or what is wrong, and how many of its bits were in
// doubt; lines for the stretches of tape signal that gave no block, and for
// the copies of blocks by print-through left out; then a summary of the
// programs and blocks.

// One entry of the report: a block that was not read clean.
struct DamageEntry {
    double firstSecond = 0;  // where the block's first bit began
    double lastSecond = 0;   // where its last bit ended
    std::string kind;        // the block's kind, in words
    char mark = 'X';         // J or X
    std::string what;        // the repair step that succeeded, or what is wrong
    int uncertainBits = 0;   // bits whose decision was in doubt
    std::string takes;       // with several takes: those that gave it
};

// A stretch of the recording that holds tape signal but gave no block: a
// program may have been there.
struct BlocklessStretch {
    double firstSecond = 0;
    double lastSecond = 0;
};

struct DamageReport {
    std::vector<DamageEntry> damage;          // in tape order
    std::vector<BlocklessStretch> blockless;  // in tape order
    std::vector<Echo> echoes;                 // print-through left out, in tape order
    int programs = 0;                         // name blocks written (programs started)
    int clean = 0;                            // blocks marked O
    int repaired = 0;                         // blocks marked J
    int failed = 0;                           // blocks marked X
    std::vector<std::string> humLines;        // the mains hum taken off each take, after the summary
    std::vector<std::string> takeLines;       // with several takes: how each fared, after the summary
};

// The block's kind in the report's words.
const char* blockKindName(BlockKind kind);

// Counts the block and, unless it is clean, notes it for the report; its
// extent is given in seconds.
void noteBlock(DamageReport& report, const BlockDecision& decision, double firstSecond, double lastSecond,
               const std::string& takes = "");

// Notes a stretch of tape signal in which no block was found; stretches
// must be noted in tape order, and one that nearly meets the one before it
// joins it.
void noteBlocklessStretch(DamageReport& report, double firstSecond, double lastSecond);

void printDamageReport(const DamageReport& report);

// A blockless stretch long enough for the report to name (a burst of noise
// can look like tape signal for a moment).
bool reported(const BlocklessStretch& stretch);

// The report's line for a block (without its indent and line feed); an O
// block, which the report leaves out, gets its place, kind and mark.
std::string blockLine(const DamageEntry& entry);

// The report's summary line (without its line feed).
std::string summaryLine(const DamageReport& report);
