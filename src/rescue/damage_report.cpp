#include "rescue/damage_report.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/console.h"

namespace {

// Stretches of signal without a block closer than this are one stretch; and
// one shorter than the other bound is not reported (a burst of noise can
// look like tape signal for a moment; a program's lead-in alone is seconds).
constexpr double kJoinSeconds = 0.25;
constexpr double kShortestReportedSeconds = 0.5;

}  // namespace

const char* blockKindName(BlockKind kind) {
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

void noteBlock(DamageReport& report, const BlockDecision& decision, double firstSecond, double lastSecond,
               const std::string& takes) {
    if (decision.kind == BlockKind::name) ++report.programs;
    if (decision.mark == 'O') {
        ++report.clean;
        return;
    }
    ++(decision.mark == 'J' ? report.repaired : report.failed);
    report.damage.push_back({firstSecond, lastSecond, blockKindName(decision.kind), decision.mark, decision.what,
                             decision.uncertainBits, takes});
}

void noteBlocklessStretch(DamageReport& report, double firstSecond, double lastSecond) {
    std::vector<BlocklessStretch>& stretches = report.blockless;
    if (!stretches.empty() && firstSecond - stretches.back().lastSecond <= kJoinSeconds) {
        stretches.back().lastSecond = std::max(stretches.back().lastSecond, lastSecond);
        return;
    }
    stretches.push_back({firstSecond, lastSecond});
}

void printDamageReport(const DamageReport& report) {
    const int blocks = report.clean + report.repaired + report.failed;
    consolePrint("\nSérülésjelentés:\n");
    if (blocks == 0) {
        consolePrint("  nem találtam blokkot\n");
    } else if (report.damage.empty()) {
        consolePrint("  minden blokk hibátlan\n");
    }
    // Blocks, blockless stretches and echoes, in the order of the recording.
    std::size_t stretch = 0, echo = 0;
    auto printStretchesBefore = [&](double second) {
        for (;;) {
            const bool stretchNext = stretch < report.blockless.size() && report.blockless[stretch].firstSecond < second;
            const bool echoNext = echo < report.echoes.size() && report.echoes[echo].firstSecond < second;
            if (echoNext && (!stretchNext || report.echoes[echo].firstSecond < report.blockless[stretch].firstSecond)) {
                const Echo& e = report.echoes[echo++];
                consolePrint("  %.3f-%.3f mp  a(z) %.3f mp-nél kezdődő blokk gyenge másolata a szalag szomszédos "
                             "menetéről (átmásolódás): kihagytam\n",
                             e.firstSecond, e.lastSecond, e.sourceSecond);
            } else if (stretchNext) {
                const BlocklessStretch& s = report.blockless[stretch++];
                if (!reported(s)) continue;
                consolePrint("  %.3f-%.3f mp  szalagjel, de blokkot nem találtam benne\n", s.firstSecond,
                             s.lastSecond);
            } else {
                return;
            }
        }
    };
    for (const DamageEntry& entry : report.damage) {
        printStretchesBefore(entry.firstSecond);
        consolePrint("  %s\n", blockLine(entry).c_str());
    }
    printStretchesBefore(std::numeric_limits<double>::infinity());
    consolePrint("%s\n", summaryLine(report).c_str());
    for (const std::string& line : report.humLines) consolePrint("%s\n", line.c_str());
    for (const std::string& line : report.takeLines) consolePrint("%s\n", line.c_str());
    consoleFlush();
}

std::string blockLine(const DamageEntry& entry) {
    char text[128];
    std::snprintf(text, sizeof text, "%.3f-%.3f mp  %s  %c", entry.firstSecond, entry.lastSecond, entry.kind.c_str(),
                  entry.mark);
    std::string line = text;
    if (entry.mark != 'O') line += "  " + entry.what + "; bizonytalan bit: " + std::to_string(entry.uncertainBits);
    if (!entry.takes.empty()) line += "; felvétel: " + entry.takes;
    return line;
}

std::string summaryLine(const DamageReport& report) {
    char text[128];
    std::snprintf(text, sizeof text, "Összesen %d program, %d blokk: %d O, %d J, %d X", report.programs,
                  report.clean + report.repaired + report.failed, report.clean, report.repaired, report.failed);
    return text;
}

bool reported(const BlocklessStretch& stretch) {
    return stretch.lastSecond - stretch.firstSecond >= kShortestReportedSeconds;
}
