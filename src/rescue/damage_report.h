#pragma once

#include "rescue/block_reader.h"
#include "rescue/retry_ladder.h"

// The damage report the rescue decoder prints after the run: one line per
// block that was not read clean, with where it lies, its kind, its mark,
// what was repaired or what is wrong, and how many of its bits were in
// doubt; lines for the stretches of tape signal that gave no block; then a
// summary of the programs and blocks.

// Counts the block and, unless it is clean, notes it for the report.
void noteBlock(const BlockDecision& decision);

// Notes samples [from, to) as tape signal in which no sync was found;
// joined to the stretch noted before it when they nearly meet.
void noteBlocklessStretch(double from, double to);

void printDamageReport();
