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

// A reading being gathered, by where its block begins.
struct PlacedReading {
    double at = 0;          // where its block begins, in samples
    double tolerance = 0;   // a block that begins within this after it is the same block
    std::size_t index = 0;  // in the search's readings, or in the default decoder's
    bool plain = false;     // the default decoder's
};

// Gathers the readings of a recording into tape blocks, in tape order:
// readings whose blocks begin within a few bytes of each other are of the
// same block. As a search goes on, each block is complete once no reading
// still to come can be of it, and can be decided then; the blocks are
// those that gathering every reading at once gives, in the same order.
struct TapeGathering {
    double rate = 0;                                   // samples per second
    const std::vector<DecodedBlock>* plain = nullptr;  // the default decoder's readings
    std::vector<PlacedReading> plainPlaced;            // ...by where they begin
    std::size_t plainGathered = 0;                     // ...of which this many have been taken into blocks
    std::size_t foundSeen = 0;                         // the search's readings taken in so far
    std::vector<PlacedReading> waiting;  // ...of them, those not yet in a block, in the order found
    bool open = false;                   // a block is being gathered, that more readings may join:
    double openAt = 0;                   // ...where it begins
    double openTolerance = 0;            // ...how far after that a reading still joins it
    std::vector<std::size_t> openFound;  // ...the search's readings of it so far
    std::vector<std::size_t> openPlain;  // ...and the default decoder's
};

// A gathering that has taken in no reading of the search yet, with the
// default decoder's readings, which are all known before the search.
TapeGathering startGathering(const std::vector<DecodedBlock>& plain, double rate);

// The tape blocks that are complete once no reading still to come begins
// before `bound` (infinity: none is to come), in tape order. `found` is
// every reading of the search so far, in the order found; those that an
// earlier call did not see are taken in. The blocks point into `found` and
// the default decoder's readings: decide them before `found` grows.
std::vector<TapeBlock> gatherComplete(TapeGathering& gathering, const std::vector<FoundBlock>& found,
                                      double bound);

// A first reading for the retry ladder where only the default decoder found
// the block: no bits of its own, the sync and the timing where the default
// decoder found them. The second and third sync bytes ended with cells that
// began 28 T apart (a byte D3 is five 1 cells and three 0 cells), and the
// first sync byte began 54 T before the last cell of the second.
BlockReading probeAt(const DecodedBlock& plain);

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
// into the next block, which must not be lost.) Of blocks of the same bytes
// whose extents overlap by more than half the shorter one's, one tape block
// decided twice, only the better marked (the first of equals) is written.
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
