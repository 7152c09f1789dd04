#pragma once

// Decodes a WAV recording of a Primo cassette: loads and cleans the samples,
// finds each program's pulse timing on its 0xAA lead-in (or takes it from the
// options -s and -j), decodes bit after bit and hands them to the block
// framing, which writes the programs into the output directory.
void convertWavFile(const char* path);
