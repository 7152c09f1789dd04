#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/input_file.h"
#include "formats/wav_layout.h"

// The recording a decoding run reads: its layout, the channel taken from it
// and how far it has been read. A multichannel recording is read as mono
// when -c names one of its channels.
struct WavInput {
    InputStream stream;                // the open input file
    WavLayout layout;                  // header, and where the samples lie
    std::int64_t sampleBytes = 1;      // bytes of one sample: bitsPerSample / 8
    std::int64_t frameBytes = 1;       // bytes from one sample of the channel to the next
    std::int64_t channelOffset = 0;    // bytes from a frame's start to the channel's sample
    bool channelChosen = false;        // -c took one channel of a multichannel recording
    std::int64_t sampleCount = 0;      // whole frames in the data
    std::int64_t samplesRead = 0;      // samples handed out so far
    std::int64_t bytesRead = 0;        // data bytes read so far
    std::vector<std::uint8_t> buffer;  // one block of frames
};

// Samples of one block: count samples, the first at `first`, each `stride`
// bytes after the one before, least significant byte first.
struct SampleBlock {
    const std::uint8_t* first = nullptr;
    std::int64_t count = 0;
    std::int64_t stride = 1;
};

// Which channel of a multichannel recording to read: a number from 1, or
// this for the one -c names.
inline constexpr int kChannelOption = -1;

// Opens the recording as the default decoder does: sets pathBase to the
// path cut at its first '.', then opens it with the channel -c names.
void openWavInput(const char* path, WavInput& input);

// Opens a recording and reads its layout, as one mono recording: channel
// `channel` of a multichannel file (0, or a channel it does not have,
// leaves the file as it is). Refuses (message, status 1) a file that cannot
// be opened or is not, so taken, PCM mono of 8, 16, 24 or 32 bits.
void openWavFile(const std::string& path, int channel, WavInput& input);

// The channels the recording's header names; 0 where it cannot be opened.
int wavChannelCount(const std::string& path);

// The next block of samples; false once all are read. A recording that no
// longer has the length it was measured with stops the program abnormally.
bool nextSampleBlock(WavInput& input, SampleBlock& block);

// Goes back (or forward) to sample `index`; the next block starts there.
void seekSample(WavInput& input, std::int64_t index);

// Closes the input file.
void closeWavInput(WavInput& input);

// The header of the cleaned recording of count 8-bit samples: a canonical
// file's header as read with its width, sizes (and, for one channel of
// several, channel count) set; a walked file gets a canonical header.
WavHeader cleanedWavHeader(const WavInput& input, std::int64_t count);
