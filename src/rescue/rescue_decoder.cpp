#include "rescue/rescue_decoder.h"

#include <algorithm>
#include <vector>

#include "cli/option_table.h"
#include "common/path_base.h"
#include "decoder/bit_decoder.h"
#include "decoder/program_files.h"
#include "decoder/sample_loader.h"
#include "rescue/block_search.h"
#include "rescue/block_writer.h"
#include "rescue/damage_report.h"
#include "rescue/noise_floor.h"
#include "rescue/recording.h"
#include "rescue/tape_blocks.h"

namespace {

// Where a recording gave no block, it is read again through a two-pole
// high-pass at this frequency, between the 0 bits' fundamental (534 Hz on a
// standard tape) and the 1 bits' (1602 Hz): the first falls by 11 dB, the
// second by less than 1, so the 1 bits come out 10 dB louder against the 0
// bits than they were.
constexpr double kEmphasisHz = 1000;

// The stretches of tape signal that gave no block, for the report: in tape
// order, without the parts where a block was decided after all (one that
// only the default decoder read lies where the trackers found none).
void noteBlockless(DamageReport& report, const Recording& recording, std::vector<SampleSpan> spans,
                   const std::vector<DecidedBlock>& blocks) {
    std::sort(spans.begin(), spans.end(), [](const SampleSpan& a, const SampleSpan& b) { return a.from < b.from; });
    for (SampleSpan span : spans) {
        for (const DecidedBlock& block : blocks) {
            const BlockDecision& decision = block.decision;
            if (decision.lastSample <= span.from || decision.firstSample >= span.to) continue;
            if (decision.firstSample > span.from)
                noteBlocklessStretch(report, secondsIn(recording, span.from), secondsIn(recording, decision.firstSample));
            span.from = decision.lastSample;
        }
        if (span.to > span.from)
            noteBlocklessStretch(report, secondsIn(recording, span.from), secondsIn(recording, span.to));
    }
}

}  // namespace

bool rescueRequested() {
    const char* option = lookupOption('r');
    return option != nullptr && (option[0] == 'I' || option[0] == 'i');
}

void rescueWavFile(const char* path) {
    // The default decoder reads the recording first, quietly: every block it
    // reads is a reading of the block here too, so that the rescue decoder
    // never reads less than it. Its samples are gone before the recording's
    // floating-point ones take their place.
    setPathBase(path);
    const std::vector<DecodedBlock> plain = collectDecodedBlocks(path, kChannelOption);
    Recording recording;
    openRecording(path, kChannelOption, recording);
    conditionRecording(recording, FilterSettings{});
    measureNoiseFloor(recording);
    createOutputDirectory(pathBase);
    SearchResult search = searchBlocks(recording);
    // Tape signal, and not a block in it: a dull playback head, or a steep
    // low-pass on the way, can leave the short half-waves of the 1 bits so
    // small beside the long ones that no edge shows between them. With them
    // made louder against the long ones, the recording is read once more.
    if (search.blocks.empty() && !search.blockless.empty()) {
        FilterSettings emphasised;
        emphasised.emphasisHz = kEmphasisHz;
        conditionRecording(recording, emphasised);
        measureNoiseFloor(recording);
        search = searchBlocks(recording);
    }
    std::vector<DecidedBlock> decided;
    for (const TapeBlock& block : gatherTapeBlocks(search, plain, recording.rate))
        decided.push_back(decideTapeBlock(recording, block));
    DamageReport report;
    noteBlockless(report, recording, search.blockless, decided);
    writeTapeBlocks(recording, decided, search.restarts, report);
    closeProgramFileAtEnd();
    closeWavInput(recording.input);
    writeConditionedWav(recording);
    printDamageReport(report);
}
