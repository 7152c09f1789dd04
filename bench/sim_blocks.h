#pragma once

// The block lines of a decoding run's console output, to compare with the
// blocks really on the tape.

#include <string>
#include <vector>

#include "support/file_bytes.h"

struct BlockLine {
    Bytes bytes;       // as printed, from the type byte on (none for a block no byte of which was read)
    char mark = 0;     // 'O', 'J' or 'X'
    std::string text;  // the whole line
    double syncSecond = -1;  // the last sync byte printed before it ("d3 szinkron byte S ..."); -1: none
};

// Every line that shows a block: its bytes in hexadecimal, then its mark
// (with a name block, "O:" and the file it starts).
std::vector<BlockLine> blockLinesOf(const std::string& output);

// Where a block that is none of the true ones differs from the true blocks
// of its length and first two bytes: one line per such block.
std::string differencesFromTruth(const Bytes& read, const std::vector<Bytes>& truth);
