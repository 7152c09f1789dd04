#pragma once

#include <string>
#include <vector>

#include "map/tape_map.h"
#include "rescue/damage_report.h"
#include "rescue/take.h"
#include "rescue/take_merge.h"

// The damage map of a rescue run (map/tape_map.h): the takes' levels, the
// programs written, every block with its report line, the stretches where
// the reference take's readings found the signal gone, the tape signal that
// gave no block, and the half-wave its trackers followed, on the reference
// take's time.
TapeMap rescueMap(const std::vector<Take>& takes, const MergedTape& tape, const DamageReport& report,
                  std::vector<MapProgram> programs, const std::string& title);

// Notes in the take what the map shows of one of its readings: where it
// found the signal gone, and the half-wave its cells showed.
void noteReading(Take& take, const FoundBlock& found);
