#pragma once

#include <cstdint>

#include "rescue/block_reader.h"
#include "rescue/recording.h"

// One more reading for the retry ladder, as different from the cell tracker
// as can be: the default decoder's own best-fit search, cell after cell, on
// the stretch of conditioned signal reduced to 8-bit samples around 128 and
// cleaned of one- and two-sample notches, with the separator 2T and the
// polarity the tracker found. Its bits carry no evidence: it can only
// confirm a content that another reading found. True when it finds a sync
// where the first reading found one, and the block after it.
bool readWithBestFit(const Recording& recording, const BlockReading& first, int polarity, std::int64_t from,
                     std::int64_t to, BlockReading& again);
