#pragma once

// Recordings made to order for the rescue decoder's tests, and what its runs
// print. A test damages a tape whose every bit it knows, so that the blocks
// expected are the blocks it encoded.

#include "support/test_support.h"

using Signal = std::vector<double>;

// Samples of full scale ±1, a signal to each channel (a shorter one padded
// with silence), as a WAV file of 8 (unsigned), 16, 24 or 32 bits.
Bytes wavOf(const std::vector<Signal>& channels, std::uint32_t rate, int bits = 16);
// The samples of a 16-bit WAV file with a 44-byte header, as ±1 values.
Signal samplesOf(const Bytes& wav);
// An 8-bit ideal tape signal (tapeSignal: levels 200 and 56) as ±1 samples, times `level`.
Signal fromTape(const Bytes& samples, double level = 1);
// The signal with white noise of the given RMS added, the same on every platform.
Signal withHiss(Signal signal, double rms, unsigned seed);
// Through a first-order high-pass at 1 kHz (a coupling capacitor), times `gain`.
Signal highPassed(Signal signal, double rate, double gain = 1);
// The signal at -46 dBFS: in 16 bits below the default decoder's first
// level (+256), so that it reads nothing there and only the rescue
// decoder's readings decide.
Signal quiet(Signal signal);

// The PTP image of one program, as the decoder writes it: the image header
// with the file's length, a record for each block.
Bytes imageOf(const std::vector<Bytes>& blocks);

// A program (tapeBytes: a lead-in of 80 bytes unless given) recorded as an
// ideal square wave of ±level (full scale 1), a 1 bit's half-wave T samples
// (21 at 44100 Hz is 476 µs: a deck 35 % slow), its cells high half first
// unless said, between `start` and `end` samples of silence, to be damaged
// sample by sample.
struct Tape {
    std::vector<Bytes> blocks;
    int T = 21;
    std::size_t start = 4000, end = 4000;
    double level = 1;
    int leadIn = 80;
    bool highFirst = true;
    Bytes bytes = tapeBytes(blocks, leadIn);
    Signal signal =
        fromTape(concat({Bytes(start, 128), tapeSignal(bytes, T, 3 * T, highFirst), Bytes(end, 128)}), level);

    // The first sample of bit `bit` (0 the most significant) of byte `byte`
    // of block `block`; bytes -3 to -1 are its sync bytes, and byte n of an
    // n-byte block is where the fill after it begins.
    std::size_t at(std::size_t block, int byte, int bit = 0) const;
    // Samples at + from .. at + to - 1 set to value.
    void set(std::size_t at, std::ptrdiff_t from, std::ptrdiff_t to, double value);
    // A tone over bytes 6 to 11 of a block, `times` the signal, at 44100 Hz.
    void tone(std::size_t block, double hz, double times);
};

// Runs the program on the samples, written as dir/rec.wav (a fresh dir/rec).
RunResult decode(const ScratchDir& dir, const Signal& samples, std::uint32_t rate,
                 const std::vector<std::string>& options = {"-r", "I"}, int bits = 16);
// The damage report, up to the line that names the damage map after it.
std::string report(const RunResult& run);
// The numbers that follow the occurrences of `text` in the output.
std::vector<double> numbersAfter(const std::string& output, const std::string& text);
// The report's lines on blocks, on stretches without one and on copies left
// out, in order, each expected to hold its text; returned for a closer look.
// Where totals are given, the report ends with "Összesen " and them.
std::vector<std::string> expectReport(const RunResult& run, const std::vector<std::string>& texts,
                                      const std::string& totals = "");
