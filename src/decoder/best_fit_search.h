#pragma once

#include <cstdint>

// The half-period, in samples, that best explains the bit cell beginning at
// position: a cell is two half-periods of opposite level, high first when
// highFirst is set. Candidates run from max(1, separator / 2) to
// 3 × separator - 1; a candidate i is scored by the samples that lie on the
// wrong level, leaving out the band 0.8 i <= k <= 1.2 i around the expected
// mid-cell change. Samples of exactly 128, and offsets past the last sample,
// never count. The lowest score wins; on equal scores the longer candidate.
// separator must be at least 1.
std::int64_t bestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                         std::int64_t separator, bool highFirst);
