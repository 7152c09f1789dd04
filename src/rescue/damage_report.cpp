#include "rescue/damage_report.h"

#include <algorithm>
#include <limits>

#include "common/console.h"
#include "rescue/rescue_state.h"

namespace {

// Stretches of signal without a block closer than this are one stretch; and
// one shorter than the other bound is not reported (a burst of noise can
// look like tape signal for a moment; a program's lead-in alone is seconds).
constexpr double kJoinSeconds = 0.25;
constexpr double kShortestReportedSeconds = 0.5;

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

void noteBlock(const BlockDecision& decision) {
    RescueState& state = rescueState;
    if (decision.kind == BlockKind::name) ++state.programs;
    if (decision.mark == 'O') {
        ++state.blocksClean;
        return;
    }
    ++(decision.mark == 'J' ? state.blocksRepaired : state.blocksFailed);
    state.damage.push_back({secondsInRecording(decision.firstSample), secondsInRecording(decision.lastSample),
                            kindName(decision.kind), decision.mark, decision.what, decision.uncertainBits});
}

void noteBlocklessStretch(double from, double to) {
    std::vector<BlocklessStretch>& stretches = rescueState.blockless;
    const double first = secondsInRecording(from), last = secondsInRecording(to);
    if (!stretches.empty() && first - stretches.back().lastSecond <= kJoinSeconds) {
        stretches.back().lastSecond = std::max(stretches.back().lastSecond, last);
        return;
    }
    stretches.push_back({first, last});
}

void printDamageReport() {
    const RescueState& state = rescueState;
    const int blocks = state.blocksClean + state.blocksRepaired + state.blocksFailed;
    consolePrint("\nSérülésjelentés:\n");
    if (blocks == 0) {
        consolePrint("  nem találtam blokkot\n");
    } else if (state.damage.empty()) {
        consolePrint("  minden blokk hibátlan\n");
    }
    // Blocks and blockless stretches, in the order of the recording.
    std::size_t stretch = 0;
    auto printStretchesBefore = [&](double second) {
        for (; stretch < state.blockless.size() && state.blockless[stretch].firstSecond < second; ++stretch) {
            const BlocklessStretch& s = state.blockless[stretch];
            if (s.lastSecond - s.firstSecond < kShortestReportedSeconds) continue;
            consolePrint("  %.3f-%.3f mp  szalagjel, de blokkot nem találtam benne\n", s.firstSecond,
                         s.lastSecond);
        }
    };
    for (const DamageEntry& entry : state.damage) {
        printStretchesBefore(entry.firstSecond);
        consolePrint("  %.3f-%.3f mp  %s  %c  %s; bizonytalan bit: %d\n", entry.firstSecond, entry.lastSecond,
                     entry.kind.c_str(), entry.mark, entry.what.c_str(), entry.uncertainBits);
    }
    printStretchesBefore(std::numeric_limits<double>::infinity());
    consolePrint("Összesen %d program, %d blokk: %d O, %d J, %d X\n", state.programs, blocks, state.blocksClean,
                 state.blocksRepaired, state.blocksFailed);
    consoleFlush();
}
