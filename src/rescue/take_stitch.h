#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rescue/take.h"

// A block that every take lost to a dropout, each at another place: each
// take's reading up to where its signal went, and again from where it came
// back, is set in its place by the bits the other takes read there, and the
// pieces are added bit by bit.

// A take's part of one block of the tape.
struct TakePart {
    const Take* take;
    const DecidedBlock* block;
};

// The block the pieced readings give, where every bit of it has evidence
// enough in the sum that its checksum holds and its slip risk is below
// what one reading is trusted with alone; `takes` names the takes whose
// readings went into it. Empty where there is none. The takes' recordings
// must still hold their conditioned samples.
std::vector<std::uint8_t> stitchedReading(const std::vector<TakePart>& parts, std::string& takes);

// Bits read on after a loss, and where the tracker lost the signal again
// (-1: it did not).
struct ReadOn {
    std::vector<SoftBit> bits;
    double lostAt = -1;
};

// A tracker read on may pass through a further dip, and slip there, before
// it loses the signal, or without losing it at all; its bits after the dip
// then fit nowhere. Cuts the bits read on at the first fall of the envelope
// to half of `level` after they began, and their last 8 before it, decided
// as the signal went, as if the tracker had lost the signal there (the
// reading read on from is cut so at its first dip too). Bits read on from
// inside a dip (`fromInsideDip`) begin below that: the fall is one after the
// envelope came back (not so for those read on where it came back: a fall
// just after their start is the dip's hiss, and cuts nothing). False where
// the envelope never fell so far under them, or where it
// fell before 64 bits more than 8 at either end: a dip's hiss may lift the
// envelope past the bar for a while, and the few bits read there would be
// placed by their time alone.
bool cutAtFall(const Recording& recording, double level, ReadOn& more, bool fromInsideDip);

// Cuts bits read on that lost the signal again (at `more.lostAt`) in a dip,
// where the envelope lay under half of `level` just before the loss, to
// those that ended by the start of that fall; nothing where the envelope
// had come back by the loss. (Their last 8 are left out anyway, decided as
// the signal went.) A tracker finds the signal lost some cells into a dip,
// and the cells it took there from the dip's noise have no time of their
// own. (After a 35 dB dip, the second in a block, a tracker's last bit kept
// was a 0 cell over a 1 cell and half a 0 cell, and the bits read on after
// the dip fell 56 samples, two 1 cells, from the block's time: rescue_sim
// --dip 18 0.02 --snr 28 --trials 1 --blocks 10 --seed 764549043.)
void cutAtFallBeforeLoss(const Recording& recording, double level, ReadOn& more);

// A block's last byte is followed by fill, 0xFF: the next block's, or the
// byte written after a program's last block, before the silence. False
// where `bits` read on, bit `end` the first past the block's end, hold a
// sure 0 (on its edges) among the 8 from there: the block ended before its
// true end. It gained bits in a dip (a 0 cell read as three 1 cells, as
// long, keeps the time) and its checksum held by chance on bytes short of
// its own.
bool fillFollows(const std::vector<SoftBit>& bits, std::size_t end);

// Where too few of the block's bits follow a dip to place them by (one at
// or over the block's end): its bits from the dip on, at the lengths of the
// cells before it, must fill the time from the last of `known` (the bits
// read before it) to `end`, where the block ended as the default decoder
// timed it (on the reading's time); and every sure bit read on after the
// dip (`more`, but its first few) must be the block's bit laid at its time
// there, or fill (a 1) past the end. A bit gained or lost in the dip moves the end by a 1 cell or
// more; the default decoder's timing of the block agrees with a tracker's
// within a sample where both read it right (rescue_sim --dip 23 0.0224
// --snr 28 --seed 1971303: 0.2 and 0.1 samples).
bool endsInDip(const std::vector<SoftBit>& known, const std::vector<SoftBit>& more,
               const std::vector<std::uint8_t>& bytes, double end);

// What reading a block on through its dips found (readOnThrough).
struct DipsReadOn {
    double unseenFrom = -1;       // where the first bit in a dip began: the reading's bits from there on were
                                  // decided in the dip, or as the signal went, and say nothing of the block
    bool heard = false;           // the samples in every dip followed the block's cells there (see
                                  // kCellsHeard, take_stitch.cpp): the dip held the signal, however far
                                  // under the noise floor its envelope sank
    std::vector<BitSpan> unseen;  // the block's bits in each dip, which no bit read on saw
    std::vector<SampleSpan> times;  // where each dip's bits lay: from the end of the last bit before it to
                                    // the first bit read on after it (or the block's end)
    double level = 0;               // the envelope of the block's reading, which the dips fell from
    bool toEnd = false;  // the last dip ran to the block's end, its bits held to the default decoder's
                         // timing of it (endsInDip): no bit read on after it saw the block
};

