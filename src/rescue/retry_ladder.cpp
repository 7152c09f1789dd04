#include "rescue/retry_ladder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rescue/best_fit_reading.h"
#include "rescue/cell_tracker.h"
#include "rescue/conditioning.h"
#include "rescue/reading_verdict.h"
#include "rescue/recording.h"

namespace {

// How far past where the first reading found the sync a reading looks for
// it, in T: the three sync bytes take 96T.
constexpr double kSyncSearch = 120;
// Two readings that agree are trusted up to this slip risk each.
constexpr double kAgreeingSlipRisk = 0.05;
// Samples conditioned ahead of a stretch read again, for the filters to settle.
constexpr std::int64_t kWarmUpSamples = 4096;

// The readings, for the report: "két olvasás egyezik: <one> és <other>".
const char* const kFirstReading = "az első";
const char* const kStepNames[kLadderSteps] = {"a szűkebb sávú",
                                              "a szélesebb sávú",
                                              "a lassabb időzítésű",
                                              "a cellák közepére igazított",
                                              "az újramért időzítésű",
                                              "",  // named by stepName
                                              "a szabványos dekóder keresésével kapott"};

const char* stepName(LadderStep step, const BlockReading& first) {
    if (step != kOtherDecision) return kStepNames[step];
    return first.decideOnLength ? "a résátlag szerint döntő" : "a hosszak szerint döntő";
}

std::string format(const char* pattern, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// The bytes that differ between the block as read and as written, the
// first four of them.
std::string changes(const std::vector<std::uint8_t>& read, const std::vector<std::uint8_t>& written) {
    std::string text;
    int shown = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (i < read.size() && read[i] == written[i]) continue;
        if (++shown > 4) {
            text += ", …";
            break;
        }
        const int number = static_cast<int>(i) + 1;
        text += (shown > 1 ? ", " : "") +
                (i < read.size() ? format("a %d. byte %02x helyett %02x", number, read[i], written[i])
                                 : format("a %d. byte %02x (nem volt meg)", number, written[i]));
    }
    return text;
}

// What a block cut short lacks: so many bytes, or, before its length byte,
// an unknown number.
std::string missingBytes(const BlockReading& first) {
    if (first.expectedBytes <= 0) return "a hossza nem derült ki";
    return format("%d byte hiányzik",
                  std::max(0, first.expectedBytes - static_cast<int>(first.bytes.size())));
}

// The stretch a block lies in: some 40 fill bits before its sync, to past its end.
void stretchOf(const Recording& recording, const BlockReading& first, std::int64_t& from, std::int64_t& to) {
    const int bytes = first.expectedBytes > 0 ? first.expectedBytes : 262;
    const double missingBits = std::max(0.0, 8.0 * bytes - static_cast<double>(first.bits.size())) + 16;
    const double count = static_cast<double>(recording.count);
    from = static_cast<std::int64_t>(std::clamp(first.syncStart - 90 * first.half, 0.0, count));
    to = static_cast<std::int64_t>(std::clamp(first.lastSample + missingBits * 6.5 * first.half, 0.0, count));
}

// Adds what a reading says to the testimony; where the signal was gone,
// only where `ofSignal` (the ladder's other readings share the first one's
// view of the signal, and lose their way in a deep dip where it did not).
void testify(Testimony& testimony, const BlockReading& reading, const ReadingVerdict& verdict,
             bool ofSignal) {
    if (verdict.checksumHolds) testimony.holding.push_back(reading.bytes);
    if (sureOfEveryBit(verdict)) testimony.sure.push_back(reading.bytes);
    if (verdict.complete) testimony.read.push_back(reading.bytes);
    if (verdict.complete || !reading.bits.empty()) {
        SignedReading& signedReading =
            (verdict.complete ? testimony.complete : testimony.partial).emplace_back();
        signedReading.slipRisk = verdict.slipRisk;
        signedReading.onLengths = verdict.onLengths;
        signedReading.evidence.reserve(reading.bits.size());  // a take holds thousands: no room to spare
        for (const SoftBit& bit : reading.bits) {
            signedReading.evidence.push_back(bit.bit ? bit.llr : -bit.llr);
            signedReading.onEdges.push_back(bit.timingSure);
            if (!verdict.complete) signedReading.starts.push_back(bit.start);
        }
    }
    if (!ofSignal) return;
    const double gone = signalGoneIn(reading, verdict);
    if (gone >= 0 && (testimony.signalGone < 0 || gone < testimony.signalGone)) testimony.signalGone = gone;
}

}  // namespace

