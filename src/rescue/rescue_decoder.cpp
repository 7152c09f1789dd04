#include "rescue/rescue_decoder.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/option_table.h"
#include "common/path_base.h"
#include "decoder/program_files.h"
#include "decoder/sample_loader.h"
#include "decoder/wav_input.h"
#include "rescue/block_writer.h"
#include "rescue/damage_report.h"
#include "rescue/recording.h"
#include "rescue/rescue_map.h"
#include "map/tape_map_svg.h"
#include "common/console.h"
#include "rescue/take.h"
#include "rescue/take_merge.h"
#include "rescue/tape_blocks.h"

namespace {

// The stretches of tape signal that gave no block, for the report: in tape
// order, without the parts where a block was decided after all (one that
// only the default decoder read lies where the trackers found none). What
// is left before such a block, no longer than a gap between blocks, is its
// lead-in.
void noteBlockless(DamageReport& report, const Recording& recording, std::vector<SampleSpan> spans,
                   const std::vector<DecidedBlock>& blocks) {
    std::sort(spans.begin(), spans.end(), [](const SampleSpan& a, const SampleSpan& b) { return a.from < b.from; });
    const double gap = kLongestGapSeconds * recording.rate;
    auto note = [&](double from, double to) {
        if (to <= from) return;
        for (const DecidedBlock& block : blocks) {
            const double start = block.decision.firstSample;
            if (start >= to && start <= from + gap) return;
        }
        noteBlocklessStretch(report, secondsIn(recording, from), secondsIn(recording, to));
    };
    for (SampleSpan span : spans) {
        for (const DecidedBlock& block : blocks) {
            const BlockDecision& decision = block.decision;
            if (decision.lastSample <= span.from || decision.firstSample >= span.to) continue;
            note(span.from, decision.firstSample);
            span.from = decision.lastSample;
        }
        note(span.from, span.to);
    }
}

// The mains hum taken off each take, for the report: its frequency, its
// tones and its level against the tape signal.
void noteHum(DamageReport& report, const std::vector<Take>& takes) {
    for (const Take& take : takes) {
        const MainsHum& hum = take.recording.hum;
        if (hum.hz <= 0) continue;
        char line[160];
        std::snprintf(line, sizeof line,
                      "Hálózati zúgás%s: %.2f Hz, %d felharmonikusával, a jelhez képest %.0f dB; levontam",
                      takes.size() > 1 ? (" (" + take.name + ")").c_str() : "", hum.hz, hum.harmonics - 1,
                      hum.decibels);
        report.humLines.push_back(line);
    }
}

// How the takes fared, for the report: the blocks each gave, those read
// only with their evidence added up, and the takes of another tape.
void noteTakes(DamageReport& report, const MergedTape& tape) {
    if (tape.takes.size() < 2) return;
    std::string line = "Felvételek:";
    for (const TakeOutcome& take : tape.takes) {
        if (take.matched) line += " " + take.name + " (" + take.label + ") " + std::to_string(take.blocks) + " blokk,";
    }
    report.takeLines.push_back(line + " együtt, bitenként összeadva " + std::to_string(tape.merged) + " blokk");
    for (const TakeOutcome& take : tape.takes) {
        if (!take.matched)
            report.takeLines.push_back(take.name + " (" + take.label + "): nem ennek a szalagnak a felvétele, egyetlen "
                                       "blokkja sem egyezett: semmi sem került belőle a fájlokba");
    }
    if (tape.reference != 0)
        report.takeLines.push_back("Az időpontok a(z) " + tape.takes[tape.reference].name + " felvétel szerint");
}

}  // namespace

bool rescueRequested() {
    const char* option = lookupOption('r');
    return option != nullptr && (option[0] == 'I' || option[0] == 'i');
}

void rescueWavFile(const char* path) {
    setPathBase(path);
    std::vector<Take> takes = listTakes(path);
    // Every take's samples stay until the takes are merged: a block that
    // each take lost in a dropout is pieced together from them.
    for (Take& take : takes) readTake(take);
    createOutputDirectory(pathBase);
    const MergedTape tape = mergeTakes(takes);
    for (Take& take : takes) {
        if (&take == &takes.front()) continue;
        take.recording.signal.reset();
        closeWavInput(take.recording.input);
    }
    const Take& reference = takes[tape.reference];
    DamageReport report;
    noteBlockless(report, reference.recording, reference.search.blockless, tape.blocks);
    report.echoes = reference.echoes;
    std::vector<MapProgram> programs;
    writeTapeBlocks(reference.recording, tape.blocks, reference.search.restarts, report, programs);
    noteHum(report, takes);
    noteTakes(report, tape);
    closeProgramFileAtEnd();
    closeWavInput(takes.front().recording.input);
    writeConditionedWav(takes.front().recording);
    printDamageReport(report);
    // The damage map beside the cleaned copy, named like it.
    std::string picture = cleanedWavPath(pathBase);
    picture.replace(picture.size() - 4, 4, ".svg");
    const std::string title = path;
    writeTapeMap(rescueMap(takes, tape, report, std::move(programs), title.substr(title.rfind('/') + 1)), picture);
    consolePrint("Sérüléstérkép: %s\n", picture.c_str());
    consoleFlush();
}
