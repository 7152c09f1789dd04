#include "decoder/wav_input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/option_table.h"
#include "common/console.h"
#include "common/file_position.h"
#include "common/messages.h"
#include "common/path_base.h"

namespace {

// Frames are read in blocks of about this many bytes, always whole frames.
constexpr std::int64_t kReadBlockBytes = 12 * 65536;

// The recording changed under us while it was read: the file no longer has the
// length it was measured with. Nothing sensible can be decoded.
[[noreturn]] void consistencyStop(const WavInput& input, std::int64_t position) {
    std::fprintf(stderr, "%lld %lld %lld\n", static_cast<long long>(input.layout.dataOffset),
                 static_cast<long long>(input.sampleCount), static_cast<long long>(position));
    std::abort();
}

// Channel `wanted` (from 1) of a recording with two or more channels, or
// for kChannelOption the one -c N names; any other value, or a mono
// recording, leaves the file as it is (0).
int chosenChannel(const WavHeader& header, int wanted) {
    if (header.channelCount < 2) return 0;
    std::int64_t channel = wanted;
    if (wanted == kChannelOption) {
        const char* option = lookupOption('c');
        if (option == nullptr) return 0;
        channel = optionNumber(option);
    }
    return channel >= 1 && channel <= header.channelCount ? static_cast<int>(channel) : 0;
}

// Opens the file and reads its layout; false when it cannot be opened.
bool openLayout(const std::string& path, WavInput& input) {
    input.stream = openInputFile(path);
    if (!input.stream) return false;
    std::int64_t length = 0;
    if (seekFile(input.stream.get(), 0, SEEK_END))
        length = std::max<std::int64_t>(0, tellFile(input.stream.get()));
    input.layout = readWavLayout(input.stream.get(), length);
    return true;
}

}  // namespace

void openWavInput(const char* path, WavInput& input) {
    setPathBase(path);
    openWavFile(path, kChannelOption, input);
}

int wavChannelCount(const std::string& path) {
    WavInput input;
    return openLayout(path, input) ? input.layout.header.channelCount : 0;
}

void openWavFile(const std::string& path, int wanted, WavInput& input) {
    if (!openLayout(path, input)) reportFailure(kOpenFailedMessage, path.c_str());
    WavHeader tested = input.layout.header;
    const int channel = chosenChannel(tested, wanted);
    input.channelChosen = channel != 0;
    if (input.channelChosen) tested.channelCount = 1;  // taken as the mono recording it holds
    if (!wavHeaderAccepted(tested)) {
        input.stream.reset();
        reportFailure("A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
    }
    input.sampleBytes = tested.bitsPerSample / 8;
    input.frameBytes = input.sampleBytes * (input.channelChosen ? input.layout.header.channelCount : 1);
    input.channelOffset = input.channelChosen ? (channel - 1) * input.sampleBytes : 0;
    input.sampleCount = input.layout.dataBytes / input.frameBytes;
    input.samplesRead = 0;
    input.bytesRead = 0;
    input.buffer.resize(static_cast<std::size_t>(
        std::max<std::int64_t>(1, kReadBlockBytes / input.frameBytes) * input.frameBytes));
    seekFile(input.stream.get(), input.layout.dataOffset, SEEK_SET);
}

bool nextSampleBlock(WavInput& input, SampleBlock& block) {
    // A walked file's samples end with its data chunk; a canonical file's
    // run to the end of the file.
    std::int64_t wanted = static_cast<std::int64_t>(input.buffer.size());
    if (input.layout.walked)
        wanted = std::min(wanted, input.sampleCount * input.frameBytes - input.bytesRead);
    std::int64_t got = 0;
    if (wanted > 0) {
        got = static_cast<std::int64_t>(
            std::fread(input.buffer.data(), 1, static_cast<std::size_t>(wanted), input.stream.get()));
    }
    const std::int64_t whole = got / input.frameBytes;
    if (whole > input.sampleCount - input.samplesRead) {
        consistencyStop(input, input.layout.dataOffset + (input.sampleCount + 1) * input.frameBytes);
    }
    input.bytesRead += got;
    input.samplesRead += whole;
    if (got < wanted && input.samplesRead != input.sampleCount) {
        consistencyStop(input, input.layout.dataOffset + input.bytesRead);
    }
    block = {input.buffer.data() + input.channelOffset, whole, input.frameBytes};
    return whole > 0;
}

void seekSample(WavInput& input, std::int64_t index) {
    index = std::clamp<std::int64_t>(index, 0, input.sampleCount);
    input.samplesRead = index;
    input.bytesRead = index * input.frameBytes;
    seekFile(input.stream.get(), input.layout.dataOffset + input.bytesRead, SEEK_SET);
}

void closeWavInput(WavInput& input) { input.stream.reset(); }

WavHeader cleanedWavHeader(const WavInput& input, std::int64_t count) {
    WavHeader header =
        input.layout.walked ? makePcmHeader(input.layout.header.sampleRate, 8) : input.layout.header;
    if (input.channelChosen) header.channelCount = 1;
    header.riffSize = headerSizeField(count + 36);
    header.bitsPerSample = 8;
    header.blockAlign = 1;
    header.byteRate = header.sampleRate;
    header.dataSize = headerSizeField(count);
    return header;
}