double signalGoneIn(const BlockReading& reading, const ReadingVerdict& verdict) {
    if (verdict.silentBits > 0) return verdict.firstSilence;
    const std::vector<SoftBit>& bits = reading.bits;
    // (The cell at which the tracker counted itself lost gave no bit.)
    const std::size_t last = std::min<std::size_t>(bits.size(), kLostAfterMissedEdges - 1);
    if (reading.end != ReadEnd::signalLost || reading.decideOnLength || last == 0) return -1;
    const bool weak = std::all_of(bits.end() - static_cast<std::ptrdiff_t>(last), bits.end(),
                                  [](const SoftBit& bit) { return bit.llr < kGoneEvidence; });
    return weak ? bits[bits.size() - last].start : -1;
}

std::string whatIsWrong(const Recording& recording, const BlockReading& first,
                        const ReadingVerdict& verdict) {
    switch (first.end) {
        case ReadEnd::unknownType:
            return format("ismeretlen blokktípus (%02x)", first.bytes.empty() ? 0 : first.bytes[0]);
        case ReadEnd::signalLost: {
            char text[120];
            std::snprintf(text, sizeof text, "jelkiesés %.3f másodpercnél, ",
                          secondsIn(recording, first.lastSample));
            return text + missingBytes(first);
        }
        case ReadEnd::nextBlock:
            return "a következő blokk a blokk vége előtt kezdődött, " + missingBytes(first);
        case ReadEnd::recordingEnd:
            return "a felvétel a blokk vége előtt véget ért, " + missingBytes(first);
        case ReadEnd::notRead:
        case ReadEnd::complete:
            break;
    }
    if (verdict.silentBits > 0) {
        char text[120];
        std::snprintf(text, sizeof text, "jelkiesés %.3f másodpercnél, %d bit olvashatatlan",
                      secondsIn(recording, verdict.firstSilence), verdict.silentBits);
        return text;
    }
    if (verdict.checksumHolds) {
        return "az ellenőrző összeg stimmel, de az olvasás nem elég biztos, és más olvasás nem erősítette "
               "meg";
    }
    if (verdict.uncertainBits == 0 && verdict.timingSure) {
        return "hibás ellenőrző összeg, pedig minden bit biztos: a szalagon is hibás lehet";
    }
    return "hibás ellenőrző összeg, és más olvasás sem adott egyező, jó blokkot";
}

