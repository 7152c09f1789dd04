#include "rescue/tape_blocks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "rescue/take_stitch.h"

namespace {

// Readings of one block begin within a cell or two of each other; the
// blocks of a tape lie at least the fill and sync between blocks apart
// (13 bytes, over 200 T). Readings closer than this, 32 T, are of one block.
constexpr double kSameBlockHalves = 32;

bool holds(const std::vector<std::vector<std::uint8_t>>& readings, const std::vector<std::uint8_t>& bytes) {
    return std::find(readings.begin(), readings.end(), bytes) != readings.end();
}

// The best-fit search is the default decoder's own way of reading, so it
// can repeat that decoder's slip; a reading of the trackers' that holds
// strong evidence against the block then denies it. The sum of its evidence
// over the bits where it differs from the block, kDenied = 11.5, is odds of
// 10^5 to 1 that the block is wrong, unless the reading's own timing slipped:
// far above what a few bits flipped by noise in a right block add up to.
// Only a reading whose own slip risk allows its failed checksum counts: one
// that expected less than kHonestSlipRisk wrong bits, and yet has some, was
// wrong about itself (a fall of the level it took for none, its bits there
// read with the evidence of the loud cells before), and its evidence says
// nothing. (A reading that slipped, and knew it, denies a right block too.
// Which of the two slipped cannot be told from where they part: both part
// just where the reading's doubt begins, whether the default decoder's
// reading or the tracker's slipped there. A third reading can tell: see
// kFewDifferentBits. Without one the block is X, its bytes written as the
// default decoder read them.)
constexpr double kDenied = 11.5;
constexpr double kHonestSlipRisk = 0.5;

// A reading that kept its timing through the block, and gives the block's
// bits in all but a few (noise flips a bit or two in a dip, where a slip
// turns half of those after it), shows that the block's bits lie where the
// block has them: had the block slipped, a reading aligned through it would
// part from it as widely. Then a reading that slipped, and knew it, slipped
// itself: its denial says nothing, and where its checksum held, neither
// does its block (see denies and contradicted). The witness must have
// expected less than kHonestSlipRisk wrong bits: one that read through a
// dropout (its erased bits each add one) may have slipped just as the
// block did.
constexpr int kFewDifferentBits = 8;

// How many bits two blocks differ in (each byte one is longer by, 8).
int bitsApart(const std::vector<std::uint8_t>& one, const std::vector<std::uint8_t>& other) {
    const std::size_t common = std::min(one.size(), other.size());
    int apart = 8 * static_cast<int>(std::max(one.size(), other.size()) - common);
    for (std::size_t i = 0; i < common; ++i) apart += std::popcount(static_cast<unsigned>(one[i] ^ other[i]));
    return apart;
}

// Whether the cell of the reading's bit i lay on its edges (bits past the
// reading's end count as on them).
bool onEdgesAt(const SignedReading& reading, std::size_t i) {
    return i >= reading.onEdges.size() || reading.onEdges[i];
}

// Whether the reading's evidence at bit i is against that bit of `bytes`
// (none at all is against neither).
bool partsAt(const SignedReading& reading, const std::vector<std::uint8_t>& bytes, std::size_t i) {
    return bitOf(bytes, i) ? reading.evidence[i] < 0 : reading.evidence[i] > 0;
}

int differentBits(const SignedReading& reading, const std::vector<std::uint8_t>& bytes) {
    int different = 0;
    for (std::size_t i = 0; i < reading.evidence.size() && i / 8 < bytes.size(); ++i)
        different += partsAt(reading, bytes, i);
    return different;
}

// A complete reading that expected less than kHonestSlipRisk wrong bits
// gives `bytes` in all but `most` of the bits it has evidence for; with
// `onSlots`, one that decided its bits on their slots.
bool aligned(const std::vector<SignedReading>& complete, const std::vector<std::uint8_t>& bytes,
             int most = kFewDifferentBits, bool onSlots = false) {
    return std::any_of(complete.begin(), complete.end(), [&](const SignedReading& reading) {
        return (!onSlots || !reading.onLengths) && reading.slipRisk < kHonestSlipRisk &&
               reading.evidence.size() == 8 * bytes.size() && differentBits(reading, bytes) <= most;
    });
}

// A misread byte and the checksum byte that then holds differ from the
// block in at most this many bits; a slip, in about half the bits after it.
constexpr int kMisreadByteBits = 16;

// Whether `reading` gives `bytes` wherever its bits say anything: it has
// their length, and parts from them in at most kFewDifferentBits bits,
// each of them a bit whose cell lay off its edges. Such a bit measured a
// place that may lie a half-wave off (see denies): in a dip a reading takes
// a 1 cell and a 0 cell for a 0 and a 1, as long together, off their edges.
bool partsOffEdgesOnly(const SignedReading& reading, const std::vector<std::uint8_t>& bytes) {
    if (reading.evidence.size() != 8 * bytes.size()) return false;
    int different = 0;
    for (std::size_t i = 0; i < reading.evidence.size(); ++i) {
        if (!partsAt(reading, bytes, i)) continue;
        if (onEdgesAt(reading, i)) return false;
        ++different;
    }
    return different <= kFewDifferentBits;
}

// Whether the good block `other` is given only by readings that give
// `bytes` wherever their bits say anything: its checksum holds on bits that
// say nothing. (The best-fit search, which has no evidence of its own,
// gives it standing.)
bool givenOffEdgesOnly(const Testimony& testimony, const std::vector<std::uint8_t>& other,
                       const std::vector<std::uint8_t>& bytes) {
    if (holds(testimony.fitted, other)) return false;
    bool given = false;
    for (const SignedReading& reading : testimony.complete) {
        if (reading.evidence.size() != 8 * other.size() || differentBits(reading, other) != 0) continue;
        if (!partsOffEdgesOnly(reading, bytes)) return false;
        given = true;
    }
    return given;
}

// Readings that read through a dip may gain or lose a cell there, and read
// the block's bits after it a place off. Whether `other` is `bytes` so
// slipped: from a few bits after where they part, every bit of it is the
// bit of `bytes` one place off, over at least kSlippedTail bits (a block
// that merely differs matches so one time in 2^64). Once in about 256 such
// a block's checksum holds too: through a 60 ms dip of 26 dB seven readings
// read a 262-byte data block a place off from its 119th byte on, its
// checksum holding, where the default decoder read the block right and a
// reading read on after the dip gave it (rescue_sim --dip 60 0.05 --trials 1
// --blocks 10 --seed 859). (Not two places: a 0 cell and three 1 cells
// are as long, and the time of the bits in a dip does not tell them apart.)
constexpr std::size_t kSlippedTail = 64;
constexpr std::size_t kSlipBits = 3;  // where they part, the bits around the cell gained or lost

bool slippedFrom(const std::vector<std::uint8_t>& other, const std::vector<std::uint8_t>& bytes) {
    if (other.size() != bytes.size()) return false;
    const std::size_t bits = 8 * bytes.size();
    const std::size_t first = firstBitApart(other, bytes);
    for (const std::ptrdiff_t shift : {-1, 1}) {
        std::size_t compared = 0;
        bool same = true;
        for (std::size_t i = first + kSlipBits; same && i < bits; ++i) {
            const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(i) - shift;
            if (from < 0 || from >= static_cast<std::ptrdiff_t>(bits)) continue;
            same = bitOf(other, i) == bitOf(bytes, static_cast<std::size_t>(from));
            ++compared;
        }
        if (same && compared >= kSlippedTail) return true;
    }
    return false;
}

// (Below, with the evidence a slip is weighed by.)
bool slippedAndBack(const SignedReading& reading, const std::vector<std::uint8_t>& bytes);
bool slippedWhereUnsure(const std::vector<SignedReading>& complete, const std::vector<std::uint8_t>& other,
                        const std::vector<std::uint8_t>& bytes);

// Another good block read contradicts `bytes`. No checksum covers the type
// byte: a good block that differs in it alone is a misread type byte as
// likely as another block, and where a reading sure of every bit gives
// `bytes`, contradicts only if it was read sure of every bit too (a reading
// with doubtful bits has misread a type byte 0x88 as 0x84 where four sure
// readings and the default decoder's gave 0x88); where none is sure but one
// that expected no wrong bit gives `bytes`, only if one such gives it too
// (through AAC at 80 kbit/s five such readings gave a type byte F9, one
// that expected a wrong bit gave FD). Nor does a good block far from
// `bytes` where a reading is aligned with `bytes` and none with it: the
// reading that gave it slipped, and its checksum held by chance (one in 256).
// Where a reading decided on the slots is aligned with `bytes`, only one
// decided so counts for the other: one decided on the cells' lengths has
// its evidence capped, and its slip risk says only how long the block is
// (through a 30 ms dip of 20 dB one such, at 0.013, slipped at bit 680 of a
// 262-byte block with its checksum holding, against the block that a
// reading sure of every bit, the best-fit search and the default decoder
// gave; through MP3 at 80 kbit/s one such alone, with the search and the
// default decoder, gave the block where every reading on the slots slipped).
// Nor, where a reading sure of every bit gives `bytes`, one further from it
// than a misread byte that none so sure gives: readings that slipped in a
// dip, their evidence taken against the dip's level where the signal came
// back within a cell, can be sure of a slipped block (a 4 ms dip of 19 dB
// gave three readings a bit gained, their slip risks below 1e-20, their
// checksum holding by chance, where one sure of every bit, the best-fit
// search and the default decoder gave the block). Nor one given only by
// readings that give `bytes` wherever their bits say anything (in a dropout
// of 16 dB over an end block B1 DA DA, a reading took a 1 cell and a 0 cell
// for a 0 and a 1 off their edges twice in each byte, B1 B6 B6, its
// checksum holding, where three readings, the best-fit search and the
// default decoder gave the block: worn_tape_sim --seed 296760364). Nor one
// a place off `bytes` where a reading read on through a dip gives `bytes`
// (see slippedFrom), or one whose readings slipped where they were unsure
// (see slippedWhereUnsure), or one that the samples of a dip the block was
// read on through tell from it (see dipTellsApart, take_stitch.h).
// Whether the samples of a dip that `bytes` was read on through told
// `other` from it (dipTellsApart, take_stitch.h).
bool toldFrom(const Testimony& testimony, const std::vector<std::uint8_t>& bytes,
              const std::vector<std::uint8_t>& other) {
    return holds(testimony.readOn, bytes) && holds(testimony.toldApart, other);
}

bool contradicted(const Testimony& testimony, const std::vector<std::uint8_t>& bytes) {
    const bool sure = holds(testimony.sure, bytes);
    const bool honest = aligned(testimony.complete, bytes, 0);
    const bool witnessed = aligned(testimony.complete, bytes);
    const bool onSlots = aligned(testimony.complete, bytes, kFewDifferentBits, true);
    return std::any_of(testimony.holding.begin(), testimony.holding.end(), [&](const auto& other) {
        if (toldFrom(testimony, bytes, other)) return false;
        const int apart = bitsApart(other, bytes);
        if (witnessed && apart > kFewDifferentBits &&
            !aligned(testimony.complete, other, kFewDifferentBits, onSlots))
            return false;
        if (sure && apart > kMisreadByteBits && !holds(testimony.sure, other)) return false;
        if (other == bytes || givenOffEdgesOnly(testimony, other, bytes)) return false;
        // A block read on through a dip kept its bits' count there (their
        // time is checked): a place off, the block is of readings that did not.
        if (holds(testimony.readOn, bytes) && slippedFrom(other, bytes)) return false;
        if (slippedWhereUnsure(testimony.complete, other, bytes)) return false;
        const bool typeOnly =
            other.size() == bytes.size() && std::equal(other.begin() + 1, other.end(), bytes.begin() + 1);
        if (!typeOnly) return true;
        if (sure) return holds(testimony.sure, other);
        return !honest || aligned(testimony.complete, other, 0);
    });
}

// A reading sure of every bit gives another block, whatever its checksum:
// the signal says otherwise somewhere. Not where the sure one lies further
// from the block than a misread byte, its checksum failing: it slipped, sure
// of bits it read at the wrong place, and so was wrong about itself, as is
// any reading that expected under half a wrong bit and failed its checksum
// (see denies; through a 30 ms dip of 20 dB a reading on the slots, its slip
// risk 0.0014, parted from a 262-byte block at bit 108 and in 1003 bits in
// all, where two readings on lengths, the best-fit search and the default
// decoder gave the block: rescue_sim --dip 30 0.1 --trials 1 --blocks 10
// --seed 749). Nor where a reading is aligned with the block and the sure
// one lies more than a few bits from it, its checksum failing (through MP3
// at 40 kbit/s five readings lost a cell in a length byte, read it 01 and a
// block of 7 bytes where three readings, the default decoder and its
// search gave 262). Nor
// one whose checksum fails where another reading sure of every bit gives
// the block, its checksum holding: that one was wrong about itself, this
// one is not (in a dip of 26 dB at a block's end, four readings sure of
// every bit read its last bit at evidence 17 to 23, against the level they
// had before the dip, where a fifth, the default decoder and its search
// gave the block). Nor one that the samples of a dip the block was read on
// through tell from it (see dipTellsApart, take_stitch.h).
bool sureOtherwise(const Testimony& testimony, const std::vector<std::uint8_t>& bytes, bool witnessed) {
    const bool sureAndWhole = holds(testimony.sure, bytes) && wholeBlock(bytes);
    return std::any_of(testimony.sure.begin(), testimony.sure.end(), [&](const auto& other) {
        if (other == bytes || (sureAndWhole && !wholeBlock(other))) return false;
        if (toldFrom(testimony, bytes, other)) return false;
        if (!wholeBlock(other) && bitsApart(other, bytes) > kMisreadByteBits) return false;
        return !(witnessed && bitsApart(other, bytes) > kFewDifferentBits && !wholeBlock(other));
    });
}

// Whether a reading holds strong evidence against the block. Where another
// reading is aligned with the block, one that parts from it widely has
// slipped, and says nothing, as does one that slipped and came back (see
// kSlipShift); one that parts from it in a few bits still denies them.
// One decided on the cells' lengths denies nothing: its evidence is a cap,
// not a measure, and one bit at the cap passes kDenied alone (in a dropout
// of 19 dB over a B9 block two such readings parted from it in 11 bits,
// each at the cap, where the best-fit search and the default decoder gave
// the block: worn_tape_sim --seed 596769151 --recordings 1); such a
// reading is never trusted alone, nor sure of every bit, for the same reason.
// Only bits whose cells lay on their edges count: a cell's
// slot lies where the decision on the cell before put it, and where an
// edge was missed it may lie a half-wave off, its evidence measuring that
// place and not the bit (through a 38 ms dip of 18 dB, five readings took a
// 1 cell and a 0 cell for a 0 and a 1, as long together, the first missing
// its edge at evidence 2 to 5, the second off its edges at 6 to 12, where
// the default decoder, the best-fit search and a reading read on after the
// dip gave the block). One that parts from it further than a misread byte
// does, as a slip, holds against it only the bit where it first parts: a
// slip is one event, and the bits after it lie at other places in the two,
// whichever slipped, so that their evidence adds nothing. Either the
// reading slipped there, as likely as its evidence at that bit allows, or
// the block did, and its checksum held by chance, one time in 256: the
// bit denies where its evidence is above ln 256 (through an azimuth error
// of 620 µs, where the 1 bits' fundamental is nearly gone, a reading
// parted at 1.9 and slipped, at up to 1000 a bit after it, where the
// default decoder, the best-fit search and every other reading gave the
// block; one that kept to the tape where those two slipped alike parted at
// 12, its cap). And only where the reading kept its way from there (see
// keptItsWay).
constexpr double kSlipDenied = 5.545;

// How sure the readings of `other`, a block as long as `bytes`, were where
// the two part: a cell is gained or lost where its timing was unsure, and a
// reading slips at a bit whose evidence leaves a slip there likelier than a
// slipped block's checksum holding (see kSlipDenied).
struct SlipAtCell {
    bool unsure = false;     // every reading aligned with `other` (and nearer to it than to `bytes`) was
                             // unsure there, and one is: those readings slipped there
    bool sureThere = false;  // a reading aligned with `bytes` was sure there
};

SlipAtCell slipAtCell(const std::vector<SignedReading>& complete, const std::vector<std::uint8_t>& other,
                      const std::vector<std::uint8_t>& bytes) {
    if (other.size() != bytes.size() || other == bytes) return {};
    const std::size_t bits = 8 * bytes.size();
    const std::size_t first = firstBitApart(other, bytes);
    const std::size_t from = first > kSlipBits ? first - kSlipBits : 0,
                      to = std::min(bits, first + kSlipBits + 1);
    // Sure of the bit where the two part, as `block` has it, and on its edges around it.
    auto sureWhereTheyPart = [&](const SignedReading& reading, const std::vector<std::uint8_t>& block) {
        const float evidence = bitOf(block, first) ? reading.evidence[first] : -reading.evidence[first];
        if (evidence < kSlipDenied) return false;
        for (std::size_t i = from; i < to; ++i) {
            if (!onEdgesAt(reading, i)) return false;
        }
        return true;
    };
    SlipAtCell slip;
    for (const SignedReading& reading : complete) {
        if (reading.evidence.size() != bits) continue;
        const int fromBytes = differentBits(reading, bytes);
        if (differentBits(reading, other) < std::min(fromBytes, kFewDifferentBits + 1)) {
            if (sureWhereTheyPart(reading, other)) return {};
            slip.unsure = true;
        } else if (fromBytes <= kFewDifferentBits && reading.slipRisk < kHonestSlipRisk &&
                   sureWhereTheyPart(reading, bytes)) {
            slip.sureThere = true;
        }
    }
    return slip;
}

// A block as a reading sure of every bit, on their edges.
SignedReading sureOf(const std::vector<std::uint8_t>& block) {
    SignedReading reading;
    reading.onEdges.assign(8 * block.size(), true);
    for (std::size_t i = 0; i < 8 * block.size(); ++i)
        reading.evidence.push_back(bitOf(block, i) ? 1.0f : -1.0f);
    return reading;
}

// Whether the good block `other` parts from `bytes` as a slip does (in more
// bits than a misread byte, or two places off and back, as a short block
// may: see slippedAndBack), its readings unsure where the two part and one
// aligned with `bytes` sure there: its readings slipped, and its checksum
// held by chance, as an end block's does on any two equal bytes (through
// Vorbis at 66 kbit/s three readings unsure at bit 7 gave B0 77 77 for an
// end block B1 DD DD, two places late from there to its end, where four
// readings and the default decoder gave the block: codec_check.py
// --recordings 1 --seed 764019638; under an azimuth error of 550 µs five
// readings and the best-fit search gave a 262-byte block that the default
// decoder gave, and a sixth, off its edges at bit 1030, gave it a place off
// from there, its checksum holding: rescue_sim --azimuth 550 --pink 20
// --trials 1 --blocks 10 --seed 7019; at --seed 7123 a sixth lost its way
// from a cell off its edges at bit 572; through Vorbis at 41 kbit/s one
// lost it at a bit on its edges at 5.5, where five readings gave the block:
// codec_check.py --recordings 1 --seed 39898530).
bool slippedWhereUnsure(const std::vector<SignedReading>& complete, const std::vector<std::uint8_t>& other,
                        const std::vector<std::uint8_t>& bytes) {
    if (bitsApart(other, bytes) <= kMisreadByteBits && !slippedAndBack(sureOf(other), bytes)) return false;
    const SlipAtCell slip = slipAtCell(complete, other, bytes);
    return slip.unsure && slip.sureThere;
}

// Whether a complete reading gives `bytes` but for a slip where it was
// unsure, its own block's checksum failing: then the block it gives is not
// the tape's, and the count of cells there is the other one, which `bytes`
// has (under an azimuth error of 550 µs six readings on lengths and the
// best-fit search slipped at bit 1315 of a 262-byte block, each off its
// edges there, their checksums failing, where the default decoder read the
// block: rescue_sim --azimuth 550 --pink 20 --trials 1 --blocks 10 --seed
// 7034).
bool readButForASlip(const Testimony& testimony, const std::vector<std::uint8_t>& bytes) {
    return std::any_of(testimony.read.begin(), testimony.read.end(), [&](const auto& other) {
        return other.size() >= 3 && !checksumHolds(other.data(), static_cast<int>(other.size()) - 2) &&
               slippedFrom(other, bytes) && slipAtCell(testimony.complete, other, bytes).unsure;
    });
}

// Whether a reading cut short gives every byte of `bytes` but the last,
// each bit with evidence for it. The last byte is the checksum, the sum of
// those before it but the type byte: where the default decoder's checksum
// holds on the same bytes, its last byte is theirs too, and the block is
// read as a complete reading that gives it (a dip of 34 dB over a 262-byte
// block's last bits cut twelve readings short two bits before its end, each
// giving every bit before, and nothing else confirmed the block the default
// decoder read right: rescue_sim --dip 15 0.02 --snr 30 --trials 1 --blocks
// 10 --seed 8010).
bool givesAllButTheChecksum(const std::vector<SignedReading>& partial,
                            const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 3) return false;
    const std::size_t bits = 8 * (bytes.size() - 1);
    return std::any_of(partial.begin(), partial.end(), [&](const SignedReading& reading) {
        if (reading.evidence.size() < bits) return false;
        for (std::size_t i = 0; i < bits; ++i) {
            if (bitOf(bytes, i) ? reading.evidence[i] <= 0 : reading.evidence[i] >= 0) return false;
        }
        return true;
    });
}

