#pragma once

#include <cstdint>
#include <vector>

#include "decoder/block_sink.h"

// Decodes a WAV recording of a Primo cassette: loads and cleans the samples,
// finds each program's pulse timing on its 0xAA lead-in (or takes it from the
// options -s and -j), decodes bit after bit and hands them to the block
// framing, which writes the programs into the output directory.
void convertWavFile(const char* path);

// The separator -s gives, 2T in microseconds: from 100 to 5000, else (or
// where it is no number) the standard 624.
std::int64_t separatorOption();

// Decodes the recording (the channel given: wav_input.h) as convertWavFile
// does, but quietly: nothing is printed, no directory or file is made, and
// pathBase is left as it is. Returns the blocks it completed; the decoder's
// state, the samples among it, is reset afterwards.
std::vector<DecodedBlock> collectDecodedBlocks(const char* path, int channel);
