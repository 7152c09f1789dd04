#include "rescue/reading_verdict.h"

#include <cmath>

namespace {

// Below this evidence (1 % error) a bit counts as uncertain in the report.
constexpr double kUncertainEvidence = 4.6;

}  // namespace

ReadingVerdict judgeReading(const BlockReading& reading) {
    ReadingVerdict verdict;
    for (const SoftBit& bit : reading.bits) {
        verdict.uncertainBits += bit.llr < kUncertainEvidence;
        verdict.timingSure = verdict.timingSure && bit.timingSure;
        verdict.slipRisk += std::exp(-static_cast<double>(bit.llr));
        if (bit.noSignal && verdict.silentBits++ == 0) verdict.firstSilence = bit.start;
    }
    verdict.onLengths = reading.decideOnLength;
    verdict.complete = reading.end == ReadEnd::complete;
    verdict.checksumHolds =
        verdict.complete && checksumHolds(reading.bytes.data(), reading.expectedBytes - 2);
    return verdict;
}

bool trustedAlone(const ReadingVerdict& verdict) {
    return verdict.checksumHolds && !verdict.onLengths && verdict.timingSure &&
           verdict.slipRisk <= kTrustedSlipRisk;
}

bool sureOfEveryBit(const ReadingVerdict& verdict) {
    return verdict.complete && !verdict.onLengths && verdict.timingSure && verdict.silentBits == 0 &&
           verdict.slipRisk <= kTrustedSlipRisk;
}
