#pragma once

#include "rescue/recording.h"

// Measures the recording's noise where it holds no tape signal (before,
// between and after the programs), so that the signal under a cell can be
// told apart from the noise that adds to it: its envelope there
// (recording.noiseFloor), and the hiss on the mean of a slot of each length
// (recording.meanNoise). Where no stretch without tape signal shows, the
// floor is 0 and the hiss not measured.
void measureNoiseFloor(Recording& recording);
