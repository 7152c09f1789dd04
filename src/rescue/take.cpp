#include "rescue/take.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "cli/option_table.h"
#include "decoder/bit_decoder.h"
#include "decoder/wav_input.h"
#include "rescue/emphasis_pass.h"
#include "rescue/noise_floor.h"
#include "rescue/rescue_map.h"
#include "rescue/retry_ladder.h"

namespace {

// The most channels of one file read as takes. Each take holds its file
// open and its own readings, so a header that claims thousands of channels
// would exhaust files and memory; recorders beyond 7.1 are multitrack
// machines, where the tape lies on one track that -c names.
constexpr int kMostChannelTakes = 8;

// A file's takes: each of its channels where it has several (up to the
// bound) and -c names none (for the input), else the file as the channel
// option takes it, which refuses a multichannel file as the default run does.
void addTakes(std::vector<Take>& takes, const std::string& path, bool channelOption) {
    auto add = [&](int channel) {
        Take& take = takes.emplace_back();
        take.path = path;
        take.channel = channel;
    };
    const int channels = wavChannelCount(path);
    if (channels >= 2 && channels <= kMostChannelTakes && !(channelOption && lookupOption('c') != nullptr)) {
        for (int channel = 1; channel <= channels; ++channel) add(channel);
        return;
    }
    add(channelOption ? kChannelOption : 0);
}

// The recording conditioned from its file with the settings, and its noise
// measured on that signal.
void condition(Recording& recording, const FilterSettings& settings) {
    conditionRecording(recording, settings);
    measureNoiseFloor(recording);
}

// The recording conditioned afresh through the emphasis.
void conditionEmphasised(Recording& recording) {
    FilterSettings emphasised;
    emphasised.emphasisHz = kEmphasisHz;
    condition(recording, emphasised);
}

// Readings are gathered into one block within 32 half-waves of its first
// one, at most 80 ms (T up to 800 µs, or the default decoder's separator up
// to 5000 µs): a block of the default decoder's that begins further than
// this from a reading is never gathered with it.
constexpr double kGatheredSeconds = 0.1;

// What is taken of each reading as the search keeps it: its tracker run
// numbered on from `runs` (those of an earlier search), with `forMap`
// what the damage map shows of it (the map shows the first search's
// readings), and its decision.
KeptReading keeper(Take& take, bool forMap, int runs = 0) {
    return [&take, forMap, runs](FoundBlock& found) {
        found.run += runs;
        if (forMap) noteReading(take, found);
        decideAsKept(take, found);
    };
}

// The blocks of a search, each decided as soon as no reading still to come
// can be of it: a recording whose blocks all went through the ladder holds
// tens of megabytes of their readings' evidence until then.
struct SearchDecisions {
    Take& take;
    TapeGathering gathering;
    std::vector<DecidedBlock> decided;  // in tape order
    std::vector<std::size_t> chosen;    // of each, the reading decided on, by its index in the search
};

// A reading kept later begins no earlier than the search says, but a
// second's margin costs next to nothing.
constexpr double kDecisionMarginSeconds = 1.0;

// Decides the blocks complete before `bound`. A decision made as a reading
// was kept lets go of its testimony once the reading's block is decided:
// the block holds it. Of a take read alone, the block keeps only the blocks
// its readings gave (the second reading through the emphasis weighs those),
// not each bit's evidence, which other takes would weigh.
void decideComplete(SearchDecisions& decisions, std::vector<FoundBlock>& found, double bound) {
    Take& take = decisions.take;
    for (const TapeBlock& block : gatherComplete(decisions.gathering, found, bound)) {
        DecidedBlock& decided = decisions.decided.emplace_back(decideTapeBlock(take.recording, block));
        decisions.chosen.push_back(
            decided.found != nullptr ? static_cast<std::size_t>(decided.found - found.data()) : found.size());
        if (take.alone) {
            std::vector<SignedReading>().swap(decided.testimony.complete);
            std::vector<SignedReading>().swap(decided.testimony.partial);
        }
        for (const FoundBlock* reading : block.found) {
            FoundBlock& kept = found[static_cast<std::size_t>(reading - found.data())];
            if (kept.early) kept.early->testimony = Testimony{};
        }
    }
}

// Searches the take's recording as it is conditioned now, deciding each
// block as the search passes it.
std::vector<DecidedBlock> searchAndDecide(Take& take, SearchResult& search, const KeptReading& kept) {
    SearchDecisions decisions{take, startGathering(take.plain, take.recording.rate), {}, {}};
    const double margin = kDecisionMarginSeconds * take.recording.rate;
    search = searchBlocks(take.recording, kept, [&](std::vector<FoundBlock>& found, double position) {
        decideComplete(decisions, found, position - margin);
    });
    decideComplete(decisions, search.blocks, std::numeric_limits<double>::infinity());
    // The blocks point at their readings where the search holds them now.
    for (std::size_t i = 0; i < decisions.decided.size(); ++i) {
        const std::size_t at = decisions.chosen[i];
        decisions.decided[i].found = at < search.blocks.size() ? &search.blocks[at] : nullptr;
    }
    return std::move(decisions.decided);
}

// A recording's readings hold some 30 bytes a bit: only those of blocks
// decided X keep their bits (the takes may piece those together).
void keepBitsOfFailedBlocks(Take& take) {
    std::vector<const FoundBlock*> failed;
    for (const DecidedBlock& block : take.blocks) {
        if (block.decision.mark == 'X' && block.found != nullptr) failed.push_back(block.found);
    }
    std::sort(failed.begin(), failed.end(), std::less<>());
    for (SearchResult* search : {&take.search, &take.emphasisedSearch}) {
        for (FoundBlock& found : search->blocks) {
            if (!std::binary_search(failed.begin(), failed.end(), &found, std::less<>()))
                std::vector<SoftBit>().swap(found.reading.bits);
        }
    }
}

// The take read once more through the emphasis, its blocks decided again,
// and those of both readings put together. Its tracker runs are numbered on
// from the first reading's, so that each keeps its own lock line. Where it
// gave no block, the take is conditioned as it was: with several takes, a
// block each lost elsewhere is pieced together by reading on in the signal
// its readings were made in.
void readEmphasised(Take& take) {
    Recording& recording = take.recording;
    int runs = 0;
    for (const FoundBlock& found : take.search.blocks) runs = std::max(runs, found.run + 1);
    conditionEmphasised(recording);
    std::vector<DecidedBlock> second =
        searchAndDecide(take, take.emphasisedSearch, keeper(take, false, runs));
    std::size_t taken = 0;
    take.blocks = joinReadings(std::move(take.blocks), std::move(second), taken);
    if (taken > 0) return;
    take.emphasisedSearch = SearchResult{};
    condition(recording, FilterSettings{});
}

}  // namespace

