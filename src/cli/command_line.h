#pragma once

// Checks the command line, fills the option table and runs the converter that
// the input's extension selects. Returns the exit status of a run that gets
// through; every failure is reported and ends the run where it is found.
int runCommandLine(int argc, char** argv);
