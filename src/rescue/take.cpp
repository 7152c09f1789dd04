#include "rescue/take.h"

#include "cli/option_table.h"
#include "decoder/bit_decoder.h"
#include "decoder/wav_input.h"
#include "rescue/noise_floor.h"
#include "rescue/rescue_map.h"

namespace {

// Where a recording gave no block, it is read again through a two-pole
// high-pass at this frequency, between the 0 bits' fundamental (534 Hz on a
// standard tape) and the 1 bits' (1602 Hz): the first falls by 11 dB, the
// second by less than 1, so the 1 bits come out 10 dB louder against the 0
// bits than they were.
constexpr double kEmphasisHz = 1000;

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

}  // namespace

std::vector<Take> listTakes(const char* input) {
    std::vector<Take> takes;
    addTakes(takes, input, true);
    if (const char* other = lookupOption('t')) addTakes(takes, other, false);
    for (std::size_t i = 0; i < takes.size(); ++i) takes[i].name = std::string(1, static_cast<char>('A' + i % 26));
    return takes;
}

void readTake(Take& take) {
    // The default decoder reads the take first, quietly: every block it
    // reads is a reading of the block here too, so that the rescue decoder
    // never reads less than it. Its samples are gone before the take's
    // floating-point ones take their place.
    take.plain = collectDecodedBlocks(take.path.c_str(), take.channel);
    Recording& recording = take.recording;
    openRecording(take.path.c_str(), take.channel, recording);
    conditionRecording(recording, FilterSettings{});
    measureNoiseFloor(recording);
    take.search = searchBlocks(recording);
    // Tape signal, and not a block in it: a dull playback head, or a steep
    // low-pass on the way, can leave the short half-waves of the 1 bits so
    // small beside the long ones that no edge shows between them. With them
    // made louder against the long ones, the take is read once more.
    if (take.search.blocks.empty() && !take.search.blockless.empty()) {
        FilterSettings emphasised;
        emphasised.emphasisHz = kEmphasisHz;
        conditionRecording(recording, emphasised);
        measureNoiseFloor(recording);
        take.search = searchBlocks(recording);
    }
    for (const TapeBlock& block : gatherTapeBlocks(take.search, take.plain, recording.rate))
        take.blocks.push_back(decideTapeBlock(recording, block));
    leaveOutReadingsWithinBlocks(take.blocks);
    take.echoes = takeOutEchoes(recording, take.blocks);
    noteReadings(take);
    // A recording's readings hold some 30 bytes a bit: those no longer
    // needed go before the next take is read.
    std::vector<bool> failed(take.search.blocks.size(), false);
    for (const DecidedBlock& block : take.blocks) {
        if (block.decision.mark == 'X' && block.found != nullptr)
            failed[static_cast<std::size_t>(block.found - take.search.blocks.data())] = true;
    }
    for (std::size_t i = 0; i < failed.size(); ++i) {
        if (!failed[i]) std::vector<SoftBit>().swap(take.search.blocks[i].reading.bits);
    }
}
