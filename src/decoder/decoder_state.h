#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "common/large_array.h"
#include "common/output_file.h"
#include "formats/wav_header.h"

// A sample position that no recording reaches: "no deadline".
inline constexpr std::int64_t kNoDeadline = INT64_MAX;

// The decoder's process-wide state, shared by the sample loader, the bit
// decoder and the block framing. All zero (false, none) at the start.
struct DecoderState {
    std::int64_t sampleCount = 0;  // samples in the SampleBuffer
    std::int64_t samplePos = 0;    // scan position; while decoding bits, the first sample of the current cell
    bool syncLocked = false;       // pulse timing is fixed and bits are being decoded
    std::int64_t preambleRunCount = 0;  // consecutive lead-in polarity changes while hunting; lock above 600
    std::int64_t preambleRunTotal = 0;  // sum of high run lengths from the 101st lead-in change on
    std::int64_t idleByteCount = 0;  // bits, while hunting for 0xD3, whose last eight were no lead-in or fill
    std::int64_t blockDeadline = 0;  // sample position by which the next block must have begun
    std::int32_t bitCount = 0;       // bits taken since the first 0xD3 sync byte; 0 while hunting for it
    std::array<std::uint8_t, 998> blockBuf{};  // the current block from its type byte on
    OutputFile outFile;                        // the output file currently open, if any
    bool rawOutput = false;                    // the open file takes bare data bytes (".ass"), not records
    bool headerlessOutput = false;  // the open file has no image header, so its end writes no length
    std::uint32_t fileCounter = 0;  // running number of output files; the first is 1
};

// The recording, one unsigned byte per sample; above 128 is high, 128 and below low.
struct SampleBuffer {
    LargeArray<std::uint8_t> samples;  // decoderState.sampleCount bytes
};

extern DecoderState decoderState;
extern SampleBuffer sampleBuffer;
extern WavHeader decoderHeader;  // the input's header; its sampleRate is the decoder's time base

// Back to the state of a fresh start; closes an open output file unchecked.
void resetDecoderState();

// A sample position as seconds of the recording, for the console.
double secondsAt(std::int64_t position);
