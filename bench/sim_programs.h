#pragma once

// Programs for the simulations: their tape blocks, the image the encoder
// reads, and the file the decoder writes when it reads every block right.

#include <random>
#include <string>
#include <vector>

#include "sim_random.h"
#include "support/file_bytes.h"

struct TapeProgram {
    std::string name;                 // the name block's name, as the output file takes it
    std::vector<Bytes> blocks;        // in tape order, each from its type byte to its checksum
    std::vector<std::string> labels;  // per block: "name", "data 1", ..., "B9", "end"
};

// The block with its checksum appended: the sum of every byte after the type byte.
Bytes withChecksum(Bytes block);
// Appends a PTP record of the given type holding the block.
void addRecord(Bytes& image, std::uint8_t type, const Bytes& block);

// The image the encoder reads: every record 0x55 but the last, 0xAA (a 0xB9
// block's too, so that the encoder goes on to the end block).
Bytes tapeImageOf(const TapeProgram& program);
// What the decoder writes for the program: its image, with the 0xB9 block
// as a last record, or for a name block of type 0x8A the data bytes alone.
Bytes decodedFileOf(const TapeProgram& program);
// The decoded file's name after its number: "NAME.ptp" or "NAME.ass".
std::string decodedFileName(const TapeProgram& program);

// A name block "SIMU", `blocks` data blocks of 256 random bytes, an end block.
TapeProgram simuProgram(int blocks, std::mt19937& random);

// A program of random make: a name block of any type (sometimes 0x8A), 2 to
// 12 data blocks of 1 to 256 random bytes, sometimes a 0xB9 block, an end block.
TapeProgram randomProgram(Draw& draw, const std::string& name);
