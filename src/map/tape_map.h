#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture of a rescued tape: what the rescue decoder found and decided,
// along one time axis, for the SVG written beside the cleaned WAV. The
// decoder fills a TapeMap; tape_map_svg.h turns it into the picture. All
// times are seconds into the first take (the input recording); a later take's
// own times are mapped onto that axis by the decoder before they land here.

// A span of the time axis.
struct MapSpan {
    double firstSecond = 0;
    double lastSecond = 0;
};

// One block of the tape as the decoder decided it.
struct MapBlock {
    MapSpan span;            // where it lies
    char mark = 'X';         // 'O', 'J' or 'X'
    std::string kind;        // in words, as the report names it ("adatblokk")
    std::string reportLine;  // the damage report's line for it; for an O block the line the
                             // report would give it (its place, kind and mark)
    std::string takes;       // the takes that gave it, e.g. "A", "B", "A+B"; empty with one take
};

// One recorded program: from its first block to its last.
struct MapProgram {
    MapSpan span;
    std::string fileName;  // the output file's name, without its directory ("01_HELLO.ptp")
};

// The level of one take, as the envelope the decoder measured: one value
// (the mean distance of the raw samples from their slow mean, full scale 1)
// per `samplesPerValue` samples of a recording at `rate` samples a second.
struct MapLevel {
    const float* values = nullptr;  // not owned: the take's envelope, alive while the picture is drawn
    std::int64_t count = 0;
    double samplesPerValue = 32;
    double rate = 0;
    double offsetSeconds = 0;  // where the take's first value lies on the map's axis
    double speed = 1;          // the take's seconds per second of the map's axis
};

// One take: a recording of the tape.
struct MapTake {
    std::string name;                  // "A", "B", ...
    std::string fileName;              // the recording's file name, for the lane's label
    MapLevel level;                    // its envelope
    std::vector<MapSpan> blocksGiven;  // the blocks this take gave (a reading that went into the decision)
    bool matched = true;               // false: a take of another tape, which gave nothing
};

// A point of the tracked half-wave: where, and T in microseconds (312 on a
// standard tape at the right speed).
struct MapHalfWave {
    double second = 0;
    double microseconds = 0;
};

struct TapeMap {
    std::string title;                  // the input's file name
    double durationSeconds = 0;         // the length of the axis
    std::vector<MapTake> takes;         // at least one: the input itself
    std::vector<MapProgram> programs;   // in tape order
    std::vector<MapBlock> blocks;       // in tape order
    std::vector<MapSpan> dropouts;      // stretches whose bits were read where the signal had gone
    std::vector<MapSpan> blockless;     // tape signal that gave no block
    std::vector<MapHalfWave> halfWave;  // in time order
    std::string summary;                // the report's summary line ("Összesen ...")
};