std::vector<Take> listTakes(const char* input) {
    std::vector<Take> takes;
    addTakes(takes, input, true);
    if (const char* other = lookupOption('t')) addTakes(takes, other, false);
    for (std::size_t i = 0; i < takes.size(); ++i) {
        takes[i].name = std::string(1, static_cast<char>('A' + i % 26));
        takes[i].alone = takes.size() == 1;
    }
    return takes;
}

void decideAsKept(Take& take, FoundBlock& found) {
    const BlockReading& reading = found.reading;
    if (!take.alone) return;
    const double reach = kGatheredSeconds * take.recording.rate;
    bool goodNear = false;
    for (const DecodedBlock& plain : take.plain) {
        const double apart = std::fabs(static_cast<double>(plain.syncPositions[1]) - reading.firstSample);
        if (!plain.checksumOk || apart > reach) continue;
        if (plain.bytes != reading.bytes) return;
        goodNear = true;
    }
    found.early = decideBlock(take.recording, reading, found.polarity);
    std::vector<SoftBit>().swap(found.reading.bits);
    // Without a good block of the default decoder's to weigh them against,
    // the readings cut short say nothing more (tape_blocks.cpp).
    if (!goodNear) std::vector<SignedReading>().swap(found.early->testimony.partial);
}

void readTake(Take& take) {
    // The default decoder reads the take first, quietly: every block it
    // reads is a reading of the block here too, so that the rescue decoder
    // never reads less than it. Its samples are gone before the take's
    // floating-point ones take their place.
    take.plain = collectDecodedBlocks(take.path.c_str(), take.channel);
    Recording& recording = take.recording;
    openRecording(take.path.c_str(), take.channel, recording);
    condition(recording, FilterSettings{});
    take.blocks = searchAndDecide(take, take.search, keeper(take, true));
    // Tape signal, and not a block in it: a dull playback head, or a steep
    // low-pass on the way, can leave the short half-waves of the 1 bits so
    // small beside the long ones that no edge shows between them. With them
    // made louder against the long ones (see kEmphasisHz), the take is read
    // once more.
    if (take.search.blocks.empty() && !take.search.blockless.empty()) {
        conditionEmphasised(recording);
        take.blocks = searchAndDecide(take, take.search, keeper(take, true));
    }
    // The bits no longer needed go before a second reading, or the next
    // take, is read.
    if (recording.filter.emphasisHz <= 0 && worthReadingEmphasised(take.blocks)) {
        keepBitsOfFailedBlocks(take);
        readEmphasised(take);
    }
    leaveOutReadingsWithinBlocks(take.blocks);
    take.echoes = takeOutEchoes(recording, take.blocks);
    keepBitsOfFailedBlocks(take);
}
