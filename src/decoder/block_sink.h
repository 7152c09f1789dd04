#pragma once

#include <cstdint>
#include <vector>

// A block as the decoder framed it, with where it lay in the recording.
struct DecodedBlock {
    std::vector<std::uint8_t> bytes;         // type byte to checksum byte
    bool checksumOk = false;
    std::int64_t syncPositions[2] = {0, 0};  // where the last cells of the second and third sync bytes began
    std::int64_t lastSample = 0;             // where the checksum byte's last cell began
    std::int64_t lockPosition = 0;           // where the decoder took the timing it read the block with,
    std::int64_t separator = 0;              // its separator in samples,
    bool highFirst = true;                   // and whether a cell starts with its high half
};

// Where the decoder's blocks go. Normally to the console and the program
// files; with `collecting` set the decoder runs quietly, printing nothing
// and writing no file, and hands every block it completes to `blocks`
// instead: the rescue decoder takes them as readings of its own.
struct BlockSink {
    bool collecting = false;
    std::vector<DecodedBlock> blocks;  // in the order completed
    DecodedBlock current;              // the block being framed: its sync and timing so far
};

extern BlockSink blockSink;
