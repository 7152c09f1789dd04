#pragma once

#include "rescue/block_reader.h"
#include "rescue/retry_ladder.h"

// The damage report the rescue decoder prints after the run: one line per
// block that was not read clean, with where it lies, its kind, its mark,
// what was repaired or what is wrong, and how many of its bits were in
// doubt; then a summary of the programs and blocks.

// Counts the block and, unless it is clean, notes it for the report.
void noteBlock(const BlockReading& reading, const BlockDecision& decision);

void printDamageReport();
