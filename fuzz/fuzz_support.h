#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A scratch directory in memory for the files one input needs, emptied after
// every run. Its path holds no '.', which the program would take for the
// start of the extension.
const std::string& scratchDirectory();

// Writes the bytes into the scratch directory under this name; returns the path.
std::string writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// Runs the program from a fresh start of all its state; a reported failure
// unwinds back here. Console output goes to /dev/null. Empties the scratch
// directory afterwards.
void runProgram(const std::vector<std::string>& arguments);