// A slip trades a 0 cell for three 1 cells, as long, or three 1 cells for a
// 0: the bits after it lie two places off. A reading that slipped so and
// found its way back a few bits later parts from the block only at the
// bits where the block's own bits two places off differ from them, and
// gives those; where it found its way back it may part in one bit more
// (three 1 cells read as one 0). Such a reading, parting so in at least
// kShiftedBits bits (each a coincidence of one in two for a misread byte)
// and in no other bit between them, slipped: where another reading is
// aligned with the block, it says nothing, as one that parts widely. (In
// a dropout of 21 dB, three readings read the bits of a block two places
// late for ten bits, four of them on their edges at evidence up to 48,
// where a reading aligned with it, the best-fit search and the default
// decoder gave the block: worn_tape_sim --seed 196767756 --recordings 1.)
constexpr std::ptrdiff_t kSlipShift = 2;
constexpr int kShiftedBits = 4;

bool slippedAndBack(const SignedReading& reading, const std::vector<std::uint8_t>& bytes) {
    const auto bits = static_cast<std::ptrdiff_t>(std::min(reading.evidence.size(), 8 * bytes.size()));
    auto says = [&](std::ptrdiff_t i) {
        const auto at = static_cast<std::size_t>(i);
        return onEdgesAt(reading, at) && reading.evidence[at] != 0;
    };
    auto parts = [&](std::ptrdiff_t i) {
        return says(i) && partsAt(reading, bytes, static_cast<std::size_t>(i));
    };
    std::ptrdiff_t first = 0, last = bits - 1;
    while (first < bits && !parts(first)) ++first;
    while (last > first && !parts(last)) --last;
    for (const std::ptrdiff_t shift : {-kSlipShift, kSlipShift}) {
        int shifted = 0, other = 0;
        for (std::ptrdiff_t i = first; i <= last; ++i) {
            const std::ptrdiff_t from = i - shift;
            if (!says(i) || from < 0 || from >= bits) continue;
            const bool differs =
                bitOf(bytes, static_cast<std::size_t>(from)) != bitOf(bytes, static_cast<std::size_t>(i));
            if (parts(i) && differs) {
                ++shifted;
            } else if (parts(i) || differs) {
                ++other;
            }
        }
        if (shifted >= kShiftedBits && other <= 1) return true;
    }
    return false;
}