bool readAgain(Recording& recording, const BlockReading& first, int polarity, LadderStep step,
               BlockReading& again) {
    std::int64_t from, to;
    stretchOf(recording, first, from, to);
    if (step == kBestFitSearch) return readWithBestFit(recording, first, polarity, from, to, again);
    std::vector<float> local;
    std::int64_t offset = 0;
    CellTracker tracker;
    tracker.polarity = polarity;
    tracker.recording = &recording;
    if (step == kNarrowerBand || step == kWiderBand) {
        // Conditioned afresh from the recording, with a narrower or a wider band.
        FilterSettings settings = recording.filter;
        settings.lowPassHz *= step == kNarrowerBand ? 0.6 : 1.6;
        if (step == kWiderBand) settings.highPassHz /= 2;
        offset = std::max<std::int64_t>(0, from - kWarmUpSamples);
        local = conditionAfresh(recording, settings, offset, to - offset);
        tracker.signal = local.data();
        tracker.count = static_cast<std::int64_t>(local.size());
        tracker.offset = offset;
    } else {
        tracker.signal = recording.signal.get();
        tracker.count = to;
        if (step == kSlowerTiming) tracker.settings = {0.5, 1.0 / 64, 0.5, false};
        if (step == kMiddleAnchors) tracker.settings.anchorOnMiddle = true;
        if (step == kRemeasuredTiming) tracker.settings.anchorGain = 0.7;
    }
    tracker.settings.decideOnLength = first.decideOnLength != (step == kOtherDecision);
    double half = first.half;
    if (step == kRemeasuredTiming) {
        const double measured = estimateHalfWave(recording.signal.get(), from, to, recording.rate);
        if (measured > 0) half = measured;
    }
    if (!startTracker(tracker, from - offset, half, recording.rate)) return false;
    // The cells as the first reading had learned them (scaled to a re-measured T).
    tracker.cell[0] = first.cells[0] * half / first.half;
    tracker.cell[1] = first.cells[1] * half / first.half;
    tracker.measuredCell[0] = tracker.cell[0];
    tracker.measuredCell[1] = tracker.cell[1];
    const double syncAt = first.syncStart - static_cast<double>(offset);
    SyncHunt hunt;
    for (SoftBit bit; nextBit(tracker, bit);) {
        if (bit.start > syncAt + kSyncSearch * half) return false;
        if (!takeSyncBit(hunt, bit)) continue;
        if (std::fabs(hunt.starts[(hunt.bitsSeen - 24) % 24] - syncAt) > 8 * half) continue;
        readBlock(tracker, hunt, recording.rate, again);
        // Back from the stretch's own positions to the recording's.
        const auto shift = static_cast<double>(offset);
        again.syncStart += shift;
        again.firstSample += shift;
        again.lastSample += shift;
        for (SoftBit& cell : again.bits) {
            cell.start += shift;
            cell.end += shift;
        }
        return true;
    }
    return false;
}

bool agreeOnBlock(const BlockReading& first, const ReadingVerdict& verdict,
                  const std::vector<LadderReading>& ladder, BlockDecision& decision) {
    // Two readings that agree on a block whose checksum holds decide it;
    // each must be complete, and the cell tracker's readings sure of their
    // timing and with a slip risk of at most kAgreeingSlipRisk; the best-fit
    // search has no evidence of its own, and only confirms. The readings
    // share the recording's noise, so a slip one of them makes, the others
    // may make too: where any reading gives another block whose checksum
    // holds as well, the readings contradict each other, and nothing is
    // decided. A candidate's extent in the recording is the block's, as that
    // complete reading saw it (the best-fit search, never a candidate, has none).
    struct Candidate {
        std::vector<std::uint8_t> bytes;
        const char* how;
        double firstSample, lastSample;
    };
    std::vector<Candidate> candidates;
    const Candidate firstCandidate = {first.bytes, kFirstReading, first.firstSample, first.lastSample};
    // An end block's check is two equal bytes, and a slip shifts both alike:
    // it passes half the time, not one in 256, and readings of one recording
    // share their slips. There the first reading counts only with sure timing.
    const bool firstCounts = verdict.checksumHolds && (first.kind != BlockKind::end || verdict.timingSure);
    if (firstCounts && verdict.slipRisk <= kAgreeingSlipRisk) candidates.push_back(firstCandidate);
    std::vector<std::vector<std::uint8_t>> holding;  // every block read whose checksum holds
    if (verdict.checksumHolds) holding.push_back(first.bytes);
    BlockDecision agreed;
    std::string agreeingPair;  // the two readings that agree, in words
    for (const auto& [step, again, other] : ladder) {
        if (!other.checksumHolds) continue;
        holding.push_back(again.bytes);
        if (agreed.mark != 'X') continue;
        if (step != kBestFitSearch && (!other.timingSure || other.slipRisk > kAgreeingSlipRisk)) continue;
        const Candidate* agreeing = nullptr;
        for (const Candidate& candidate : candidates) {
            if (candidate.bytes == again.bytes) agreeing = &candidate;
        }
        // The best-fit search confirms the first reading only where that one
        // had signal throughout.
        if (step == kBestFitSearch && firstCounts && verdict.silentBits == 0 && again.bytes == first.bytes) {
            agreeing = &firstCandidate;
        }
        if (agreeing != nullptr) {
            const bool asRead = verdict.checksumHolds && again.bytes == first.bytes;
            agreed = decision;
            agreed.mark = asRead ? 'O' : 'J';
            agreed.kind = again.kind;
            agreed.bytes = again.bytes;
            agreed.firstSample = agreeing->firstSample;
            agreed.lastSample = agreeing->lastSample;
            agreeingPair = std::string(agreeing->how) + " és " + stepName(step, first);
            agreed.what = "két olvasás egyezik: " + agreeingPair;
            if (!asRead) agreed.what += ": " + changes(first.bytes, again.bytes);
            continue;
        }
        if (step != kBestFitSearch)
            candidates.push_back({again.bytes, stepName(step, first), again.firstSample, again.lastSample});
    }
    if (agreed.mark == 'X') return false;
    if (std::none_of(holding.begin(), holding.end(),
                     [&](const auto& bytes) { return bytes != agreed.bytes; })) {
        agreed.testimony = std::move(decision.testimony);
        decision = std::move(agreed);
        return true;
    }
    decision.what = "ellentmondó olvasások: " + agreeingPair +
                    " egyezik, de egy másik olvasás más blokkot adott, szintén jó ellenőrző összeggel";
    return true;
}

