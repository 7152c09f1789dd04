// Measures the rescue decoder on simulated tapes: random programs encoded by
// kazettor, degraded in memory (noise, level, offset, filters, speed, wow,
// flutter, dropouts, a playback head's derivative), decoded with -r I (and,
// with --both, without it), and every block compared with the truth. A block
// marked O or J whose bytes are not exactly one of the blocks on the tape
// is a wrong block; the program stops with status 1 if it finds one.
//
// Usage: rescue_sim [--trials N] [--blocks N] [--seed N] [--rate 44|22|11|48|...] [--shape N] [--bits N]
//                   [--snr dB] [--pink dB] [--gain dB] [--dc x] [--lowpass Hz] [--highpass Hz]
//                   [--speed f] [--wow Hz depth] [--flutter Hz depth] [--dropout ms] [--dip ms gain]
//                   [--clicks perSecond height] [--differentiate] [--invert] [--no-leadin] [--both] [--quiet] [--work dir]
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "common/run_end.h"
#include "support/file_bytes.h"

namespace {

struct Options {
    int trials = 1, blocks = 8, seed = 1, bits = 16;
    int rate = 44;
    int shape = -1;  // -1: a trapezoid of half the largest value
    double snr = 1e9, pink = 1e9, gainDb = 0, dc = 0, lowpass = 0, highpass = 0, speed = 1;
    double wowHz = 0, wowDepth = 0, flutterHz = 0, flutterDepth = 0, dropoutMs = 0, dipMs = 0, dipGain = 1;
    double clicks = 0, clickLevel = 3;  // clicks per second, and their height against the signal's RMS
    bool differentiate = false, invert = false, noLeadIn = false, both = false, quiet = false;
    std::string work = "/dev/shm/kazettor_sim";
};

Bytes withChecksum(Bytes block) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < block.size(); ++i) sum += block[i];
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}

void addRecord(Bytes& image, std::uint8_t type, const Bytes& block) {
    image.push_back(type);
    image.push_back(static_cast<std::uint8_t>(block.size()));
    image.push_back(static_cast<std::uint8_t>(block.size() >> 8));
    image.insert(image.end(), block.begin(), block.end());
}

// A program: name, `blocks` data blocks of random bytes, end.
Bytes makeImage(int blocks, std::mt19937& random, std::vector<Bytes>& truth) {
    Bytes image = {0xFF, 0, 0};
    truth.push_back(withChecksum({0x83, 0x00, 4, 'S', 'I', 'M', 'U'}));
    addRecord(image, 0x55, truth.back());
    for (int b = 0; b < blocks; ++b) {
        Bytes data = {0xF1, static_cast<std::uint8_t>(b), 0x43, 0x00, 0x00};
        for (int i = 0; i < 256; ++i) data.push_back(static_cast<std::uint8_t>(random()));
        truth.push_back(withChecksum(data));
        addRecord(image, 0x55, truth.back());
    }
    truth.push_back(withChecksum({0xB1, 0x00}));
    addRecord(image, 0xAA, truth.back());
    image[1] = static_cast<std::uint8_t>(image.size());
    image[2] = static_cast<std::uint8_t>(image.size() >> 8);
    return image;
}

struct Run {
    int status = 0;
    std::string output;
};

Run runProgram(std::vector<std::string> arguments) {
    resetProgramState();
    arguments.insert(arguments.begin(), "kazettor");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    std::fflush(stdout);
    const std::string capture = "/dev/shm/kazettor_sim_stdout_" + std::to_string(getpid());
    const int saved = dup(1);
    const int file = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    close(file);
    Run run;
    try {
        run.status = runCommandLine(static_cast<int>(argv.size()), argv.data());
    } catch (const RunEnded& ended) {
        run.status = ended.status;
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    const Bytes text = readFile(capture);
    std::filesystem::remove(capture);
    run.output.assign(text.begin(), text.end());
    return run;
}

// The samples of a 16-bit mono WAV written by the encoder, as ±1 values.
std::vector<double> samplesOf(const Bytes& wav) {
    std::vector<double> out;
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2) {
        out.push_back(static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)) / 32768.0);
    }
    return out;
}

Bytes wavOf(const std::vector<double>& samples, std::uint32_t rate, int bits) {
    const int width = bits / 8;
    const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * width);
    Bytes file = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                  'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   1,   0};
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le(rate, 4);
    le(rate * width, 4);
    le(width, 2);
    le(bits, 2);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    le(data, 4);
    const double full = std::ldexp(1.0, bits - 1);
    for (double s : samples) {
        const double clipped = std::fmax(-1.0, std::fmin(1.0 - 1.0 / full, s));
        const auto value = static_cast<std::int64_t>(std::llround(clipped * full));
        if (bits == 8) {
            le(static_cast<std::uint32_t>(value + 128), 1);
        } else {
            le(static_cast<std::uint32_t>(value), width);
        }
    }
    file[4] = 0;
    const std::uint32_t riff = data + 36;
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return file;
}

struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

