#include "rescue/retry_ladder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rescue/cell_tracker.h"
#include "rescue/conditioning.h"
#include "rescue/rescue_state.h"
#include "rescue/soft_repair.h"

namespace {

// Two readings that agree are trusted from this margin on, each.
constexpr double kAgreeMargin = 6.0;
// Samples conditioned ahead of a stretch read again, for the filters to settle.
constexpr std::int64_t kWarmUpSamples = 4096;

const char* const kStepNames[kLadderSteps] = {"szűkebb sávval", "szélesebb sávval", "lassabb időzítéssel",
                                              "a cellák közepére igazítva", "újramért időzítéssel"};

std::string format(const char* pattern, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// The bytes that differ between the block as read and as written.
std::string changes(const std::vector<std::uint8_t>& read, const std::vector<std::uint8_t>& written) {
    std::string text;
    int shown = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const int before = i < read.size() ? read[i] : -1;
        if (before == written[i]) continue;
        if (++shown > 4) {
            text += ", …";
            break;
        }
        text += (shown > 1 ? ", " : "") + format("a %d. byte %02x helyett %02x", static_cast<int>(i), before, written[i]);
    }
    return text;
}

std::string whatIsWrong(const BlockReading& first, const ReadingVerdict& verdict) {
    const int missing = std::max(0, first.expectedBytes - static_cast<int>(first.bytes.size()));
    switch (first.end) {
        case ReadEnd::unknownType: return format("ismeretlen blokktípus (%02x)", first.bytes.empty() ? 0 : first.bytes[0]);
        case ReadEnd::signalLost: {
            char text[120];
            std::snprintf(text, sizeof text, "jelkiesés %.3f másodpercnél, %d byte hiányzik",
                          rescueState.rate > 0 ? first.lastSample / rescueState.rate : 0.0, missing);
            return text;
        }
        case ReadEnd::nextBlock: return format("a következő blokk a blokk vége előtt kezdődött, %d byte hiányzik", missing);
        case ReadEnd::recordingEnd: return format("a felvétel a blokk vége előtt véget ért, %d byte hiányzik", missing);
        case ReadEnd::complete: break;
    }
    if (!verdict.structureSure) return "a típus- vagy a hosszbyte bizonytalan";
    if (!verdict.timingSure) return "az időzítés megbicsaklott: bit veszhetett el vagy kerülhetett be";
    if (verdict.found && verdict.flips.empty()) {
        return "az ellenőrző összeg stimmel, de más tartalom is majdnem ugyanolyan valószínű";
    }
    if (verdict.found) return "egy javítás kínálkozik, de nem elég biztos";
    if (verdict.uncertainBits == 0) return "hibás ellenőrző összeg, pedig minden bit biztos: a szalagon is hibás lehet";
    return "hibás ellenőrző összeg, biztos javítás nincs";
}

// The stretch a block lies in: some 40 fill bits before its sync, to past its end.
void stretchOf(const BlockReading& first, std::int64_t& from, std::int64_t& to) {
    const int bytes = first.expectedBytes > 0 ? first.expectedBytes : 262;
    const double missingBits = std::max(0.0, 8.0 * bytes - static_cast<double>(first.bits.size())) + 16;
    const double count = static_cast<double>(rescueState.signal.size());
    from = static_cast<std::int64_t>(std::clamp(first.syncStart - 90 * first.half, 0.0, count));
    to = static_cast<std::int64_t>(std::clamp(first.lastSample + missingBits * 6.5 * first.half, 0.0, count));
}

}  // namespace

bool readAgain(const BlockReading& first, int polarity, int step, BlockReading& again) {
    const RescueState& state = rescueState;
    std::int64_t from, to;
    stretchOf(first, from, to);
    std::vector<float> local;
    std::int64_t offset = 0;
    CellTracker tracker;
    tracker.polarity = polarity;
    if (step <= 1) {
        // Conditioned afresh from the recording, with a narrower or a wider band.
        FilterSettings settings = state.filter;
        settings.lowPassHz *= step == 0 ? 0.6 : 1.6;
        if (step == 1) settings.highPassHz /= 2;
        offset = std::max<std::int64_t>(0, from - kWarmUpSamples);
        const std::vector<float> raw = readRawSamples(offset, to - offset);
        local.resize(raw.size());
        SignalFilter filter = makeSignalFilter(settings, state.rate);
        filterSamples(filter, raw.data(), static_cast<std::int64_t>(raw.size()), local.data());
        tracker.signal = local.data();
        tracker.count = static_cast<std::int64_t>(local.size());
    } else {
        tracker.signal = state.signal.data();
        tracker.count = to;
        if (step == 2) tracker.settings = {0.5, 1.0 / 64, 0.5, false};
        if (step == 3) tracker.settings.anchorOnMiddle = true;
        if (step == 4) tracker.settings.anchorGain = 0.7;
    }
    double half = first.half;
    if (step == 4) {
        const double measured = estimateHalfWave(state.signal.data(), from, to, state.rate);
        if (measured > 0) half = measured;
    }
    if (!startTracker(tracker, from - offset, half, state.rate)) return false;
    const double syncAt = first.syncStart - static_cast<double>(offset);
    SyncHunt hunt;
    for (SoftBit bit; nextBit(tracker, bit);) {
        if (bit.start > syncAt + 40 * half) return false;
        if (!takeSyncBit(hunt, bit)) continue;
        if (std::fabs(hunt.starts[(hunt.bitsSeen - 24) % 24] - syncAt) > 8 * half) continue;
        readBlock(tracker, hunt, state.rate, again);
        return true;
    }
    return false;
}