// A reading that parts from the block widely may have lost its way where
// it first parts, or the block may have slipped there (see kSlipDenied).
// Where it kept its way, its bits after that are the block's at one shift,
// and it denies by the first bit on its edges that parts from it (a reading
// that kept to the tape missed its edge just where the default decoder's
// reading and the best-fit search slipped alike: worn_tape_sim --seed
// 182160946 --recordings 1). Where every shift of up to kMostShift places
// leaves more than kFewDifferentBits of its bits after it against the
// block, on their edges at kSlipDenied or more, it lost its way there,
// slipping again and again, and its evidence after that bit, and at it,
// measured other places (under an azimuth error of 550 µs and pink noise
// 20 dB down, readings that slipped there denied a block that the default
// decoder and the best-fit search read right, by a bit on its edges
// hundreds of bits later at up to 217, rescue_sim --azimuth 550 --pink 20
// --trials 1 --blocks 10 --seed 1043, or at the bit where they parted, at
// 5.7, --seed 4017). Only where at least kSlippedTail of its first
// `counted` bits follow.
//
// The shifts: a cell gained or lost, or a 0 cell and three 1 cells taken
// for each other, moves the bits after it by one or two places, and a
// dropout may hold several (the default decoder read a block a byte long
// in a dropout of 66 ms: worn_tape_sim --seed 10198919 --recordings 1); a
// reading that misread a burst of bits and read on at its place keeps
// shift 0. Two bytes' worth covers those; a reading that wandered fits
// none over the whole of what follows.
constexpr std::ptrdiff_t kMostShift = 16;

