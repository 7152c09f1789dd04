#pragma once

#include <string>

#include "map/tape_map.h"

// The damage map: a self-contained SVG picture of a rescued tape (no script,
// no font or file it loads), kMapWidth pixels wide (map_axis.h), with the
// recording's level per take, the programs, every block coloured by its mark
// with its report line as a tooltip, the dropouts and the tape signal that
// gave no block, and the tracked half-wave, along one time axis.
std::string tapeMapSvg(const TapeMap& map);

// Writes the picture to the file; a file that cannot be opened or written
// ends the run with the program's message, as its other outputs do.
void writeTapeMap(const TapeMap& map, const std::string& path);
