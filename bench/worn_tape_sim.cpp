// Worn tapes that the decoders were never tuned on: every recording draws
// its programs, its encoding, a severity class and every parameter of the
// cassette chain at random, from a seed that is fresh on every run unless
// given (and printed, so that a run can be repeated). Each recording is
// decoded by the default decoder and by -r I, in this process, and each
// is judged block by block against the truth; a block marked O or J whose
// bytes are not the true block's is a wrong mark. Both decoders' wrong
// marks are reported; a wrong mark of -r I ends the run with status 1 (the
// default decoder's 8-bit checksum passes one misread block in 256, and an
// end block's whenever its two bytes happen to be equal: that is its nature).
//
// Usage: worn_tape_sim [--recordings N] [--seed S] [--severity none|mild|moderate|severe|any]
//                      [--keep DIR] [--work DIR]
//        worn_tape_sim --write-only DIR [--recordings N] [--seed S] [--severity ...]
//        worn_tape_sim --evaluate WAV TRUTH
// Recording #k of a run has the seed S + k - 1: --seed (its seed)
// --recordings 1 --severity (the same) makes it again. --severity none draws
// the programs, the encoding, the level and the polarity but no damage.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "worn_judge.h"
#include "worn_recording.h"

namespace {

struct Options {
    int recordings = 10;
    std::uint32_t seed = 0;
    bool seedGiven = false;
    std::optional<Severity> severity;  // none: any, drawn per recording
    std::string keep, writeOnly, evaluateWav, evaluateTruth, work;
};

[[noreturn]] void usage() {
    std::fprintf(
        stderr,
        "usage: worn_tape_sim [--recordings N] [--seed S] [--severity none|mild|moderate|severe|any]\n"
        "                     [--keep DIR] [--work DIR]\n"
        "       worn_tape_sim --write-only DIR [--recordings N] [--seed S] [--severity ...]\n"
        "       worn_tape_sim --evaluate WAV TRUTH\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (a == "--recordings") {
            o.recordings = std::atoi(value().c_str());
        } else if (a == "--seed") {
            o.seed = static_cast<std::uint32_t>(std::strtoul(value().c_str(), nullptr, 10));
            o.seedGiven = true;
        } else if (a == "--severity") {
            const std::string name = value();
            Severity s;
            if (name == "any") {
                o.severity.reset();
            } else if (severityNamed(name, s)) {
                o.severity = s;
            } else {
                usage();
            }
        } else if (a == "--keep") {
            o.keep = value();
        } else if (a == "--write-only") {
            o.writeOnly = value();
        } else if (a == "--evaluate") {
            o.evaluateWav = value();
            o.evaluateTruth = value();
        } else if (a == "--work") {
            o.work = value();
        } else {
            usage();
        }
    }
    if (o.recordings < 1) usage();
    // kazettor takes a path's extension from its first '.'.
    if (o.work.find('.') != std::string::npos) {
        std::fprintf(stderr, "--work %s: the directory's path may hold no '.'\n", o.work.c_str());
        std::exit(2);
    }
    if (!o.seedGiven) o.seed = std::random_device{}();
    return o;
}

// Each wrong mark, loudly, with where its bytes differ from the truth.
void reportWrong(const char* decoder, const DecoderOutcome& outcome, const std::string& seedText) {
    for (const std::string& w : outcome.wrong) {
        std::printf("!!! WRONG MARK by %s, %s: %s", decoder, seedText.c_str(), w.c_str());
    }
}

struct Totals {
    int recordings = 0, blocks = 0, programs = 0;
    int right[2] = {0, 0}, rightO[2] = {0, 0}, rightJ[2] = {0, 0}, rightX[2] = {0, 0}, xLines[2] = {0, 0};
    int wrong[2] = {0, 0}, copies[2] = {0, 0}, exact[2] = {0, 0};
    double seconds[2] = {0, 0}, cpuSeconds[2] = {0, 0}, recorded = 0, making = 0;
    std::map<Severity, std::array<int, 4>> bySeverity;  // recordings, blocks, right by default, right by -r I
    std::vector<std::string> losses;

    void add(const Recording& r, const DecodedPair& pair) {
        ++recordings;
        blocks += static_cast<int>(r.truth.blocks.size());
        programs += static_cast<int>(r.truth.programs.size());
        const DecoderOutcome* both[2] = {&pair.plain, &pair.rescue};
        for (int d = 0; d < 2; ++d) {
            right[d] += both[d]->right;
            rightO[d] += both[d]->rightO;
            rightJ[d] += both[d]->rightJ;
            rightX[d] += both[d]->rightX;
            xLines[d] += both[d]->xLines;
            wrong[d] += static_cast<int>(both[d]->wrong.size());
            copies[d] += both[d]->copies;
            exact[d] += both[d]->exact;
            seconds[d] += both[d]->seconds;
            cpuSeconds[d] += both[d]->cpuSeconds;
        }
        recorded += r.seconds;
        making += r.makingSeconds;
        std::array<int, 4>& s = bySeverity[r.severity];
        s[0] += 1;
        s[1] += static_cast<int>(r.truth.blocks.size());
        s[2] += pair.plain.right;
        s[3] += pair.rescue.right;
    }