bool keptItsWay(const SignedReading& reading, const std::vector<std::uint8_t>& bytes, std::size_t first,
                std::size_t counted) {
    const auto bits =
        static_cast<std::ptrdiff_t>(std::min({reading.evidence.size(), 8 * bytes.size(), counted}));
    const auto from = static_cast<std::ptrdiff_t>(first + kSlipBits);
    if (bits - from < static_cast<std::ptrdiff_t>(kSlippedTail)) return true;
    for (std::ptrdiff_t shift = -kMostShift; shift <= kMostShift; ++shift) {
        int against = 0;
        for (std::ptrdiff_t i = from; i < bits && against <= kFewDifferentBits; ++i) {
            const std::ptrdiff_t at = i - shift;
            if (at < 0 || at >= bits || !onEdgesAt(reading, static_cast<std::size_t>(i))) continue;
            const float evidence = reading.evidence[static_cast<std::size_t>(i)];
            against += (bitOf(bytes, static_cast<std::size_t>(at)) ? -evidence : evidence) >= kSlipDenied;
        }
        if (against <= kFewDifferentBits) return true;
    }
    return false;
}

// Whether the block a reading gives (`bytes` with every bit it parts from
// them in turned) holds its checksum.
//
// One that parts from the block widely, two places off as a slip leaves
// it (see slippedAndBack), first at a cell off its edges, where it was
// unsure of its timing, and whose own block fails its checksum, denies
// nothing: it slipped there, or the block did and its checksum held by
// chance, one time in 256, while the reading kept to the tape and misread
// bits elsewhere too. (In a dropout of 25 dB, six readings took a 0 cell of
// a 115-byte block, off its edges at bit 597, for 1 cells and read its
// bits two places late from there to its end, where the best-fit search
// and the default decoder gave the block: worn_tape_sim --seed 764018121
// --recordings 1; through Opus at 24 kbit/s four readings of a 173-byte
// block so, from bit 618: codec_check.py --recordings 1 --seed 738411074.)
// Where its own block holds, it denies as before: it kept to the tape where
// the default decoder slipped (see contradicted).
bool givesAGoodBlock(const SignedReading& reading, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> given = bytes;
    for (std::size_t i = 0; i < std::min(reading.evidence.size(), 8 * bytes.size()); ++i) {
        if (partsAt(reading, bytes, i)) given[i / 8] ^= static_cast<std::uint8_t>(0x80 >> i % 8);
    }
    return given.size() >= 3 && checksumHolds(given.data(), static_cast<int>(given.size()) - 2);
}

