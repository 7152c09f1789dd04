#pragma once

// Checks the command line, fills the option table and runs the converter that
// the input's extension selects. Returns the exit status of a run that gets
// through; every failure is reported and ends the run where it is found.
int runCommandLine(int argc, char** argv);

// Back to the state of a fresh start: option table, path buffer, decoder and
// encoder records. The program runs once per process; tests and fuzzing run
// it many times in one.
void resetProgramState();
