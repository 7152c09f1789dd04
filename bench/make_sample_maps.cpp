// Writes two made-up tape maps, for looking at the picture before a real
// decoder fills one: a short clean tape (clean.svg) and a worn 30-minute one
// read from three takes, one of another tape (damaged.svg).
// Usage: make_sample_maps DIRECTORY
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "map/tape_map_svg.h"

namespace {

constexpr double kRate = 44100;
constexpr double kSamplesPerValue = 32;
constexpr double kValuesPerSecond = kRate / kSamplesPerValue;

std::mt19937 generator(20240611);

double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(generator);
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// Lays out programs of the given block counts from `start`, each block
// about as long as a data block of 256 bytes; marks one block in `failEvery`
// X and one in `repairEvery` J.
struct Tape {
    TapeMap map;
    std::vector<std::vector<float>> envelopes;  // one per take, owned here
};

void addProgram(Tape& tape, double& at, int number, const std::string& name, int blocks, int repairEvery,
                int failEvery) {
    at += 3.5;  // the lead-in
    MapProgram program{{at, 0}, (number < 10 ? "0" : "") + std::to_string(number) + "_" + name + ".ptp"};
    for (int i = 0; i < blocks; ++i) {
        const bool nameBlock = i == 0;
        const double length = nameBlock ? 0.25 : uniform(2.4, 2.9);
        MapBlock block{{at, at + length}, 'O', nameBlock ? "névblokk" : "adatblokk", "", ""};
        if (failEvery > 0 && i % failEvery == failEvery - 1) block.mark = 'X';
        if (repairEvery > 0 && i % repairEvery == repairEvery / 2) block.mark = 'J';
        block.reportLine =
            seconds(at) + "-" + seconds(at + length) + " mp  " + block.kind + "  " + block.mark;
        if (block.mark == 'J')
            block.reportLine += "  két olvasás egyezik: a 133. byte 9c helyett ac; bizonytalan bit: 5";
        if (block.mark == 'X') block.reportLine += "  jelkiesés, 96 bit olvashatatlan; bizonytalan bit: 101";
        tape.map.blocks.push_back(block);
        at += length + 0.06;
    }
    program.span.lastSecond = at;
    tape.map.programs.push_back(program);
}

// The envelope of a take: tape signal at `level` where a block lies, a
// little hiss elsewhere, dips where the tape dropped out.
std::vector<float> envelope(const TapeMap& map, double seconds, double level, double speed, double offset) {
    std::vector<float> values(static_cast<std::size_t>(seconds * kValuesPerSecond));
    std::normal_distribution<double> wobble(0, 0.03);
    std::size_t program = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double t = offset + static_cast<double>(i) / kValuesPerSecond / speed;
        while (program < map.programs.size() && map.programs[program].span.lastSecond < t) ++program;
        const bool signal =
            program < map.programs.size() && map.programs[program].span.firstSecond - 3.5 <= t;
        double value = signal ? level * (1 + wobble(generator)) : 0.01 + 0.004 * uniform(0, 1);
        // A stretch where the level sinks, as where the tape was creased.
        value *= 1 - 0.7 * std::exp(-std::pow((t - 760) / 25, 2));
        for (const MapSpan& dropout : map.dropouts)
            if (t >= dropout.firstSecond && t <= dropout.lastSecond) value = 0.006;
        values[i] = static_cast<float>(value);
    }
    return values;
}

Tape cleanTape() {
    Tape tape;
    TapeMap& map = tape.map;
    map.title = "hello_tape.wav";
    map.durationSeconds = 14;
    double at = 0.2;
    addProgram(tape, at, 1, "HELLO", 4, 0, 0);
    for (double t = 0.5; t < at; t += 0.02) map.halfWave.push_back({t, 312.4 + uniform(-0.6, 0.6)});
    map.summary = "Összesen 1 program, 4 blokk: 4 O, 0 J, 0 X";
    tape.envelopes.push_back(envelope(map, map.durationSeconds, 0.32, 1, 0));
    map.takes.push_back({"A", "hello_tape.wav", {}, {}, true});
    return tape;
}

Tape damagedTape() {
    Tape tape;
    TapeMap& map = tape.map;
    map.title = "játékok_1985 <B oldal>.wav";
    map.durationSeconds = 30 * 60;
    const char* names[] = {"MANIC", "KALAND", "ŰRHAJÓ", "SAKK", "BOMBER", "TETRIS&CO", "LABIRINTUS", "ZENE"};
    double at = 4;
    for (int i = 0; i < 8; ++i) {
        addProgram(tape, at, i + 1, names[i], 50 + 9 * (i % 3), i % 2 ? 9 : 23, i == 3 ? 4 : 17);
        at += i == 4 ? 55 : 8;  // after the fifth program, a stretch with no block
    }
    map.blockless.push_back({map.programs[4].span.lastSecond + 5, map.programs[4].span.lastSecond + 48});
    for (double t : {191.4, 760.0, 762.5, 771.2, 1002.7}) map.dropouts.push_back({t, t + 0.18});
    // Wow of 1 % at half a hertz over a drift of 2 % across the tape.
    for (const MapProgram& program : map.programs)
        for (double t = program.span.firstSecond; t < program.span.lastSecond; t += 0.05)
            map.halfWave.push_back(
                {t, 312 * (1 + 0.02 * t / 1800) * (1 + 0.01 * std::sin(std::numbers::pi * t)) +
                        uniform(-1.5, 1.5)});
    int clean = 0, repaired = 0, failed = 0;
    for (MapBlock& block : map.blocks) {
        block.takes = block.mark == 'X' ? "A" : "A+B";
        (block.mark == 'O' ? clean : block.mark == 'J' ? repaired : failed) += 1;
    }
    map.summary = "Összesen 8 program, " + std::to_string(map.blocks.size()) +
                  " blokk: " + std::to_string(clean) + " O, " + std::to_string(repaired) + " J, " +
                  std::to_string(failed) + " X";
    tape.envelopes.push_back(envelope(map, map.durationSeconds, 0.3, 1, 0));
    tape.envelopes.push_back(envelope(map, map.durationSeconds - 40, 0.18, 1.004, 12));
    TapeMap other;
    other.programs.push_back({{30, 400}, ""});
    tape.envelopes.push_back(envelope(other, 600, 0.25, 1, 0));
    map.takes.push_back({"A", "jatekok_1985_B.wav", {}, {}, true});
    map.takes.push_back({"B", "jatekok_1985_B_masolat.wav", {}, {}, true});
    map.takes.push_back({"C", "ismeretlen.wav", {}, {}, false});
    map.takes[1].level.offsetSeconds = 12;
    map.takes[1].level.speed = 1.004;
    for (const MapBlock& block : map.blocks) {
        map.takes[0].blocksGiven.push_back(block.span);
        if (block.mark != 'X') map.takes[1].blocksGiven.push_back(block.span);
    }
    return tape;
}

void write(Tape tape, const std::string& path) {
    for (std::size_t i = 0; i < tape.envelopes.size(); ++i) {
        MapLevel& level = tape.map.takes[i].level;
        level.values = tape.envelopes[i].data();
        level.count = static_cast<std::int64_t>(tape.envelopes[i].size());
        level.samplesPerValue = kSamplesPerValue;
        level.rate = kRate;
    }
    writeTapeMap(tape.map, path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_maps DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    write(cleanTape(), directory + "/clean.svg");
    write(damagedTape(), directory + "/damaged.svg");
    return 0;
}