// Whether one reading denies `bytes` (see denies) by the evidence of its
// first `counted` bits, but those in `mute` (which still count where it
// parts from the block: how widely it does says whether it slipped).
bool deniesBy(const SignedReading& reading, const std::vector<std::uint8_t>& bytes, bool witnessed,
              std::size_t counted, const std::vector<BitSpan>& mute = {}) {
    if (reading.slipRisk < kHonestSlipRisk || reading.onLengths) return false;
    const int different = differentBits(reading, bytes);
    if (witnessed && (different > kFewDifferentBits || slippedAndBack(reading, bytes))) return false;
    // (Where it kept its way from where it first parts, it kept it from any
    // later bit too: checked once, there.)
    const bool slipped = different > kMisreadByteBits;
    bool parted = false;
    double against = 0;
    for (std::size_t i = 0; i < std::min(counted, reading.evidence.size()) && i / 8 < bytes.size(); ++i) {
        if (slipped && !parted && partsAt(reading, bytes, i)) {
            if (!onEdgesAt(reading, i) && slippedAndBack(reading, bytes) && !givesAGoodBlock(reading, bytes))
                return false;
            if (!keptItsWay(reading, bytes, i, counted)) return false;
            parted = true;
        }
        if (!onEdgesAt(reading, i) ||
            std::ranges::any_of(mute, [&](const BitSpan& span) { return i >= span.first && i < span.last; }))
            continue;
        const double bit = std::max(0.0f, bitOf(bytes, i) ? -reading.evidence[i] : reading.evidence[i]);
        if (bit > 0 && slipped) return bit >= kSlipDenied;
        against += bit;
    }
    return against >= kDenied;
}

// With `mute`, the bits of a heard dip read on through say nothing, nor
// those of a reading from where it slipped in such a dip.
bool denies(const std::vector<SignedReading>& readings, const std::vector<std::uint8_t>& bytes,
            bool witnessed, const std::vector<BitSpan>& mute = {}) {
    return std::any_of(readings.begin(), readings.end(), [&](const SignedReading& reading) {
        const std::size_t size = reading.evidence.size();
        return deniesBy(reading, bytes, witnessed, mute.empty() ? size : std::min(size, reading.slippedInDip),
                        mute);
    });
}

void join(Testimony& testimony, const Testimony& more) {
    testimony.holding.insert(testimony.holding.end(), more.holding.begin(), more.holding.end());
    testimony.sure.insert(testimony.sure.end(), more.sure.begin(), more.sure.end());
    testimony.read.insert(testimony.read.end(), more.read.begin(), more.read.end());
    testimony.fitted.insert(testimony.fitted.end(), more.fitted.begin(), more.fitted.end());
    testimony.readOn.insert(testimony.readOn.end(), more.readOn.begin(), more.readOn.end());
    testimony.complete.insert(testimony.complete.end(), more.complete.begin(), more.complete.end());
    testimony.partial.insert(testimony.partial.end(), more.partial.begin(), more.partial.end());
    if (more.signalGone >= 0 && (testimony.signalGone < 0 || more.signalGone < testimony.signalGone))
        testimony.signalGone = more.signalGone;
}

// A reading cut short decided its last few bits as it lost the signal, or
// its way: a tracker anchored on the cells' middles that lost its way in a
// clean stretch gave one bit of its last eight at 840 against the block
// that the default decoder and a reading read on after a dip gave
// (rescue_sim --dip 60 0.05 --trials 1 --blocks 10 --seed 838). A tracker
// finds itself lost only once 9 of its last 16 bits are weak (trackerLost,
// cell_tracker.cpp), so it may have gone astray up to 16 bits before its
// end, and the bits it decided astray need not be weak: one that lost its
// way half a second before a dip, under hiss 16 dB down, gave bits 9 and
// 11 before its end at 306 and 3.4 against a block that the default decoder
// read right (rescue_sim --dip 7 0.0562 --snr 16 --trials 1 --blocks 10
// --seed 1599418721).
constexpr std::size_t kBitsAtLoss = 16;

// Whether the readings cut short deny `bytes` by their bits that ended by
// `at` (all of a reading whose bits' places are not known; all of each
// where `at` is -1), but the last kBitsAtLoss bits of one that `at` does
// not cut. A bit that began before `at` and ran on past it was decided in
// part from the dip's first cells, which the reading read on does not
// vouch for either (a reading's one bit against the block, begun a sample
// or two before the dip: rescue_sim --dip 54 0.0355 --snr 20 --trials 1
// --blocks 10 --seed 9663845). (How many of its bits part from the block,
// which says whether it slipped, counts them all.)
bool deniesBefore(const std::vector<SignedReading>& readings, double at,
                  const std::vector<std::uint8_t>& bytes, bool witnessed) {
    return std::any_of(readings.begin(), readings.end(), [&](const SignedReading& reading) {
        std::size_t before = 0;
        while (at >= 0 && before < reading.starts.size() && reading.starts[before] < at) ++before;
        if (at < 0 || reading.starts.empty() || before >= reading.evidence.size()) {
            const std::size_t size = reading.evidence.size();
            return deniesBy(reading, bytes, witnessed, size - std::min(size, kBitsAtLoss));
        }
        // Its bits are contiguous: the one before ends where the next begins.
        if (before > 0 && before < reading.starts.size() && reading.starts[before] > at) --before;
        SignedReading cut = reading;
        cut.evidence.resize(before);
        cut.onEdges.resize(std::min(before, cut.onEdges.size()));
        cut.starts.resize(before);
        return deniesBy(cut, bytes, witnessed, before);
    });
}

}  // namespace

BlockReading probeAt(const DecodedBlock& plain) {
    BlockReading probe;
    const auto apart = static_cast<double>(plain.syncPositions[1] - plain.syncPositions[0]);
    probe.half = apart > 0 ? apart / 28 : std::max(1.0, static_cast<double>(plain.separator) / 2);
    probe.syncStart = static_cast<double>(plain.syncPositions[0]) - 54 * probe.half;
    probe.cells[0] = 6 * probe.half;
    probe.cells[1] = 2 * probe.half;
    probe.firstSample = static_cast<double>(plain.syncPositions[1]) + 2 * probe.half;
    probe.lastSample = static_cast<double>(plain.lastSample);
    probe.kind = blockKindOf(plain.bytes[0]);
    probe.expectedBytes = static_cast<int>(plain.bytes.size());
    return probe;
}