BlockDecision decideBlock(const BlockReading& first, int polarity) {
    if (getenv("KTRACE") && std::fabs(first.syncStart / rescueState.rate - atof(getenv("KTRACE"))) < 0.5) {
        for (std::size_t i = 0; i < first.bits.size(); ++i) {
            if (i % 8 == 0) fprintf(stderr, "\n%zu %02x: ", i / 8, first.bytes[i / 8]);
            fprintf(stderr, "%d(%.0f%s%s %.1f) ", first.bits[i].bit, first.bits[i].llr, first.bits[i].edgeFound ? "" : "!", first.bits[i].timingSure ? "" : "?", first.bits[i].end - first.bits[i].start);
        }
        fprintf(stderr, "\n");
    }
    BlockDecision decision;
    const ReadingVerdict verdict = judgeReading(first);
    decision.uncertainBits = verdict.uncertainBits;
    decision.bytes = first.bytes;
    if (first.expectedBytes > static_cast<int>(decision.bytes.size())) {
        decision.bytes.resize(static_cast<std::size_t>(first.expectedBytes), 0);
    }
    const bool usable = first.end == ReadEnd::complete && verdict.found && verdict.structureSure && verdict.timingSure;
    if (usable && verdict.margin >= kTrustMargin) {
        if (verdict.flips.empty()) {
            decision.mark = 'O';
            return decision;
        }
        decision.mark = 'J';
        decision.bytes = correctedBytes(first, verdict);
        decision.what = format("%d bit javítva: ", static_cast<int>(verdict.flips.size())) +
                        changes(first.bytes, decision.bytes);
        return decision;
    }

    // The ladder: the block read again in other ways, until two readings agree.
    struct Candidate {
        std::vector<std::uint8_t> bytes;
        const char* how;
    };
    std::vector<Candidate> candidates;
    if (usable && verdict.margin >= kAgreeMargin) candidates.push_back({correctedBytes(first, verdict), "elsőre"});
    for (int step = 0; step < kLadderSteps; ++step) {
        BlockReading again;
        if (!readAgain(first, polarity, step, again)) continue;
        const ReadingVerdict other = judgeReading(again);
        if (again.end != ReadEnd::complete || !other.found || !other.structureSure || !other.timingSure ||
            other.margin < kAgreeMargin) {
            continue;
        }
        const std::vector<std::uint8_t> bytes = correctedBytes(again, other);
        for (const Candidate& candidate : candidates) {
            if (candidate.bytes != bytes) continue;
            const bool asRead = first.end == ReadEnd::complete && verdict.found && verdict.flips.empty() &&
                                bytes == first.bytes;
            decision.mark = asRead ? 'O' : 'J';
            decision.bytes = bytes;
            decision.what = std::string("két olvasat egyezik (") + candidate.how + " és " + kStepNames[step] + ")";
            if (!asRead) decision.what += ": " + changes(first.bytes, bytes);
            return decision;
        }
        candidates.push_back({bytes, kStepNames[step]});
    }
    decision.what = whatIsWrong(first, verdict);
    if (getenv("KDEBUG")) {
        for (std::size_t i = 0; i < first.bits.size(); ++i) {
            if (i % 8 == 0) fprintf(stderr, "\n%zu %02x: ", i / 8, first.bytes[i / 8]);
            fprintf(stderr, "%d(%.0f%s %.1f) ", first.bits[i].bit, first.bits[i].llr, first.bits[i].edgeFound ? "" : "!", first.bits[i].end - first.bits[i].start);
        }
        fprintf(stderr, "\n");
    }
    return decision;
}
