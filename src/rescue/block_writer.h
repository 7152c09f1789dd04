#pragma once

#include <vector>

#include "map/tape_map.h"
#include "rescue/damage_report.h"
#include "rescue/recording.h"
#include "rescue/tape_blocks.h"

// The last step of the rescue decoder: every decided block is printed and
// written into its program's file once, in tape order, with the lock line
// of each program and the restart lines where a tracker lost the signal
// within a program; each block is noted for the damage report.
// Each program written is noted in `programs`, with its file's name.
void writeTapeBlocks(const Recording& recording, const std::vector<DecidedBlock>& blocks,
                     const std::vector<double>& restarts, DamageReport& report, std::vector<MapProgram>& programs);
