#pragma once

#include <string>

// The tape map's look: its colours as a style sheet and patterns (inside the
// document: it loads nothing), and the legend that names them.
std::string mapStyle();

// The legend, one row with its top at y, starting at the plot's left edge;
// with several takes it also names the strip of blocks that each one gave.
std::string mapLegend(double y, bool takes);