// Where a reading found the signal gone, the best-fit search may still
// confirm the default decoder's block if the recording shows that the
// signal never sank into the noise there: a dip, not a dropout. Every run
// of kHeldValues envelope values (256 samples, a few cells) over the block
// stays kHeldDeviations of the noise's deviation over that run above the
// noise floor. Noise alone gets that far in about one run in 30,000 (were
// the values independent; they are not quite), and a dropout spans several
// runs that would all have to: silence never passes for held, where a dip of
// 26 dB over hiss 30 dB down, 4 dB above it, does. Without a measured floor
// nothing is held; over digital silence (a floor of 0), whatever stays above
// the sample width's own noise.
constexpr std::int64_t kHeldValues = 8;
constexpr double kHeldDeviations = 4;

bool signalHeld(const Recording& recording, double from, double to) {
    if (!recording.noiseMeasured || to <= from) return false;
    const double bar = std::max(recording.quantisation,
                                recording.noiseFloor * (1 + kHeldDeviations * recording.noiseFluctuation /
                                                                std::sqrt(static_cast<double>(kHeldValues))));
    const auto first = static_cast<std::int64_t>(from) / kEnvelopeStride;
    const auto last = std::min(static_cast<std::int64_t>(to) / kEnvelopeStride,
                               static_cast<std::int64_t>(recording.envelope.size()) - kHeldValues);
    if (last < first) return false;
    for (std::int64_t at = first; at <= last; at += kHeldValues) {
        double sum = 0;
        for (std::int64_t k = at; k < at + kHeldValues; ++k)
            sum += recording.envelope[static_cast<std::size_t>(k)];
        if (sum / kHeldValues < bar) return false;
    }
    return true;
}

TapeGathering startGathering(const std::vector<DecodedBlock>& plain, double rate) {
    TapeGathering gathering;
    gathering.rate = rate;
    gathering.plain = &plain;
    // The default decoder's separator is about 2T.
    for (std::size_t i = 0; i < plain.size(); ++i)
        gathering.plainPlaced.push_back({static_cast<double>(plain[i].syncPositions[1]),
                                         kSameBlockHalves * static_cast<double>(plain[i].separator) / 2, i,
                                         true});
    std::stable_sort(gathering.plainPlaced.begin(), gathering.plainPlaced.end(),
                     [](const PlacedReading& a, const PlacedReading& b) { return a.at < b.at; });
    return gathering;
}

std::vector<TapeBlock> gatherComplete(TapeGathering& gathering, const std::vector<FoundBlock>& found,
                                      double bound) {
    TapeGathering& g = gathering;
    for (; g.foundSeen < found.size(); ++g.foundSeen) {
        const BlockReading& reading = found[g.foundSeen].reading;
        g.waiting.push_back({reading.firstSample, kSameBlockHalves * reading.half, g.foundSeen, false});
    }
    // The readings that begin before the bound, in tape order; where two
    // begin at the same sample, the search's before the default decoder's,
    // each kind in its own order.
    const bool last = bound == std::numeric_limits<double>::infinity();
    auto due = [&](const PlacedReading& reading) { return last || reading.at < bound; };
    const auto split = std::stable_partition(g.waiting.begin(), g.waiting.end(), due);
    std::vector<PlacedReading> read(g.waiting.begin(), split);
    g.waiting.erase(g.waiting.begin(), split);
    std::stable_sort(read.begin(), read.end(),
                     [](const PlacedReading& a, const PlacedReading& b) { return a.at < b.at; });
    std::vector<PlacedReading> ordered;
    for (const PlacedReading& reading : read) {
        for (; g.plainGathered < g.plainPlaced.size() && g.plainPlaced[g.plainGathered].at < reading.at;
             ++g.plainGathered)
            ordered.push_back(g.plainPlaced[g.plainGathered]);
        ordered.push_back(reading);
    }
    for (; g.plainGathered < g.plainPlaced.size() && due(g.plainPlaced[g.plainGathered]); ++g.plainGathered)
        ordered.push_back(g.plainPlaced[g.plainGathered]);

    std::vector<TapeBlock> complete;
    auto close = [&] {
        TapeBlock& block = complete.emplace_back(TapeBlock{g.openAt, {}, {}});
        // The rescue decoder's readings in the order its trackers found them.
        std::sort(g.openFound.begin(), g.openFound.end());
        for (const std::size_t i : g.openFound) block.found.push_back(&found[i]);
        for (const std::size_t i : g.openPlain) block.plain.push_back(&(*g.plain)[i]);
        g.openFound.clear();
        g.openPlain.clear();
        g.open = false;
    };
    for (const PlacedReading& reading : ordered) {
        if (g.open && reading.at - g.openAt > g.openTolerance) close();
        if (!g.open) {
            g.open = true;
            g.openAt = reading.at;
            g.openTolerance = std::max(reading.tolerance, 0.001 * g.rate);
        }
        (reading.plain ? g.openPlain : g.openFound).push_back(reading.index);
    }
    // No reading still to come joins it.
    if (g.open && (last || bound - g.openAt > g.openTolerance)) close();
    return complete;
}

namespace {

// O before J before X.
int markRank(char mark) { return mark == 'O' ? 0 : mark == 'J' ? 1 : 2; }

bool holdsAsWritten(const BlockDecision& decision) {
    const auto size = static_cast<int>(decision.bytes.size());
    return size >= 3 && checksumHolds(decision.bytes.data(), size - 2);
}

}  // namespace

void leaveOutReadingsWithinBlocks(std::vector<DecidedBlock>& blocks) {
    // In the order of their starts, with the furthest end of the good blocks
    // that start before: one pass, however many blocks a recording holds.
    std::vector<std::size_t> order(blocks.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto start = [&](std::size_t i) { return blocks[i].decision.firstSample; };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return start(a) < start(b); });
    std::vector<bool> within(blocks.size(), false);
    // The furthest end of a good block that starts before the blocks at hand.
    double goodEnd = -std::numeric_limits<double>::infinity();
    for (std::size_t at = 0; at < order.size();) {
        std::size_t next = at;
        for (; next < order.size() && start(order[next]) == start(order[at]); ++next) {
            const BlockDecision& block = blocks[order[next]].decision;
            within[order[next]] = !holdsAsWritten(block) && block.lastSample <= goodEnd;
        }
        for (; at < next; ++at) {
            const BlockDecision& block = blocks[order[at]].decision;
            if (holdsAsWritten(block)) goodEnd = std::max(goodEnd, block.lastSample);
        }
    }
    // One tape block decided twice (its readings gathered into two, where
    // they began further apart than a few bytes, and each led to it): of
    // blocks of the same bytes whose extents overlap by more than half the
    // shorter one's, the better marked stands, the first of equals.
    // (Blocks overlap rarely: those still open at a block's start are few.)
    std::vector<std::size_t> open;
    for (const std::size_t i : order) {
        if (within[i]) continue;
        const BlockDecision& block = blocks[i].decision;
        std::erase_if(open,
                      [&](std::size_t j) { return blocks[j].decision.lastSample <= block.firstSample; });
        for (std::size_t& j : open) {
            const BlockDecision& other = blocks[j].decision;
            const double shared = std::min(block.lastSample, other.lastSample) - block.firstSample;
            const double shorter =
                std::min(block.lastSample - block.firstSample, other.lastSample - other.firstSample);
            if (other.bytes != block.bytes || 2 * shared <= shorter) continue;
            const bool better = markRank(block.mark) < markRank(other.mark);
            within[better ? j : i] = true;
            if (better) j = i;
            break;
        }
        if (!within[i] && std::find(open.begin(), open.end(), i) == open.end()) open.push_back(i);
    }
    std::vector<DecidedBlock> kept;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!within[i]) kept.push_back(std::move(blocks[i]));
    }
    blocks = std::move(kept);
}

