#include "rescue/damage_report.h"

#include "common/console.h"
#include "rescue/rescue_state.h"

namespace {

const char* kindName(BlockKind kind) {
    switch (kind) {
        case BlockKind::name:
            return "névblokk";
        case BlockKind::data:
            return "adatblokk";
        case BlockKind::b9:
            return "B9-blokk";
        case BlockKind::end:
            return "záróblokk";
        case BlockKind::unknown:
            break;
    }
    return "ismeretlen blokk";
}

}  // namespace

void noteBlock(const BlockReading& reading, const BlockDecision& decision) {
    RescueState& state = rescueState;
    if (reading.kind == BlockKind::name) ++state.programs;
    if (decision.mark == 'O') {
        ++state.blocksClean;
        return;
    }
    ++(decision.mark == 'J' ? state.blocksRepaired : state.blocksFailed);
    state.damage.push_back({secondsInRecording(reading.firstSample), secondsInRecording(reading.lastSample),
                            kindName(reading.kind), decision.mark, decision.what, decision.uncertainBits});
}

void printDamageReport() {
    const RescueState& state = rescueState;
    consolePrint("\nSérülésjelentés:\n");
    if (state.damage.empty()) consolePrint("  minden blokk hibátlan\n");
    for (const DamageEntry& entry : state.damage) {
        consolePrint("  %.3f-%.3f mp  %s  %c  %s; bizonytalan bit: %d\n", entry.firstSecond, entry.lastSecond,
                     entry.kind.c_str(), entry.mark, entry.what.c_str(), entry.uncertainBits);
    }
    consolePrint("Összesen %d program, %d blokk: %d O, %d J, %d X\n", state.programs,
                 state.blocksClean + state.blocksRepaired + state.blocksFailed, state.blocksClean,
                 state.blocksRepaired, state.blocksFailed);
    consoleFlush();
}
