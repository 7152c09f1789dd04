#pragma once

#include <cstdint>
#include <cstdio>

#include "formats/wav_header.h"

// Where a WAV file keeps its format and its samples.
//
// Most files have the canonical layout: a 16-byte "fmt " chunk followed
// directly by "data", so that the samples start at byte 44. Audio tools also
// write other layouts: a longer "fmt " chunk (WAVE_FORMAT_EXTENSIBLE, used
// for 24 and 32 bits and above 48 kHz), or chunks such as LIST, bext and fact
// before "data". Such a file is walked chunk by chunk to find both.
struct WavLayout {
    WavHeader header;             // the canonical record as read, or the walked file's format fields
    bool walked = false;          // the format and the samples were found by walking the chunks
    std::int64_t dataOffset = 0;  // first byte of the samples
    std::int64_t dataBytes = 0;   // bytes from there that may hold samples
};

// Reads the layout of a file of the given length. A file with the canonical
// header, a file that is no RIFF/WAVE file, and a file whose walk finds no
// usable "fmt " chunk followed by a "data" chunk are all read the canonical
// way: the first 44 bytes as the header (zero where the file is shorter) and
// every byte after them as samples.
WavLayout readWavLayout(std::FILE* stream, std::int64_t fileLength);
