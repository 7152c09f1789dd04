#include "rescue/block_writer.h"

#include <algorithm>

#include "common/console.h"
#include "decoder/decoder_state.h"
#include "decoder/program_files.h"

namespace {

void printLockLine(const Recording& recording, const LockLine& lock) {
    consolePrint("\nProgram szinkron %.3f másodpercnél %d mikromásodperces elválasztóval és %s jellel\n",
                 secondsIn(recording, lock.position), lock.microseconds, lock.highFirst ? "magas" : "alacsony");
}

// Prints the block's lines and writes it into the program's file, as the
// default decoder does with a block it has read.
void storeBlock(const DecidedBlock& block) {
    const BlockDecision& decision = block.decision;
    for (double at : block.syncSeconds) consolePrint("%02x szinkron byte %.3f másodpercnél\n", 0xD3, at);
    for (std::uint8_t byte : decision.bytes) consolePrint("%02x ", byte);
    DecoderState& state = decoderState;
    std::copy(decision.bytes.begin(), decision.bytes.end(), state.blockBuf.begin());
    // The block as decided: a repair may have completed a block that the
    // first reading lost before its length byte, or misread its type byte.
    const BlockKind kind = decision.kind;
    const int lengthAt = lengthByteIndex(kind);
    const bool lengthKnown = lengthAt < 0 || static_cast<int>(decision.bytes.size()) > lengthAt;
    const int n =
        lengthAt >= 0 && lengthKnown ? blockLength(decision.bytes[static_cast<std::size_t>(lengthAt)]) : 0;
    if (kind == BlockKind::name && lengthKnown) {
        consolePrint(" %c: ", decision.mark);
        startNamedProgram(n);
    } else {
        consolePrint(" %c\n", decision.mark);
        if (kind == BlockKind::data && lengthKnown) storeDataBlock(n);
        if (kind == BlockKind::b9) storeB9Block();
        if (kind == BlockKind::end) finishProgramFile();
    }
    consoleFlush();
}

// The file name of a path, without its directory.
std::string fileNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Follows the programs as the blocks are written: a name block starts one
// (with the file it opened), so does a data block that opened a file of its
// own; every block stretches the one it went into, and an end block ends it.
void notePrograms(const BlockDecision& decision, const Recording& recording, std::vector<MapProgram>& programs,
                  bool& open) {
    const double first = secondsIn(recording, decision.firstSample), last = secondsIn(recording, decision.lastSample);
    const DecoderState& state = decoderState;
    const int lengthAt = lengthByteIndex(decision.kind);
    const bool lengthKnown = lengthAt < 0 || static_cast<int>(decision.bytes.size()) > lengthAt;
    if (decision.kind == BlockKind::name && lengthKnown) {
        const int n = blockLength(decision.bytes[static_cast<std::size_t>(lengthAt)]);
        const std::string path = programFilePath(state.fileCounter, decision.bytes.data() + 3,
                                                 static_cast<std::size_t>(n), decision.bytes[0] == kRawProgramType);
        programs.push_back({{first, last}, fileNameOf(path)});
        open = true;
    } else if (!open && outputIsOpen(state.outFile)) {
        programs.push_back({{first, last}, fileNameOf(state.outFile.path)});
        open = true;
    }
    if (open) programs.back().span.lastSecond = last;
    if (decision.kind == BlockKind::end) open = false;
}

}  // namespace

void writeTapeBlocks(const Recording& recording, const std::vector<DecidedBlock>& blocks,
                     const std::vector<double>& restarts, DamageReport& report, std::vector<MapProgram>& programs) {
    bool programOpen = false;
    std::vector<double> pending = restarts;
    std::sort(pending.begin(), pending.end());
    auto restart = pending.begin();
    int lastRun = -1;
    bool programStart = true;  // the next block starts a program (as far as the readings tell)
    for (const DecidedBlock& block : blocks) {
        const BlockDecision& decision = block.decision;
        for (; restart != pending.end() && *restart <= decision.firstSample; ++restart) {
            consolePrint("Újraindulás %.3f másodpercnél\n", secondsIn(recording, *restart));
            programStart = true;
        }
        // A tracker run reads one program or more from its lock; a block that
        // only the default decoder read shows its lock where a program starts.
        if (block.run >= 0 ? block.run != lastRun : programStart) printLockLine(recording, block.lock);
        if (block.run >= 0) lastRun = block.run;
        storeBlock(block);
        notePrograms(decision, recording, programs, programOpen);
        noteBlock(report, decision, secondsIn(recording, decision.firstSample),
                  secondsIn(recording, decision.lastSample), block.takes);
        programStart = decision.kind == BlockKind::end;
    }
    for (; restart != pending.end(); ++restart)
        consolePrint("Újraindulás %.3f másodpercnél\n", secondsIn(recording, *restart));
}
