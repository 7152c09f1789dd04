#include "worn_recording.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>

#include "sim_layout.h"
#include "sim_programs.h"
#include "sim_run.h"
#include "sim_wav.h"
#include "worn_chain.h"

namespace {

std::string randomName(Draw& draw) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name;
    for (int i = draw.integer(1, 10); i > 0; --i) name += letters[draw.integer(0, 35)];
    return name;
}

// 1 to 3 programs with names of their own and no two blocks alike, so that
// every block line can be told apart.
std::vector<TapeProgram> drawPrograms(Draw& draw) {
    for (;;) {
        std::vector<TapeProgram> programs;
        std::set<std::string> names;
        std::set<Bytes> blocks;
        std::size_t total = 0;
        for (int p = draw.integer(1, 3); p > 0; --p) {
            std::string name = randomName(draw);
            while (!names.insert(name).second) name = randomName(draw);
            programs.push_back(randomProgram(draw, name));
            blocks.insert(programs.back().blocks.begin(), programs.back().blocks.end());
            total += programs.back().blocks.size();
        }
        if (blocks.size() == total) return programs;
    }
}

struct Encoding {
    int rate = 44100, shape = 1;
    std::string option, name;  // -m's value; the shape in words
};

Encoding drawEncoding(Draw& draw) {
    Encoding e;
    static const int usual[] = {22050, 44100, 48000}, rare[] = {11050, 16000};
    e.rate = draw.chance(0.85) ? usual[draw.integer(0, 2)] : rare[draw.integer(0, 1)];
    e.option = std::to_string(e.rate / 1000);
    switch (draw.integer(0, 2)) {
        case 0:
            e.shape = 1;
            e.name = "square";
            break;
        case 1:
            // From 2 to 2h: 2h is a triangle.
            e.shape = draw.integer(2, oneCellSamples(e.rate, 1));
            e.name = "trapezoid " + std::to_string(e.shape);
            break;
        default:
            e.shape = 0;
            e.name = "sine";
    }
    return e;
}

}  // namespace

Recording makeRecording(std::uint32_t seed, std::optional<Severity> severity, const std::string& work) {
    const std::clock_t start = std::clock();
    Draw draw(seed);
    Recording r;
    r.severity = severity
                     ? *severity
                     : std::array{Severity::mild, Severity::moderate, Severity::severe}[draw.integer(0, 2)];
    const std::vector<TapeProgram> programs = drawPrograms(draw);
    const Encoding encoding = drawEncoding(draw);
    const TapeLayout layout = layoutOf(programs, encoding.rate, encoding.shape);
    std::vector<std::vector<std::string>> labels;
    for (const TapeProgram& p : programs) labels.push_back(p.labels);
    const WornParams params = drawWornParams(draw, r.severity, layout, labels, encoding.rate);

    Bytes images;
    for (const TapeProgram& p : programs) {
        const Bytes image = tapeImageOf(p);
        images.insert(images.end(), image.begin(), image.end());
    }
    writeFile(work + "/tape.ptp", images);
    runProgram({work + "/tape.ptp", "-m" + encoding.option, "-b16", "-f" + std::to_string(encoding.shape)});
    const std::vector<std::int16_t> clean = samples16OfFile(work + "/tape.wav");
    if (static_cast<std::int64_t>(clean.size()) != layout.samples) {
        std::fprintf(stderr, "seed %u: the encoder wrote %zu samples where the tape's layout has %lld\n",
                     seed, clean.size(), static_cast<long long>(layout.samples));
        std::exit(2);
    }

    std::vector<std::int64_t> bounds;
    for (const auto& spans : layout.blocks) {
        for (const SampleSpan& s : spans) bounds.insert(bounds.end(), {s.from, s.to});
    }
    for (const Dropout& d : params.dropouts) bounds.push_back(d.at);
    const Playback played = playBack(clean, params, layout, encoding.rate, draw, bounds);
    r.wav = played.wav;
    r.seconds = static_cast<double>(played.samples) / encoding.rate;

    std::size_t blockCount = 0, bound = 0;
    for (std::size_t p = 0; p < programs.size(); ++p) {
        r.truth.programs.push_back({decodedFileName(programs[p]), decodedFileOf(programs[p])});
        for (std::size_t b = 0; b < programs[p].blocks.size(); ++b, bound += 2) {
            r.truth.blocks.push_back({"P" + std::to_string(p + 1) + " " + programs[p].labels[b],
                                      static_cast<double>(played.mapped[bound]) / encoding.rate,
                                      static_cast<double>(played.mapped[bound + 1]) / encoding.rate,
                                      programs[p].blocks[b]});
            ++blockCount;
        }
    }
    // Where each dropout plays, so that a developer looking at a lost block knows what hit it.
    for (const Dropout& d : params.dropouts) {
        char note[160];
        std::snprintf(note, sizeof note, "dropout at %.3f s, %.0f ms, %.0f dB%s%s",
                      static_cast<double>(played.mapped[bound++]) / encoding.rate, d.ms, d.depthDb,
                      d.within.empty() ? "" : ", in ", d.within.c_str());
        r.truth.notes.push_back(note);
    }
    char head[160];
    std::snprintf(head, sizeof head, "seed %u %s %d Hz %s, %zu program%s, %zu blocks, %.0f s |", seed,
                  severityName(r.severity), encoding.rate, encoding.name.c_str(), programs.size(),
                  programs.size() == 1 ? "" : "s", blockCount, r.seconds);
    r.truth.description = std::string(head) + " " + shortForm(params);
    r.makingSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    return r;
}
