#pragma once

// How a run of the program ends once a failure has been reported. The program
// links a version that exits the process with the status; the tests and the
// fuzzing harnesses link one that throws RunEnded, so that a reported failure
// unwinds back to them instead of ending the process.

struct RunEnded {
    int status;  // the exit status the program would have ended with
};

[[noreturn]] void endRun(int status);
