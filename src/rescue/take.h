#pragma once

#include <string>
#include <vector>

#include "decoder/block_sink.h"
#include "map/tape_map.h"
#include "rescue/block_search.h"
#include "rescue/print_through.h"
#include "rescue/recording.h"
#include "rescue/tape_blocks.h"

// One take: a recording of the tape, a file or one channel of a
// multichannel file, read by the rescue decoder on its own. Several takes
// of one tape are then merged (take_merge.h).
struct Take {
    std::string name;                  // "A", "B", ... in the order given
    std::string path;                  // its file
    int channel = 0;                   // the channel read (wav_input.h)
    Recording recording;               // its samples, conditioned, and its envelope
    std::vector<DecodedBlock> plain;   // the default decoder's blocks
    SearchResult search;               // the trackers' readings, restarts and blockless stretches
    SearchResult emphasisedSearch;     // their readings through the emphasis, where it was read again so
                                       // (emphasis_pass.h): blocks decided from them point here
    std::vector<DecidedBlock> blocks;  // each block decided, in the take's order and positions
    std::vector<Echo> echoes;          // blocks taken out as print-through of others
    std::vector<MapSpan> dropouts;     // for the damage map: where its readings found the signal gone...
    std::vector<MapHalfWave> halfWave;  // ...and the half-wave their cells showed, in its seconds
};

// The takes a run reads: the input (each channel of a multichannel input
// that -c does not narrow to one), then the recording -t names (each of
// its channels). Named A, B, ... in that order.
std::vector<Take> listTakes(const char* input);

// Reads the take: the default decoder's pass, the conditioning and the
// noise, the trackers' search (once more through the emphasis where the
// take gave no block at all), and a decision on each block (each decided
// again through the emphasis where most were X, and the better kept: see
// emphasis_pass.h; the conditioned signal, and so the cleaned copy, is
// then the emphasised one); copies of
// blocks by print-through are taken out. Of the readings' bits, only those
// of blocks it failed stay (the takes may piece those together): what the
// damage map needs of the others is noted first.
void readTake(Take& take);
