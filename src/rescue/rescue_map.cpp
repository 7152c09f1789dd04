#include "rescue/rescue_map.h"

#include <algorithm>

namespace {

// Bits whose cells give one point of the half-wave: a few dozen milliseconds.
constexpr std::size_t kBitsPerPoint = 64;

// The stretches of a reading's bits that were read where the signal had
// gone, and the half-wave its cells show, a point every kBitsPerPoint bits.
void followReading(const BlockReading& reading, double rate, std::vector<MapSpan>& dropouts,
                   std::vector<MapHalfWave>& halfWave) {
    double gone = -1;
    for (const SoftBit& bit : reading.bits) {
        if (bit.noSignal && gone < 0) gone = bit.start;
        if (!bit.noSignal && gone >= 0) {
            dropouts.push_back({gone / rate, bit.start / rate});
            gone = -1;
        }
    }
    if (gone >= 0) dropouts.push_back({gone / rate, reading.bits.back().end / rate});
    for (std::size_t at = 0; at + kBitsPerPoint <= reading.bits.size(); at += kBitsPerPoint) {
        double halves = 0;
        for (std::size_t k = at; k < at + kBitsPerPoint; ++k) halves += reading.bits[k].bit ? 2 : 6;
        const double span = reading.bits[at + kBitsPerPoint - 1].end - reading.bits[at].start;
        halfWave.push_back({reading.bits[at].start / rate, span / halves / rate * 1e6});
    }
}

}  // namespace

void noteReading(Take& take, const FoundBlock& found) {
    followReading(found.reading, take.recording.rate, take.dropouts, take.halfWave);
}

TapeMap rescueMap(const std::vector<Take>& takes, const MergedTape& tape, const DamageReport& report,
                  std::vector<MapProgram> programs, const std::string& title) {
    TapeMap map;
    const Take& reference = takes[tape.reference];
    map.title = title;
    map.durationSeconds = secondsIn(reference.recording, static_cast<double>(reference.recording.count));
    map.programs = std::move(programs);
    map.summary = summaryLine(report);
    for (const BlocklessStretch& stretch : report.blockless) {
        if (reported(stretch)) map.blockless.push_back({stretch.firstSecond, stretch.lastSecond});
    }
    for (std::size_t t = 0; t < takes.size(); ++t) {
        const Take& take = takes[t];
        const TakeOutcome& outcome = tape.takes[t];
        MapTake& lane = map.takes.emplace_back();
        lane.name = outcome.name;
        lane.fileName = outcome.label;
        lane.matched = outcome.matched;
        const std::vector<float>& envelope = take.recording.envelope;
        lane.level = {envelope.data(), static_cast<std::int64_t>(envelope.size()), kEnvelopeStride, take.recording.rate,
                      outcome.offsetSeconds, outcome.speed};
    }
    // The blocks, with the lines the report gives them (an O block's its place,
    // kind and mark), in the order the report has them.
    std::size_t damaged = 0;
    for (const DecidedBlock& block : tape.blocks) {
        const BlockDecision& decision = block.decision;
        DamageEntry entry = {secondsIn(reference.recording, decision.firstSample),
                             secondsIn(reference.recording, decision.lastSample), blockKindName(decision.kind),
                             decision.mark, decision.what, decision.uncertainBits, block.takes};
        if (decision.mark != 'O' && damaged < report.damage.size()) entry = report.damage[damaged++];
        map.blocks.push_back({{entry.firstSecond, entry.lastSecond}, entry.mark, entry.kind, blockLine(entry), block.takes});
        for (MapTake& lane : map.takes) {
            const bool gave = block.takes.empty() ? decision.mark != 'X'
                                                  : block.takes.find(lane.name) != std::string::npos;
            if (gave && lane.matched) lane.blocksGiven.push_back({entry.firstSecond, entry.lastSecond});
        }
    }
    map.dropouts = reference.dropouts;
    map.halfWave = reference.halfWave;
    std::sort(map.halfWave.begin(), map.halfWave.end(),
              [](const MapHalfWave& a, const MapHalfWave& b) { return a.second < b.second; });
    std::sort(map.dropouts.begin(), map.dropouts.end(),
              [](const MapSpan& a, const MapSpan& b) { return a.firstSecond < b.firstSecond; });
    return map;
}