BlockDecision decideBlock(Recording& recording, const BlockReading& first, int polarity) {
    BlockDecision decision;
    const ReadingVerdict verdict = judgeReading(first);
    decision.uncertainBits = verdict.uncertainBits;
    decision.kind = first.kind;
    decision.bytes = first.bytes;
    decision.firstSample = first.firstSample;
    decision.lastSample = first.lastSample;
    if (first.expectedBytes > static_cast<int>(decision.bytes.size())) {
        decision.bytes.resize(static_cast<std::size_t>(first.expectedBytes), 0);
    }
    Testimony& testimony = decision.testimony;
    // A reading with no bits of its own (where only the default decoder found
    // the block) leaves what the signal is like to the ladder's readings.
    const bool probe = first.end == ReadEnd::notRead;
    testify(testimony, first, verdict, !probe);
    if (trustedAlone(verdict)) {
        decision.mark = 'O';
        return decision;
    }
    // A block the recording cuts short cannot be read further. (One of no
    // known kind is read again: its type byte may have been misread.)
    if (first.end == ReadEnd::recordingEnd) {
        decision.what = whatIsWrong(recording, first, verdict);
        return decision;
    }

    // The ladder: the block read again in each of its ways.
    std::vector<LadderReading> ladder;
    for (int rung = 0; rung < kLadderSteps; ++rung) {
        LadderReading& again = ladder.emplace_back();
        again.step = static_cast<LadderStep>(rung);
        if (!readAgain(recording, first, polarity, again.step, again.reading)) {
            ladder.pop_back();
            continue;
        }
        again.verdict = judgeReading(again.reading);
        if (again.step != kBestFitSearch) {
            testify(testimony, again.reading, again.verdict, probe);
        } else {
            // (The best-fit search has no evidence of its own: it is never sure.)
            if (again.verdict.complete) testimony.fitted.push_back(again.reading.bytes);
            if (again.verdict.checksumHolds) testimony.holding.push_back(again.reading.bytes);
        }
    }
    if (agreeOnBlock(first, verdict, ladder, decision)) return decision;
    decision.what = whatIsWrong(recording, first, verdict);
    return decision;
}
