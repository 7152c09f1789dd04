#include "decoder/decoder_state.h"

#include "decoder/block_sink.h"

DecoderState decoderState;
SampleBuffer sampleBuffer;
WavHeader decoderHeader;
BlockSink blockSink;

void resetDecoderState() {
    abandonOutputFile(decoderState.outFile);
    decoderState.outFile.path.clear();
    decoderState.sampleCount = 0;
    decoderState.samplePos = 0;
    decoderState.syncLocked = false;
    decoderState.preambleRunCount = 0;
    decoderState.preambleRunTotal = 0;
    decoderState.idleByteCount = 0;
    decoderState.blockDeadline = 0;
    decoderState.bitCount = 0;
    decoderState.blockBuf.fill(0);
    decoderState.rawOutput = false;
    decoderState.headerlessOutput = false;
    decoderState.fileCounter = 0;
    sampleBuffer.samples.reset();
    decoderHeader = WavHeader{};
    blockSink = BlockSink{};
}

double secondsAt(std::int64_t position) {
    // A header rate of 0 gives no time base; positions then print as 0.
    if (decoderHeader.sampleRate == 0) return 0.0;
    return static_cast<double>(position) / static_cast<double>(decoderHeader.sampleRate);
}
