#pragma once

// What a worn cassette and the deck that plays it do to a recording, drawn
// at random for each recording: every effect is switched on with a
// probability and its parameters drawn from the part of its range that the
// recording's severity class takes.

#include <string>
#include <vector>

#include "sim_layout.h"
#include "sim_random.h"

enum class Severity { none, mild, moderate, severe };

// "none", "mild", "moderate", "severe"; false for another word.
bool severityNamed(const std::string& name, Severity& severity);
const char* severityName(Severity severity);

struct Dropout {
    std::int64_t at = 0;  // first sample, in the encoder's recording (the tape)
    double ms = 0;        // length
    double depthDb = 0;   // how far the level falls
    std::string within;   // the block it falls in ("P1 data 3"), or empty
};

struct WornParams {
    Severity severity = Severity::none;
    // The tape's signal, before the deck.
    double duty = 0;             // a high half-wave lasts 1 + duty of its length, a low one 1 - duty
    double drive = 0, bias = 0;  // saturation: tanh(drive (x + bias)); 0: off
    double printBeforeDb = 0, printAfterDb = 0, printSeconds = 0;  // print-through; 0 dB: off
    std::vector<Dropout> dropouts;
    // The deck's transport.
    double speed = 0;                                                            // relative error
    double wowHz = 0, wowDepth = 0, wowSecond = 0, wowPhase = 0, wowPhase2 = 0;  // depth 0: off
    double flutterHz = 0, flutterDepth = 0, flutterPhase = 0;
    // The playback head and its amplifier.
    bool head = false;
    double rollOffHz = 0, rollOffQ = 0, spacingDbAt5k = 0, bumpHz = 0, bumpDb = 0, bumpQ = 0, couplingHz = 0;
    double azimuthUs = 0;  // the signal's delay across the track; 0: off
    // What the deck and the converter add.
    double humDb = -999, humHz = 50;              // against the signal's RMS on the lead-in
    std::vector<double> humHarmonics, humPhases;  // amplitude and phase of harmonics 1, 2, ...
    double hissDb = 999;                          // SNR in the tape's band, 250 Hz to 5 kHz
    bool pink = false;
    double dcOffset = 0, driftDepth = 0, driftHz = 0, driftPhase = 0;  // against the signal's peak
    double levelDb = 0;                                                // the signal's peak, dBFS
    bool inverted = false;
    int bits = 16;
};

WornParams drawWornParams(Draw& draw, Severity severity, const TapeLayout& layout,
                          const std::vector<std::vector<std::string>>& labels, int rate);

// The parameters in short form, for one line: only the effects switched on.
std::string shortForm(const WornParams& params);