DecidedBlock decideTapeBlock(Recording& recording, const TapeBlock& block) {
    DecidedBlock decided;
    // (One reading of the default decoder's whose checksum fails counts only
    // where it is the block's only reading.)
    const DecodedBlock* plain = nullptr;
    for (const DecodedBlock* reading : block.plain) {
        if (reading->checksumOk && plain == nullptr) plain = reading;
    }
    if (plain == nullptr && block.found.empty() && !block.plain.empty()) plain = block.plain[0];

    // The rescue decoder's own readings, each through the ladder; where none
    // of them read the default decoder's good block (no sync of its own
    // there, or one taken from another timing or polarity), its trackers also
    // read the block where and as the default decoder found it.
    std::vector<BlockDecision> own;
    for (const FoundBlock* found : block.found)
        own.push_back(found->early ? *found->early : decideBlock(recording, found->reading, found->polarity));
    Testimony testimony;
    for (const BlockDecision& decision : own) join(testimony, decision.testimony);
    const bool plainGood = plain != nullptr && plain->checksumOk;
    const bool unread = plainGood && !holds(testimony.read, plain->bytes);
    // Readings that give the block, none of them aligned with it (a reading
    // through a dip whose envelope sank into the noise erased its bits
    // there, each adding one to its slip risk), where another good block
    // stands against it: the dip's samples may tell the two apart. (Through
    // 8 ms of dip four readings gave a block right wherever their bits said
    // anything, and two that slipped there, their checksum holding by chance,
    // contradicted it: rescue_sim --dip 8 0.0316 --snr 22 --trials 1 --blocks
    // 10 --seed 840710237.)
    const bool disputed =
        plainGood && !unread && !aligned(testimony.complete, plain->bytes) &&
        std::ranges::any_of(testimony.holding, [&](const auto& other) { return other != plain->bytes; });
    if (unread || disputed) {
        FoundBlock probe{probeAt(*plain), plain->highFirst ? 1 : -1, 0, {}, std::nullopt};
        if (unread) join(testimony, decideBlock(recording, probe.reading, probe.polarity).testimony);
        // A reading of its own that lost the signal in a dip in the block,
        // or slipped there, read on where the signal came back; where the
        // trackers have none (the dip took the sync), the block is read on
        // from its start.
        std::vector<const FoundBlock*> readings = block.found;
        if (readings.empty()) readings.push_back(&probe);
        for (const FoundBlock* found : readings) {
            DipsReadOn dips;
            if (readOnThrough(recording, *found, plain->bytes,
                              static_cast<double>(plain->lastSample - plain->syncPositions[1]), &dips)) {
                // Other readings' blocks that the dips' samples tell from it
                // (each weighed once: the dip's samples are read again for it).
                std::vector<std::vector<std::uint8_t>> weighed;
                for (const auto* others : {&testimony.holding, &testimony.sure}) {
                    for (const std::vector<std::uint8_t>& other : *others) {
                        if (holds(weighed, other)) continue;
                        weighed.push_back(other);
                        if (dipTellsApart(recording, *found, dips, plain->bytes, other))
                            testimony.toldApart.push_back(other);
                    }
                }
                // Complete readings that slipped two places in a heard dip.
                DipVerdicts slips;
                for (SignedReading& reading : testimony.complete)
                    reading.slippedInDip =
                        slippedInDip(recording, *found, dips, plain->bytes, reading, &slips);
                testimony.readOn.push_back(plain->bytes);
                testimony.readOnFrom = dips.unseenFrom;
                testimony.readOnHeard = dips.heard;
                testimony.readOnUnseen = std::move(dips.unseen);
                testimony.readOnToEnd = dips.toEnd;
                break;
            }
        }
    }

    // Its decision: the first reading's, or that of a later one (a second
    // look) where the first gave nothing; two readings that give different
    // good blocks contradict each other.
    if (!own.empty()) {
        std::size_t chosen = 0;
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (own[chosen].mark == 'X' && own[i].mark != 'X') chosen = i;
        }
        decided.decision = own[chosen];
        decided.decision.testimony = Testimony{};  // all of them are in decided.testimony
        const FoundBlock& found = *block.found[chosen];
        std::copy(std::begin(found.reading.syncSeconds), std::end(found.reading.syncSeconds),
                  std::begin(decided.syncSeconds));
        decided.lock = found.lock;
        decided.run = found.run;
        decided.found = &found;
        BlockDecision& decision = decided.decision;
        if (decision.mark != 'X' && contradicted(testimony, decision.bytes)) {
            decision.mark = 'X';
            decision.bytes = own[0].bytes;
            decision.what =
                "ellentmondó olvasások: két olvasás más-más blokkot adott, mindkettő jó ellenőrző összeggel";
        }
    }
    if (plain == nullptr) {
        decided.testimony = std::move(testimony);
        return decided;
    }

    // The default decoder's reading, where its checksum holds, stands where
    // a reading of the rescue decoder's gives the same block, and none gives
    // another good block or reads another block sure of every bit. Else the
    // block is X, written as the default decoder read it: its checksum
    // passes one misread block in 256, and an end block whenever two bytes
    // read from noise or fill happen to be equal. (The ladder's best-fit
    // search reads the conditioned signal, not the default decoder's 8-bit
    // samples, so it confirms too; where a reading found the signal gone,
    // only if the envelope held above the noise: in silence both searches
    // read the same 0 bits.)
    BlockDecision& decision = decided.decision;
    if (own.empty()) {
        const double rate = recording.rate;
        decided.syncSeconds[0] = rate > 0 ? static_cast<double>(plain->syncPositions[0]) / rate : 0;
        decided.syncSeconds[1] = rate > 0 ? static_cast<double>(plain->syncPositions[1]) / rate : 0;
        const auto microseconds = static_cast<std::uint32_t>(plain->separator) * 1000000u;
        decided.lock = {static_cast<double>(plain->lockPosition),
                        rate > 0 ? static_cast<int>(microseconds / static_cast<std::uint32_t>(rate)) : 0,
                        plain->highFirst};
        decision.firstSample = static_cast<double>(plain->syncPositions[1]);
        decision.lastSample = static_cast<double>(plain->lastSample);
        decision.uncertainBits = 0;
    }
    judgeDefaultReading(*plain, testimony, recording.rate, decision,
                        signalHeld(recording, static_cast<double>(plain->syncPositions[1]),
                                   static_cast<double>(plain->lastSample)));
    // The block written is the default decoder's, and it lies on the tape
    // as far as that decoder read it: a reading of the trackers' that lost
    // the signal within it does not end it there.
    decision.lastSample = std::max(decision.lastSample, static_cast<double>(plain->lastSample));
    decided.testimony = std::move(testimony);
    return decided;
}