// Whether the samples of a dip that `bytes` was read on through tell it
// from another block `other` of its length that parts from it first in
// that dip, and after it gives its bits at one place (a 0 cell and three 1
// cells are as long, so the time of the bits in a dip does not tell a block
// two places off; up to kMostPlacesOff, take_stitch.cpp). Both blocks' bits
// are laid over the dip's time; where their cells differ (a third of a 0
// cell's samples against three 1 cells'), the samples follow those of
// `bytes` with a correlation of at least half of kCellsHeard
// (take_stitch.cpp): midway between following cells as a heard dip does
// and following none, for the samples that follow one block's cells there
// follow the other's as far the other way. Only where every dip was heard.
// (Other readings' good blocks, their checksums holding by chance, two
// places off or with two bits of a type byte, failed the default decoder's
// right block on five tapes of two draws of random dips, where the samples
// followed it at 0.60 to 0.90 and the other block as far below 0:
// rescue_sim --dip 15 0.0141 --snr 34 --trials 1 --blocks 10 --seed
// 572765439, and seeds 21245735 to 21245881.)
bool dipTellsApart(Recording& recording, const FoundBlock& found, const DipsReadOn& dips,
                   const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& other);

// Where a complete reading parts from `bytes` after a dip that `bytes` was
// read on through only as `bytes` two places off (a 0 cell in the dip read
// as three 1 cells, as long, or three as one), and the dip's samples tell
// `bytes` from every block so slipped there (dipTellsApart): the first bit
// of that dip, from which the reading's bits deny nothing. Else SIZE_MAX.
// (Through an 8 ms dip eleven readings gained two bits in a name block;
// after it its bits 55 55 and the checksum 42 two places off differ in two
// bits, on their edges at 40 to 170, and denied it where the default
// decoder read it right and its reading read on through the heard dip gave
// it: rescue_sim --dip 8 0.0562 --snr 16 --trials 1 --blocks 10 --seed
// 204310327.)
// `weighed`, where given, keeps each slipped block's verdict for the next
// reading of the same block through the same dips: the readings of a block
// slip alike, and each verdict reads the dip's samples from the file.
using DipVerdicts = std::vector<std::pair<std::vector<std::uint8_t>, bool>>;
std::size_t slippedInDip(Recording& recording, const FoundBlock& found, const DipsReadOn& dips,
                         const std::vector<std::uint8_t>& bytes, const SignedReading& reading,
                         DipVerdicts* weighed = nullptr);

// One take alone, the same way: the default decoder's block `bytes`, read
// through a dip that the take's trackers did not read through. `found`, a
// reading of the block that lost the signal in the dip or slipped there, is
// read on from where the signal came back (one that slipped, from the dip
// before the first bit it parts from the block in, sure of it, or where that
// fails from the first fall in the block; where that leaves too few bits,
// from inside the dip, where its level stayed clear of the noise) and
// placed by the block's own bits (or, too few to place so, by their time),
// and read on again after each further dip in which those bits are lost.
// True where the bits read on lie at one place only and agree there with
// the block on every sure bit up to its end (but the first few, decided
// before the tracker settled), those before the dip (but the last few,
// decided as the signal went, and those off their edges, which measured a
// place and not a bit) do too, the block's bits between, with
// those first few, fill the time between, and the bits read on past its
// end begin as fill (fillFollows).
// Those bits are the default decoder's alone: the caller decides whether
// the signal held there. Where true, and `dips` is given, it is filled in
// (the dips' samples are read again from the file only then).
// `found` may be a probe (probeAt, tape_blocks.h) where the trackers read
// nothing of the block, a dip over its sync: read on from the block's start.
// Where a dip lies at or over the block's end, too few of its bits follow
// it to place them by: given `plainSpan`, the default decoder's time from
// the last cell of the block's sync (a 1) to the block's last cell, each
// where it began (DecodedBlock::syncPositions[1] to lastSample), the
// block's end holds its bits in the dip to their time instead (see endsInDip).
bool readOnThrough(Recording& recording, const FoundBlock& found, const std::vector<std::uint8_t>& bytes,
                   double plainSpan = 0, DipsReadOn* dips = nullptr);

// The level of the block a reading read (that readOnThrough reads on from):
// the envelope's median over the reading, or over the block as the default
// decoder timed it (`plainSpan` from the reading's start, where given),
// whichever is higher. A reading that lost the signal in a dip at the
// block's start spans little more than the dip (a 43 ms dip 29 samples in
// left one whose median was the dip's, and a second dip under the bits read
// on never fell below half of it: rescue_sim --dip 46 0.0141 --snr 29
// --trials 1 --blocks 10 --seed 190260425), and a dip may cover most of a
// short block (56 ms of a 97 ms name block: --dip 56 0.0158 --snr 17
// --seed 190260378).
double blockLevel(const Recording& recording, const BlockReading& reading, double plainSpan);

// Bytes decided from summed evidence form a whole block: of a known kind,
// as long as its length byte says, its checksum holding.
bool wholeBlock(const std::vector<std::uint8_t>& bytes);
