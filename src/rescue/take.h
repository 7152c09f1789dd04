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
    bool alone = true;                 // no other take is read beside it (see readTake)
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
// damage map needs of the others is noted first. Each block is decided as
// soon as the search has passed it. A take read alone decides each reading
// as the search keeps it and lets its bits go (see decideAsKept), and keeps
// of its blocks' readings only what the second reading through the
// emphasis weighs.
void readTake(Take& take);

// A reading's bits take some 30 bytes each, and a take's search keeps
// thousands of readings: held until the search ends, their bits alone would
// grow by about 1.2 MB a minute of tape. So as the search keeps a reading,
// this decides it, as it would be decided later, into found.early, and lets
// its bits go. Not where a good block of the default decoder's that may be
// gathered with it gives other bytes: the block's own readings may then be
// read on through a dip, bit by bit (tape_blocks.cpp). Nor where other
// takes are read beside it: they piece blocks together from the bits of
// every take's readings. Where no good block of the default decoder's may
// be gathered with it at all, the decision keeps no evidence of the
// readings cut short: only that decoder's block is weighed against them.
void decideAsKept(Take& take, FoundBlock& found);
