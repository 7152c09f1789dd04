#pragma once

// A recording decoded by the default decoder and by the rescue decoder
// (-r I), each judged block by block against the truth: was each true block
// written with its bytes, with which mark; which block lines marked O or J
// are none of the true blocks (a wrong mark); which programs' files are exact.

#include <string>
#include <vector>

#include "worn_truth.h"

struct DecoderOutcome {
    std::vector<char> markOf;  // per true block: the mark of the line that wrote its bytes, or 0
    int right = 0;             // true blocks written with their bytes and marked O or J
    int rightO = 0, rightJ = 0, rightX = 0;  // true blocks written with their bytes, by mark
    int xLines = 0;                          // block lines marked X, right or not
    std::vector<std::string> wrong;          // per wrong mark: the line, and where it differs from the truth
    int copies = 0;         // block lines marked O or J that show a true block again, one that a line
                            // where it lies showed already (print-through, a second look)
    int exact = 0;          // programs whose file is exact
    double seconds = 0;     // the decoding's wall time
    double cpuSeconds = 0;  // and the processor time it took
    int status = 0;
};

struct DecodedPair {
    DecoderOutcome plain, rescue;
};

// Decodes `wav` (a path without any other '.') with both decoders, in this
// process; the output directory beside it is removed after each.
DecodedPair decodeBoth(const std::string& wav, const Truth& truth);

// "default 15/17 (O15 J0 X0) X2 wrong0 copies0 exact1/2 0.12s": true blocks
// written right and marked O or J, of all; the true blocks written right by
// mark; the block lines marked X; wrong marks; lines that repeat a true
// block; exact program files; processor time.
std::string outcomeText(const char* name, const DecoderOutcome& outcome, const Truth& truth);

// Where the rescue decoder did worse than the default decoder: fewer blocks
// right, and the blocks that only the default decoder read right; empty
// where it did not.
std::string rescueLosses(const DecodedPair& pair, const Truth& truth);
