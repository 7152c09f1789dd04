#pragma once

#include <string>

// The decoder's output directory (the input path cut at its first '.'), which
// prefixes every path it writes; the encoder keeps its output WAV path here.
// Any length: paths are never cut short.
extern std::string pathBase;

// Sets pathBase from an input path: the path cut at its first '.'.
void setPathBase(const std::string& path);