void judgeDefaultReading(const DecodedBlock& plain, const Testimony& testimony, double rate,
                         BlockDecision& decision, bool signalHeld) {
    static const char* const kContradicted =
        "ellentmondó olvasások: a szabványos dekóder jó ellenőrző összegű blokkot olvasott, de egy másik "
        "olvasás mást adott; a szabványos dekóder olvasása került a fájlba";
    decision.bytes = plain.bytes;
    decision.kind = blockKindOf(plain.bytes[0]);
    decision.mark = 'X';
    // The best-fit search confirms where no complete reading denies it and the
    // signal was never gone, or only sank in a dip that no reading cut short denies.
    const bool fitted = holds(testimony.fitted, plain.bytes);
    // A reading read on through a dip witnesses the block where it read the
    // block's bits after the dip, or the dip's samples followed its cells;
    // not where the dip ran to the block's end unheard, its bits held only
    // to the default decoder's own timing of them (a dropout of 25 dB took an
    // end block's last two bytes, B2 00 00: the default decoder read the fill
    // after them as B2 FF FF, its check holding on any two equal bytes; read
    // on, the block fitted that timing, and five readings that gave 00 00
    // there, 13 bits against it at up to 24, counted as slipped:
    // worn_tape_sim --seed 1766528224 --recordings 1).
    const bool witnessed =
        aligned(testimony.complete, plain.bytes) ||
        (holds(testimony.readOn, plain.bytes) && (!testimony.readOnToEnd || testimony.readOnHeard));
    const bool undenied =
        !denies(testimony.complete, plain.bytes, witnessed) &&
        (testimony.signalGone < 0 || (signalHeld && !denies(testimony.partial, plain.bytes, witnessed)));
    const bool fitConfirms = fitted && undenied;
    // So does a reading that gives the block wherever its bits say anything
    // (in a dropout of 19 dB over an end block BA 00 00, seven readings gave
    // BB 80 00, two bits off their edges, where the default decoder gave the
    // block: worn_tape_sim --seed 896759719), however many wrong bits it
    // expected: the bits it parts in lay off their edges, where it was unsure
    // of its timing, and had it slipped, it would part from the block on its
    // edges after (through Opus at 16 kbit/s two readings on the slots that
    // expected 2.2 and 2.3 wrong bits parted from a block the default decoder
    // read right in 4 bits, all off their edges, and nothing else confirmed
    // it: codec_check.py --recordings 1 --seed 14278618).
    const bool edgesConfirm = undenied && std::any_of(testimony.complete.begin(), testimony.complete.end(),
                                                      [&](const SignedReading& reading) {
                                                          return partsOffEdgesOnly(reading, plain.bytes);
                                                      });
    // Read on after a loss, the block's bits in the dip are the default
    // decoder's alone: they count only where the signal held there, by the
    // envelope or by the samples following the block's cells. A
    // reading cut short in the dip says nothing there either: its last bits
    // were decided as the signal went, with the evidence of the loud cells
    // before (in a dropout of 19 dB, four such readings had a bit there at
    // -12 against the block that the default decoder gave right, and
    // read on gave: worn_tape_sim --seed 796785167).
    // Where the samples in the dip followed the block's cells, the complete
    // readings' bits in it deny nothing: they were decided on the conditioned
    // signal, whose filters ring there with the loud cells before the fall
    // (through a dip of 8 ms and 29 dB, one gave three bits there at 100 to
    // 1000 against a block that the default decoder read right, and the
    // samples read afresh followed at 0.92: rescue_sim --dip 8 0.0355 --snr
    // 30 --trials 1 --blocks 10 --seed 1599418677). Their bits outside it
    // still do; but a reading that parts from the block widely, in the dip
    // or out of it, slipped there and denies nothing after it either (its
    // bits there lie at other places: rescue_sim --dip 44 0.0447 --snr 24
    // --trials 1 --blocks 10 --seed 74368136).
    const bool readOnConfirms =
        holds(testimony.readOn, plain.bytes) && (signalHeld || testimony.readOnHeard) &&
        !denies(testimony.complete, plain.bytes, witnessed,
                testimony.readOnHeard ? testimony.readOnUnseen : std::vector<BitSpan>{}) &&
        !deniesBefore(testimony.partial, testimony.readOnFrom, plain.bytes, witnessed);
    // So does a reading that gives it but for a slip where it was unsure,
    // its own block failing its checksum (see readButForASlip).
    const bool slipConfirms = undenied && readButForASlip(testimony, plain.bytes);
    // So does a reading cut short within the checksum byte that gives every
    // byte before it (see givesAllButTheChecksum).
    const bool checksumConfirms = undenied && givesAllButTheChecksum(testimony.partial, plain.bytes);
    // Those the trackers' readings give; the others stand on the samples alone.
    const bool trackersConfirm = holds(testimony.read, plain.bytes) || fitConfirms || edgesConfirm ||
                                 slipConfirms || (readOnConfirms && signalHeld);
    if (!plain.checksumOk) {
        decision.what = "csak a szabványos dekóder olvasta, hibás ellenőrző összeggel";
    } else if (contradicted(testimony, plain.bytes) || sureOtherwise(testimony, plain.bytes, witnessed)) {
        decision.what = kContradicted;
    } else if (trackersConfirm || readOnConfirms || checksumConfirms) {
        decision.mark = 'O';
        decision.what.clear();
        decision.standsOnSamples = !trackersConfirm;
    } else if (fitted && testimony.signalGone < 0) {
        decision.what = kContradicted;
    } else if (testimony.signalGone >= 0) {
        char text[200];
        std::snprintf(
            text, sizeof text,
            "a szabványos dekóder jó ellenőrző összegű blokkot olvasott, de a jel %.3f másodpercnél "
            "kiesett benne: nem biztos",
            rate > 0 ? testimony.signalGone / rate : 0.0);
        decision.what = text;
    } else {
        decision.what =
            "a szabványos dekóder jó ellenőrző összegű blokkot olvasott, de egyetlen más olvasás sem adta "
            "ugyanezt";
    }
}
