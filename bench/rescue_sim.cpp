// Measures the rescue decoder on simulated tapes: random programs encoded by
// kazettor, degraded in memory (noise, level, offset, filters, speed, wow,
// flutter, dropouts, a playback head's derivative), decoded with -r I (and,
// with --both, without it), and every block compared with the truth. A block
// marked O or J whose bytes are not exactly one of the blocks on the tape
// is a wrong block; the program stops with status 1 if it finds one.
//
// With --takes 2 each tape is damaged twice, independently (noise and
// dropouts of their own; with --take-speed f the second take runs f times
// as fast), and decoded from each take alone and from both: with -t, or,
// with --stereo, as the two channels of one file.
//
// Usage: rescue_sim [--trials N] [--blocks N] [--seed N] [--rate 44|22|11|48|...] [--shape N] [--bits N]
//                   [--snr dB] [--pink dB] [--gain dB] [--dc x] [--lowpass Hz] [--highpass Hz] [--hum dB]
//                   [--azimuth us]
//                   [--speed f] [--wow Hz depth] [--flutter Hz depth] [--dropout ms] [--dip ms gain]
//                   [--clicks perSecond height] [--differentiate] [--invert] [--no-leadin] [--both] [--quiet]
//                   [--dropout-share p] [--takes 1|2] [--take-speed f] [--stereo] [--work dir]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim_blocks.h"
#include "sim_filters.h"
#include "sim_programs.h"
#include "sim_run.h"
#include "sim_wav.h"
#include "support/file_bytes.h"

