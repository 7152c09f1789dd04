#pragma once

// One simulated recording of a worn cassette, everything drawn from its
// seed: a set of 1 to 3 random programs, the encoding (rate, shape), the
// severity class (unless given) and the damage; encoded by kazettor in this
// process and played back through the cassette chain.

#include <cstdint>
#include <optional>
#include <string>

#include "support/file_bytes.h"
#include "worn_params.h"
#include "worn_truth.h"

struct Recording {
    Severity severity = Severity::none;
    Truth truth;
    Bytes wav;
    double seconds = 0;        // the recording's length
    double makingSeconds = 0;  // the processor time the encoding and the chain took
};

// `work`: a directory for the encoder's files (a path without '.').
Recording makeRecording(std::uint32_t seed, std::optional<Severity> severity, const std::string& work);
