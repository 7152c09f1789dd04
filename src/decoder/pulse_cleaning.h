#pragma once

#include <cstdint>

// Smooths away, in place, every notch of one sample (pass A) and then of two
// samples (pass B) that points toward the zero line between two samples on
// the same side of it, so that noise does not cut the pulse runs short.
//
// Each pass is defined as sweeps over all windows from left to right,
// repeated until a sweep changes nothing. This computes exactly the same
// result with work proportional to the recording plus the changes made.
void cleanPulses(std::uint8_t* samples, std::int64_t count);