Biquad butterworth(double cutoff, double rate, bool high) {
    const double w0 = 2 * M_PI * cutoff / rate, alpha = std::sin(w0) / std::sqrt(2.0), c = std::cos(w0);
    const double a0 = 1 + alpha;
    if (high) return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

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

struct Tally {
    int programsExact = 0, o = 0, j = 0, x = 0, wrong = 0, trials = 0;
};

// Counts the marks of the console's block lines, and the O and J blocks whose
// bytes are none of the true blocks.
void tally(const std::string& output, const std::set<Bytes>& truth, Tally& t, bool quiet) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        Bytes bytes;
        std::string word;
        char mark = 0;
        while (words >> word) {
            if (word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) &&
                std::isxdigit(static_cast<unsigned char>(word[1]))) {
                bytes.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
            } else if ((word == "O" || word == "O:" || word == "J" || word == "J:" || word == "X" ||
                        word == "X:") &&
                       !bytes.empty()) {
                mark = word[0];
                break;
            } else {
                break;
            }
        }
        if (mark == 0) continue;
        (mark == 'O' ? t.o : mark == 'J' ? t.j : t.x)++;
        if ((mark == 'X' && std::getenv("EXPLAIN") != nullptr) || (mark != 'X' && truth.count(bytes) == 0)) {
            for (const Bytes& b : truth) {
                if (b.size() != bytes.size() || b[0] != bytes[0] || b[1] != bytes[1]) continue;
                std::size_t first = 0;
                while (first < b.size() && b[first] == bytes[first]) ++first;
                int differing = 0;
                for (std::size_t i = 0; i < b.size(); ++i) differing += b[i] != bytes[i];
                std::fprintf(stderr,
                             "X block %02x %02x: first wrong byte %zu of %zu, %d bytes wrong; true/read:",
                             b[0], b[1], first, b.size(), differing);
                for (std::size_t i = first >= 2 ? first - 2 : 0; i < std::min(b.size(), first + 4); ++i) {
                    std::fprintf(stderr, " %02x/%02x", b[i], bytes[i]);
                }
                std::fprintf(stderr, "\n");
            }
        }
        if (mark != 'X' && truth.count(bytes) == 0) {
            ++t.wrong;
            if (!quiet) std::fprintf(stderr, "WRONG %c block: %s\n", mark, line.substr(0, 60).c_str());
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
        else if (a == "--dc")
            o.dc = next();
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
        else if (a == "--work")
            o.work = argv[++i];
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    std::string mkdir = "mkdir -p " + o.work;
    if (std::system(mkdir.c_str()) != 0) return 2;
    std::mt19937 random(static_cast<unsigned>(o.seed));
    Tally rescue, plain;
    for (int trial = 0; trial < o.trials; ++trial) {
        std::vector<Bytes> truthList;
        const Bytes image = makeImage(o.blocks, random, truthList);
        const std::set<Bytes> truth(truthList.begin(), truthList.end());
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
        if (o.noLeadIn)
            s.erase(s.begin() + static_cast<std::ptrdiff_t>(3 * rate),
                    s.begin() + static_cast<std::ptrdiff_t>(7.5 * rate));
        if (o.speed != 1 || o.wowDepth != 0 || o.flutterDepth != 0) s = warp(s, o, rate);
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
        // Dropouts and dips inside the data blocks: one per block, at random.
        if (o.dropoutMs > 0 || o.dipMs > 0) {
            const double ms = o.dropoutMs > 0 ? o.dropoutMs : o.dipMs;
            const double scale = o.dropoutMs > 0 ? 0.0 : o.dipGain;
            const double blockSeconds = 257 * 8 * 1.25e-3 + 99 * 8 * 0.624e-3;
            for (int b = 0; b < o.blocks; ++b) {
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
        writeFile(o.work + "/rec.wav", wavOf(s, static_cast<std::uint32_t>(rate), o.bits));
        for (int pass = 0; pass < (o.both ? 2 : 1); ++pass) {
            std::filesystem::remove_all(o.work + "/rec");
            std::vector<std::string> arguments = {o.work + "/rec.wav"};
            if (pass == 0) arguments.insert(arguments.end(), {"-r", "I"});
            const Run run = runProgram(arguments);
            Tally& t = pass == 0 ? rescue : plain;
            ++t.trials;
            const Bytes decoded = readFile(o.work + "/rec/01_SIMU.ptp");
            t.programsExact += decoded == image;
            const int wrongBefore = t.wrong;
            tally(run.output, truth, t, o.quiet);
            if (t.wrong > wrongBefore) {
                std::istringstream report(run.output.substr(run.output.find("Sérülésjelentés")));
                for (std::string line; std::getline(report, line);) {
                    if (line.find("  J  ") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
                }
                writeFile(o.work + "/wrong.wav", readFile(o.work + "/rec.wav"));
            }
            if (!o.quiet && pass == 0 && o.trials == 1) std::fputs(run.output.c_str(), stderr);
        }
    }
    for (int pass = 0; pass < (o.both ? 2 : 1); ++pass) {
        const Tally& t = pass == 0 ? rescue : plain;
        std::printf("%-8s programs exact %d / %d, blocks O %d, J %d, X %d, wrong O/J %d\n",
                    pass == 0 ? "-r I" : "default", t.programsExact, t.trials, t.o, t.j, t.x, t.wrong);
    }
    return rescue.wrong + plain.wrong > 0 ? 1 : 0;
}
