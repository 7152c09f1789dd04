#include "decoder/block_framing.h"

#include "common/console.h"
#include "decoder/block_kinds.h"
#include "decoder/block_sink.h"
#include "decoder/decoder_state.h"
#include "decoder/program_files.h"

// Framing by bitCount: 0 while hunting for the first sync byte 0xD3; the bit
// that completes it makes 1, and every bit after adds 1. At the multiples of
// 8 a byte is complete: 8 and 16 are the second and third sync bytes, 24,
// 32, ... 8000 are block bytes 0, 1, ... 997. Block byte 0 is the type byte.

namespace {

constexpr std::uint8_t kSyncByte = 0xD3;
constexpr std::int32_t kLastBlockBit = 8000;  // a block still running past here is dropped

char checksumMark(int n) { return blockChecksumOk(n) ? 'O' : 'X'; }

// With the sink collecting, a completed block of `bytes` bytes is handed to
// it; true then, and the block is neither printed nor written.
bool collected(int bytes) {
    if (!blockSink.collecting) return false;
    DecodedBlock& block = blockSink.current;
    const auto* first = decoderState.blockBuf.data();
    block.bytes.assign(first, first + bytes);
    block.checksumOk = blockChecksumOk(bytes - 2);
    block.lastSample = decoderState.samplePos;
    blockSink.blocks.push_back(block);
    return true;
}

// A block is complete: the register starts afresh and framing hunts again.
void blockDone(std::uint16_t& shiftRegister) {
    shiftRegister = 0;
    decoderState.bitCount = 0;
}

// Name block: type, one byte, length byte n, n name bytes, checksum.
bool nameBlockByte(std::uint16_t& shiftRegister) {
    DecoderState& state = decoderState;
    state.blockDeadline = kNoDeadline;
    const int n = blockLength(state.blockBuf[2]);
    if (state.bitCount - 40 <= 8 * n) return false;
    blockDone(shiftRegister);
    if (!collected(n + 4)) {
        consolePrint(" %c: ", checksumMark(n + 2));
        startNamedProgram(n);
    }
    state.idleByteCount = 0;
    return true;
}

// Data block: type, three bytes, length byte n, n data bytes, checksum.
bool dataBlockByte(std::uint16_t& shiftRegister) {
    DecoderState& state = decoderState;
    state.blockDeadline = kNoDeadline;
    const int n = blockLength(state.blockBuf[4]);
    if (state.bitCount - 56 <= 8 * n) return false;
    blockDone(shiftRegister);
    if (!collected(n + 6)) {
        consolePrint(" %c\n", checksumMark(n + 4));
        storeDataBlock(n);
    }
    state.idleByteCount = 0;
    return true;
}

// The 0xB9 block (type, three bytes, checksum) ends an image's records but
// not the program: its next block must begin within one second.
void b9Block(std::uint16_t& shiftRegister) {
    DecoderState& state = decoderState;
    if (!collected(5)) {
        consolePrint(" %c\n", checksumMark(3));
        storeB9Block();
    }
    blockDone(shiftRegister);
    state.blockDeadline = state.samplePos + static_cast<std::int64_t>(decoderHeader.sampleRate);
    state.idleByteCount = 0;
}

// End block (type, one byte, checksum): the program is complete, and the bit
// decoder goes back to hunting for the next lead-in.
void endBlock(std::uint16_t& shiftRegister) {
    DecoderState& state = decoderState;
    state.blockDeadline = kNoDeadline;
    if (!collected(3)) {
        consolePrint(" %c\n", checksumMark(1));
        finishProgramFile();
    }
    blockDone(shiftRegister);
    state.syncLocked = false;
    state.preambleRunTotal = 0;
    state.preambleRunCount = 0;
    state.idleByteCount = 0;
}

// Called on every block byte; true when the byte completed its block.
bool dispatchBlockByte(std::uint16_t& shiftRegister) {
    const std::int32_t bitCount = decoderState.bitCount;
    switch (blockKindOf(decoderState.blockBuf[0])) {
        case BlockKind::name: return bitCount >= 40 && nameBlockByte(shiftRegister);
        case BlockKind::data: return bitCount >= 56 && dataBlockByte(shiftRegister);
        case BlockKind::b9:
            if (bitCount < 56) return false;
            b9Block(shiftRegister);
            return true;
        case BlockKind::end:
            if (bitCount < 40) return false;
            endBlock(shiftRegister);
            return true;
        case BlockKind::unknown: break;
    }
    return false;
}

}  // namespace

bool blockChecksumOk(int n) { return checksumHolds(decoderState.blockBuf.data(), n); }

void takeBit(std::uint16_t& shiftRegister) {
    DecoderState& state = decoderState;
    const auto byte = static_cast<std::uint8_t>(shiftRegister & 0xFF);
    if (state.bitCount == 0) {
        if (byte == kSyncByte) state.bitCount = 1;
        return;
    }
    if (state.bitCount % 8 != 0) {
        ++state.bitCount;
        return;
    }
    if (state.bitCount == 8 || state.bitCount == 16) {
        if (byte != kSyncByte) {
            shiftRegister = 0;
            state.bitCount = 0;
        } else {
            blockSink.current.syncPositions[state.bitCount / 8 - 1] = state.samplePos;
            if (!blockSink.collecting)
                consolePrint("%02x szinkron byte %.3f másodpercnél\n", byte, secondsAt(state.samplePos));
            ++state.bitCount;
        }
        if (!blockSink.collecting) consoleFlush();
        return;
    }
    if (state.bitCount > kLastBlockBit) {
        // Too long for any block: a damaged length byte or an unknown type.
        shiftRegister = 0;
        state.bitCount = 0;
        state.syncLocked = false;
        state.preambleRunTotal = 0;
        state.preambleRunCount = 0;
        return;
    }
    if (!blockSink.collecting) consolePrint("%02x ", byte);
    state.blockBuf[static_cast<std::size_t>(state.bitCount / 8 - 3)] = byte;
    const bool complete = dispatchBlockByte(shiftRegister);
    if (!blockSink.collecting) consoleFlush();
    if (!complete) ++state.bitCount;
}
