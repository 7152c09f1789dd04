#pragma once

#include <string>
#include <vector>

#include "decoder/block_sink.h"
#include "rescue/block_search.h"
#include "rescue/retry_ladder.h"

// The second step of the rescue decoder: the readings of a recording,
// its own and the default decoder's, are gathered by where they lie into
// the blocks of the tape, and each block is decided once.

// One block of the tape and the readings of it.
struct TapeBlock {
    double at = 0;                           // where it begins in the recording, in samples
    std::vector<const FoundBlock*> found;    // the rescue decoder's readings, in the order found
    std::vector<const DecodedBlock*> plain;  // the default decoder's
};

// A block decided, with what its console lines need.
struct DecidedBlock {
    BlockDecision decision;
    double syncSeconds[2] = {0, 0};     // the second and third sync bytes, as the chosen reading saw them
    LockLine lock;                      // the timing of the tracker or decoder that read it
    int run = -1;                       // the tracker run that read it; -1: the default decoder alone
    Testimony testimony;                // what all the readings of it said
    std::string takes;                  // with several takes: those that gave it ("A+B")
    const FoundBlock* found = nullptr;  // the rescue decoder's reading decided on, where it made one (in
                                        // the search the block was gathered from)
};

// Gathers the readings into tape blocks, in tape order: readings whose
// blocks begin within a few bytes of each other are of the same block.
std::vector<TapeBlock> gatherTapeBlocks(const SearchResult& search, const std::vector<DecodedBlock>& plain,
                                        double rate);

// Decides one block: its own readings through the retry ladder, then the
// default decoder's reading against them.
DecidedBlock decideTapeBlock(Recording& recording, const TapeBlock& block);

// Leaves out each block whose checksum fails as written and that lies
// within a block whose checksum holds as written, from after its start to
// its end. Blocks on a tape never overlap (the fill and sync of the next
// block follow a block's last byte), so such a block is a misreading of the
// other's stretch: a sync read in its bytes, or a tracker at a wrong timing.
// Written, it would add its bytes to a program's file beside the block it
// misread. (One that runs on past the good block's end stays: where the
// good block's extent comes from a reading at a wrong timing, it may reach
// into the next block, which must not be lost.)
void leaveOutReadingsWithinBlocks(std::vector<DecidedBlock>& blocks);

// Whether the signal stayed clearly above the recording's noise over the
// samples from .. to (a dip, not a dropout): see kHeldDeviations.
bool signalHeld(const Recording& recording, double from, double to);

// The default decoder's reading of a block against what the rescue
// decoder's readings of it said: written as that decoder read it, O where
// its checksum holds, a reading of the rescue decoder's gives the same block
// (the best-fit search only where the signal held throughout), and none
// gives another good block or is sure of another; else X with the reason.
// Its checksum alone is not enough: it passes one misread block in 256,
// and an end block whenever two bytes read from noise or fill happen to be
// equal. `rate` gives the seconds of the report. Where a reading found the
// signal gone, the best-fit search still confirms it if `signalHeld`: the
// recording's envelope stayed clearly above its noise over the block (a
// dip, not a dropout), and no reading, complete or cut short, denies it.
void judgeDefaultReading(const DecodedBlock& plain, const Testimony& testimony, double rate,
                         BlockDecision& decision, bool signalHeld = false);