    void print(const Options& options) const {
        auto percent = [](int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0.0; };
        std::printf(
            "\n== %d recordings (%.0f s of signal, made in %.2f s of processor time), %d true blocks, %d "
            "programs; seed %u\n",
            recordings, recorded, making, blocks, programs, options.seed);
        const char* names[2] = {"default", "-r I   "};
        for (int d = 0; d < 2; ++d) {
            std::printf(
                "%s blocks right %d (%.1f %%): O %d, J %d; right bytes but X %d; lines X %d; wrong O/J %d; "
                "copies of a true block %d; programs exact %d of %d\n",
                names[d], right[d], percent(right[d], blocks), rightO[d], rightJ[d], rightX[d], xLines[d],
                wrong[d], copies[d], exact[d], programs);
        }
        for (const auto& [severity, s] : bySeverity) {
            std::printf(
                "%-8s %3d recordings, %4d blocks: right by default %d (%.1f %%), by -r I %d (%.1f %%)\n",
                severityName(severity), s[0], s[1], s[2], percent(s[2], s[1]), s[3], percent(s[3], s[1]));
        }
        std::printf(
            "decoding, processor time: default %.2f s, -r I %.2f s: -r I / default = %.2f "
            "(wall time %.2f s and %.2f s: %.2f)\n",
            cpuSeconds[0], cpuSeconds[1], cpuSeconds[0] > 0 ? cpuSeconds[1] / cpuSeconds[0] : 0.0, seconds[0],
            seconds[1], seconds[0] > 0 ? seconds[1] / seconds[0] : 0.0);
        std::printf("-r I did worse than the default decoder in %zu of %d recordings%s\n", losses.size(),
                    recordings, losses.empty() ? "" : ":");
        for (const std::string& l : losses) std::printf("  %s\n", l.c_str());
        if (wrong[0] + wrong[1] > 0) {
            std::printf("!!! WRONG MARKS: default %d, -r I %d (see the lines marked !!! above)\n", wrong[0],
                        wrong[1]);
        }
    }
};

std::string severityOption(const Options& o) { return o.severity ? severityName(*o.severity) : "any"; }

int evaluate(const Options& o) {
    Truth truth;
    if (!readTruth(o.evaluateTruth, truth)) return 2;
    std::filesystem::copy_file(o.evaluateWav, o.work + "/rec.wav",
                               std::filesystem::copy_options::overwrite_existing);
    const DecodedPair pair = decodeBoth(o.work + "/rec.wav", truth);
    const std::string losses = rescueLosses(pair, truth);
    std::printf(
        "%s | %s | %s%s\n", truth.description.c_str(), outcomeText("default", pair.plain, truth).c_str(),
        outcomeText("-r I", pair.rescue, truth).c_str(), losses.empty() ? "" : (" | LOST " + losses).c_str());
    reportWrong("default", pair.plain, o.evaluateWav);
    reportWrong("-r I", pair.rescue, o.evaluateWav);
    return pair.rescue.wrong.empty() ? 0 : 1;
}

int run(const Options& o) {
    std::printf(
        "worn_tape_sim: seed %u, severity %s, %d recordings (recording #k has the seed %u + k - 1; to make "
        "one again: "
        "--seed SEED --recordings 1 --severity %s)\n",
        o.seed, severityOption(o).c_str(), o.recordings, o.seed, severityOption(o).c_str());
    Totals totals;
    for (int i = 0; i < o.recordings; ++i) {
        const std::uint32_t seed = o.seed + static_cast<std::uint32_t>(i);
        const Recording r = makeRecording(seed, o.severity, o.work);
        const std::string name = "worn_" + std::to_string(seed);
        if (!o.writeOnly.empty()) {
            writeFile(o.writeOnly + "/" + name + ".wav", r.wav);
            writeTruth(o.writeOnly + "/" + name + ".truth", r.truth);
            std::printf("#%d %s -> %s/%s.wav\n", i + 1, r.truth.description.c_str(), o.writeOnly.c_str(),
                        name.c_str());
            std::fflush(stdout);
            continue;
        }
        writeFile(o.work + "/rec.wav", r.wav);
        const DecodedPair pair = decodeBoth(o.work + "/rec.wav", r.truth);
        const std::string losses = rescueLosses(pair, r.truth);
        std::printf("#%d %s | %s | %s%s\n", i + 1, r.truth.description.c_str(),
                    outcomeText("default", pair.plain, r.truth).c_str(),
                    outcomeText("-r I", pair.rescue, r.truth).c_str(),
                    losses.empty() ? "" : (" | LOST " + losses).c_str());
        reportWrong("default", pair.plain, "seed " + std::to_string(seed));
        reportWrong("-r I", pair.rescue, "seed " + std::to_string(seed));
        std::fflush(stdout);
        if (!losses.empty())
            totals.losses.push_back("#" + std::to_string(i + 1) + " seed " + std::to_string(seed) + ": " +
                                    losses);
        if (!o.keep.empty() && (!losses.empty() || !pair.rescue.wrong.empty() || !pair.plain.wrong.empty())) {
            writeFile(o.keep + "/" + name + ".wav", r.wav);
            writeTruth(o.keep + "/" + name + ".truth", r.truth);
        }
        totals.add(r, pair);
    }
    if (o.writeOnly.empty()) totals.print(o);
    return totals.wrong[1] > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    const bool ownWork = o.work.empty();
    if (ownWork) o.work = "/dev/shm/kazettor_worn_" + std::to_string(getpid());
    if (o.work.find('.') != std::string::npos) {
        std::fprintf(stderr, "the work directory's path must hold no '.': %s\n", o.work.c_str());
        return 2;
    }
    for (const std::string& dir : {o.work, o.keep, o.writeOnly}) {
        if (!dir.empty()) std::filesystem::create_directories(dir);
    }
    const int status = o.evaluateWav.empty() ? run(o) : evaluate(o);
    if (ownWork) {
        std::filesystem::remove_all(o.work);
    } else {
        for (const char* f : {"/tape.ptp", "/tape.wav", "/rec.wav"}) std::filesystem::remove(o.work + f);
    }
    return status;
}