namespace {

struct Options {
    int trials = 1, blocks = 8, seed = 1, bits = 16;
    int rate = 44;
    int shape = -1;  // -1: a trapezoid of half the largest value
    double snr = 1e9, pink = 1e9, gainDb = 0, dc = 0, lowpass = 0, highpass = 0, speed = 1;
    double azimuthUs = 0;  // the head's gap at an angle: the running mean over this delay
    double humDb = -1e9;  // mains hum's RMS against the signal's, or none
    double wowHz = 0, wowDepth = 0, flutterHz = 0, flutterDepth = 0, dropoutMs = 0, dipMs = 0, dipGain = 1;
    double clicks = 0, clickLevel = 3;  // clicks per second, and their height against the signal's RMS
    bool differentiate = false, invert = false, noLeadIn = false, both = false, quiet = false;
    double dropoutShare = 1;  // the share of data blocks that get a dropout (or dip)
    int takes = 1;           // recordings of each tape, damaged independently
    double takeSpeed = 1;    // the second take's speed against the first's
    bool stereo = false;     // two takes as the channels of one file
    std::string work = "/dev/shm/kazettor_sim";
};

// Speed changes, wow and flutter: the tape read at a varying rate, by
// linear interpolation.
std::vector<double> warp(const std::vector<double>& s, const Options& o, double rate) {
    std::vector<double> out;
    double position = 0;
    for (std::size_t n = 0; position + 1 < static_cast<double>(s.size()); ++n) {
        const double t = static_cast<double>(n) / rate;
        const auto i = static_cast<std::size_t>(position);
        out.push_back(s[i] + (s[i + 1] - s[i]) * (position - static_cast<double>(i)));
        position += o.speed * (1 + o.wowDepth * std::sin(2 * M_PI * o.wowHz * t) +
                               o.flutterDepth * std::sin(2 * M_PI * o.flutterHz * t));
    }
    return out;
}

// One take of the clean recording: every damage the options ask for, with
// draws of its own from `random`.
std::vector<double> damaged(std::vector<double> s, const Options& o, double rate, double signalRms,
                            std::mt19937& random) {
    if (o.noLeadIn)
        s.erase(s.begin() + static_cast<std::ptrdiff_t>(3 * rate),
                s.begin() + static_cast<std::ptrdiff_t>(7.5 * rate));
    if (o.speed != 1 || o.wowDepth != 0 || o.flutterDepth != 0) s = warp(s, o, rate);
    if (o.azimuthUs > 0) {
        // The mean over `width` samples, the last weighed by the fraction.
        const double width = std::max(1.0, o.azimuthUs * 1e-6 * rate);
        const auto whole = static_cast<std::size_t>(width);
        const double part = width - static_cast<double>(whole);
        std::vector<double> mean(s.size());
        double sum = 0;
        for (std::size_t n = 0; n < s.size(); ++n) {
            sum += s[n];
            if (n >= whole) sum -= s[n - whole];
            const double tail = n >= whole ? s[n - whole] : 0;
            mean[n] = (sum + part * tail) / width;
        }
        s = std::move(mean);
    }
    if (o.lowpass > 0) {
        Biquad f = butterworth(o.lowpass, rate, false);
        for (double& v : s) v = f.step(v);
    }
    if (o.highpass > 0) {
        Biquad f = butterworth(o.highpass, rate, true);
        for (double& v : s) v = f.step(v);
    }
    if (o.differentiate) {
        double last = 0;
        for (double& v : s) {
            const double d = (v - last) * 2;
            last = v;
            v = d;
        }
    }
    const double gain = std::pow(10.0, o.gainDb / 20) * (o.invert ? -1 : 1);
    std::normal_distribution<double> gauss(0, 1);
    const double white = o.snr < 1e8 ? signalRms * std::pow(10.0, -o.snr / 20) : 0;
    const double pink = o.pink < 1e8 ? signalRms * std::pow(10.0, -o.pink / 20) : 0;
    double b0 = 0, b1 = 0, b2 = 0;  // Paul Kellet's economy pink filter
    for (double& v : s) {
        double noise = white * gauss(random);
        if (pink > 0) {
            const double w = gauss(random);
            b0 = 0.99765 * b0 + w * 0.0990460;
            b1 = 0.96300 * b1 + w * 0.2965164;
            b2 = 0.57000 * b2 + w * 1.0526913;
            noise += pink * (b0 + b1 + b2 + w * 0.1848) / 3.2;
        }
        v = v * gain + o.dc + noise * std::abs(gain);
    }
    // Mains hum: 50 or 60 Hz up to 0.5 % off, and six harmonics, each share
    // and phase drawn, its RMS humDb against the signal's.
    if (o.humDb > -1e8) {
        std::uniform_real_distribution<double> uniform(0, 1);
        const double hz = (uniform(random) < 0.5 ? 50 : 60) * (0.995 + 0.01 * uniform(random));
        double shares[7] = {1}, phases[7], power = 0.5;
        for (int k = 1; k < 7; ++k) {
            shares[k] = uniform(random) * (k < 3 ? 1.0 : 0.4);
            power += shares[k] * shares[k] / 2;
        }
        for (double& phase : phases) phase = 2 * M_PI * uniform(random);
        const double scale = signalRms * std::abs(gain) * std::pow(10.0, o.humDb / 20) / std::sqrt(power);
        for (std::size_t n = 0; n < s.size(); ++n) {
            for (int k = 0; k < 7; ++k)
                s[n] += scale * shares[k] *
                        std::sin(2 * M_PI * hz * (k + 1) * static_cast<double>(n) / rate + phases[k]);
        }
    }
    // Dropouts and dips inside the data blocks: one per block, at random.
    if (o.dropoutMs > 0 || o.dipMs > 0) {
        const double ms = o.dropoutMs > 0 ? o.dropoutMs : o.dipMs;
        const double scale = o.dropoutMs > 0 ? 0.0 : o.dipGain;
        const double blockSeconds = 257 * 8 * 1.25e-3 + 99 * 8 * 0.624e-3;
        for (int b = 0; b < o.blocks; ++b) {
            if (static_cast<double>(random() % 1000) >= 1000 * o.dropoutShare) continue;
            const double at = (o.noLeadIn ? 3.0 : 7.5) + 0.2 +
                              (b + 0.3 + 0.4 * (random() % 1000) / 1000.0) * blockSeconds;
            const auto from = static_cast<std::size_t>(at * rate);
            for (std::size_t n = from;
                 n < from + static_cast<std::size_t>(ms * rate / 1000) && n < s.size(); ++n)
                s[n] *= scale;
        }
    }
    // Clicks: three samples of a large value of either sign, at random.
    if (o.clicks > 0) {
        std::uniform_real_distribution<double> where(0, static_cast<double>(s.size()) - 3);
        const auto count = static_cast<int>(o.clicks * static_cast<double>(s.size()) / rate);
        for (int c = 0; c < count; ++c) {
            const auto at = static_cast<std::size_t>(where(random));
            const double height = (random() % 2 ? 1 : -1) * o.clickLevel * signalRms * std::abs(gain);
            for (std::size_t k = 0; k < 3; ++k) s[at + k] += height;
        }
    }
    return s;
}

struct Tally {
    int programsExact = 0, o = 0, j = 0, x = 0, wrong = 0, trials = 0;
};

// Counts the marks of the console's block lines, and the O and J blocks whose
// bytes are none of the true blocks.
void tally(const std::string& output, const std::set<Bytes>& truth, Tally& t, bool quiet) {
    const std::vector<Bytes> truthList(truth.begin(), truth.end());
    for (const BlockLine& block : blockLinesOf(output)) {
        if (block.bytes.empty()) continue;
        const char mark = block.mark;
        (mark == 'O' ? t.o : mark == 'J' ? t.j : t.x)++;
        if ((mark == 'X' && std::getenv("EXPLAIN") != nullptr) ||
            (mark != 'X' && truth.count(block.bytes) == 0)) {
            std::fputs(differencesFromTruth(block.bytes, truthList).c_str(), stderr);
        }
        if (mark != 'X' && truth.count(block.bytes) == 0) {
            ++t.wrong;
            if (!quiet) std::fprintf(stderr, "WRONG %c block: %s\n", mark, block.text.substr(0, 60).c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() { return std::atof(argv[++i]); };
        if (a == "--trials")
            o.trials = static_cast<int>(next());
        else if (a == "--blocks")
            o.blocks = static_cast<int>(next());
        else if (a == "--seed")
            o.seed = static_cast<int>(next());
        else if (a == "--rate")
            o.rate = static_cast<int>(next());
        else if (a == "--shape")
            o.shape = static_cast<int>(next());
        else if (a == "--bits")
            o.bits = static_cast<int>(next());
        else if (a == "--snr")
            o.snr = next();
        else if (a == "--pink")
            o.pink = next();
        else if (a == "--gain")
            o.gainDb = next();
        else if (a == "--hum")
            o.humDb = next();
        else if (a == "--dc")
            o.dc = next();
        else if (a == "--azimuth")
            o.azimuthUs = next();
        else if (a == "--lowpass")
            o.lowpass = next();
        else if (a == "--highpass")
            o.highpass = next();
        else if (a == "--speed")
            o.speed = next();
        else if (a == "--wow") {
            o.wowHz = next();
            o.wowDepth = next();
        } else if (a == "--flutter") {
            o.flutterHz = next();
            o.flutterDepth = next();
        } else if (a == "--dropout")
            o.dropoutMs = next();
        else if (a == "--dip") {
            o.dipMs = next();
            o.dipGain = next();
        } else if (a == "--clicks") {
            o.clicks = next();
            o.clickLevel = next();
        } else if (a == "--differentiate")
            o.differentiate = true;
        else if (a == "--invert")
            o.invert = true;
        else if (a == "--no-leadin")
            o.noLeadIn = true;
        else if (a == "--both")
            o.both = true;
        else if (a == "--quiet")
            o.quiet = true;
        else if (a == "--dropout-share")
            o.dropoutShare = next();
        else if (a == "--takes")
            o.takes = std::clamp(static_cast<int>(next()), 1, 2);
        else if (a == "--take-speed")
            o.takeSpeed = next();
        else if (a == "--stereo")
            o.stereo = true;
        else if (a == "--work")
            o.work = argv[++i];
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    // kazettor takes a path's extension from its first '.': it would refuse
    // every recording in such a directory.
    if (o.work.find('.') != std::string::npos) {
        std::fprintf(stderr, "--work %s: the directory's path may hold no '.'\n", o.work.c_str());
        return 2;
    }
    std::string mkdir = "mkdir -p " + o.work;
    if (std::system(mkdir.c_str()) != 0) return 2;
    std::mt19937 random(static_cast<unsigned>(o.seed));
    Tally tallies[3];
    for (int trial = 0; trial < o.trials; ++trial) {
        const TapeProgram program = simuProgram(o.blocks, random);
        const Bytes image = tapeImageOf(program);
        const std::set<Bytes> truth(program.blocks.begin(), program.blocks.end());
        writeFile(o.work + "/tape.ptp", image);
        const int halfSamples = static_cast<int>(std::ceil(o.rate * 1000 * 312.0 / 1000000.0));
        const int shape = o.shape >= 0 ? o.shape : halfSamples;
        runProgram(
            {o.work + "/tape.ptp", "-m" + std::to_string(o.rate), "-b16", "-f" + std::to_string(shape)});
        std::vector<double> s = samplesOf(readFile(o.work + "/tape.wav"));
        const std::map<int, double> rates = {{8, 8000},   {11, 11050}, {16, 16000},
                                             {22, 22050}, {44, 44100}, {48, 48000}};
        const double rate = rates.at(o.rate);
        // The lead-in's level, measured before the damage, sets the noise.
        double power = 0;
        const auto leadFrom = static_cast<std::size_t>(3.5 * rate),
                   leadTo = static_cast<std::size_t>(6.5 * rate);
        for (std::size_t n = leadFrom; n < leadTo; ++n) power += s[n] * s[n];
        const double signalRms = std::sqrt(power / static_cast<double>(leadTo - leadFrom));
        std::vector<std::vector<double>> takes;
        for (int k = 0; k < o.takes; ++k) {
            Options take = o;
            if (k > 0) take.speed *= o.takeSpeed;
            takes.push_back(damaged(s, take, rate, signalRms, random));
        }
        writeFile(o.work + "/rec.wav", wavOf(takes[0], static_cast<std::uint32_t>(rate), o.bits));
        if (o.takes > 1) {
            writeFile(o.work + "/take.wav", wavOf(takes[1], static_cast<std::uint32_t>(rate), o.bits));
            if (o.stereo) writeFile(o.work + "/both.wav", stereoWavOf(takes[0], takes[1], static_cast<std::uint32_t>(rate)));
        }
        // Passes: -r I on the first take; the default decoder; with takes,
        // -r I on the second take alone and on both.
        const int passes = o.takes > 1 ? 3 : o.both ? 2 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const bool merged = o.takes > 1 && pass == 2;
            const std::string input = merged && o.stereo ? "/both" : o.takes > 1 && pass == 1 ? "/take" : "/rec";
            std::filesystem::remove_all(o.work + input);
            std::vector<std::string> arguments = {o.work + input + ".wav", "-r", "I"};
            if (merged && !o.stereo) arguments.insert(arguments.end(), {"-t", o.work + "/take.wav"});
            if (o.takes == 1 && pass == 1) arguments.resize(1);
            const Run run = runProgram(arguments);
            Tally& t = tallies[static_cast<std::size_t>(pass)];
            ++t.trials;
            const Bytes decoded = readFile(o.work + input + "/01_SIMU.ptp");
            t.programsExact += decoded == image;
            const int wrongBefore = t.wrong;
            tally(run.output, truth, t, o.quiet);
            if (t.wrong > wrongBefore) {
                // The report's repairs (the default decoder's run has no report).
                const std::size_t reportAt = run.output.find("Sérülésjelentés");
                std::istringstream report(reportAt != std::string::npos ? run.output.substr(reportAt) : "");
                for (std::string line; std::getline(report, line);) {
                    if (line.find("  J  ") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
                }
                writeFile(o.work + "/wrong.wav", readFile(o.work + "/rec.wav"));
            }
            if (!o.quiet && pass == 0 && o.trials == 1) std::fputs(run.output.c_str(), stderr);
        }
    }
    const char* const names[2][3] = {{"-r I", "default", ""}, {"take A", "take B", "A and B"}};
    int wrong = 0;
    for (int pass = 0; pass < (o.takes > 1 ? 3 : o.both ? 2 : 1); ++pass) {
        const Tally& t = tallies[pass];
        std::printf("%-8s programs exact %d / %d, blocks O %d, J %d, X %d, wrong O/J %d\n",
                    names[o.takes > 1][pass], t.programsExact, t.trials, t.o, t.j, t.x, t.wrong);
        wrong += t.wrong;
    }
    return wrong > 0 ? 1 : 0;
}
