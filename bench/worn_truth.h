#pragma once

// What is really on a simulated tape, kept beside its recording so that the
// recording can be decoded and judged later (--evaluate), after a lossy
// codec for instance. A text file: a first line naming the format, then one
// line per field, tab-separated, bytes in hexadecimal.

#include <string>
#include <vector>

#include "support/file_bytes.h"

struct TruthProgram {
    std::string fileName;  // the decoded file's name after its number: "NAME.ptp", "NAME.ass"
    Bytes file;            // its contents when every block is read right
};

struct TruthBlock {
    std::string label;        // "P1 name", "P1 data 3", "P2 B9", "P2 end"
    double from = 0, to = 0;  // where its bytes lie in the recording, seconds
    Bytes bytes;              // type byte to checksum
};

struct Truth {
    std::string description;  // seed, severity, encoding and damage, one line
    std::vector<TruthProgram> programs;
    std::vector<TruthBlock> blocks;
    std::vector<std::string> notes;  // where the damage lies, for a developer: "dropout at 18.123 s, ..."
};

void writeTruth(const std::string& path, const Truth& truth);
// False, with a message on the standard error, when the file is not one.
bool readTruth(const std::string& path, Truth& truth);
