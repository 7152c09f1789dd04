#pragma once

// Runs kazettor inside this process, as its command line would, with what it
// prints captured: the simulations encode and decode thousands of recordings
// without starting a process for each.

#include <string>
#include <vector>

struct Run {
    int status = 0;
    std::string output;  // everything the run printed to the standard output
};

// arguments: what follows the program's name on its command line.
Run runProgram(std::vector<std::string> arguments);
