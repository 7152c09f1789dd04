// Mains hum, as loud as the tape signal or quieter, over programs whose
// every bit is known: what the rescue decoder measures of it, what it takes
// off, and what it leaves alone.
#include <cmath>
#include <random>

#include "rescue/mains_hum.h"
#include "rescue/recording.h"
#include "support/recordings.h"

namespace {

const ScratchDir dir;

// A program of a name block, three data blocks of 64 random bytes and an
// end block, its lead-in `leadIn` bytes, between a second of silence on
// each side, as a square wave of ±0.3 (RMS 0.3) whose half-wave is T samples.
Tape program(int T, int leadIn, std::size_t silence) {
    std::mt19937 random(11);
    std::vector<Bytes> blocks = {kNameBlock};
    for (std::uint8_t number = 1; number <= 3; ++number) {
        Bytes bytes(64);
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
        blocks.push_back(withChecksum(concat({{0xF1, number, 0x20, 0x43, 64}, bytes})));
    }
    blocks.push_back(kEndBlock);
    return {.blocks = blocks, .T = T, .start = silence, .end = silence, .level = 0.3, .leadIn = leadIn};
}

// Hum at `hz` with six harmonics (amplitudes 1, 0.8, 0.5, 0.3, 0.3, 0.2, 0.2
// of the fundamental, each at a phase of its own), its RMS `decibels` against
// the tape's 0.3, added to the signal.
Signal withHum(Signal signal, double hz, double decibels, double rate) {
    const double shares[] = {1, 0.8, 0.5, 0.3, 0.3, 0.2, 0.2};
    double power = 0;
    for (double share : shares) power += share * share / 2;
    const double scale = 0.3 * std::pow(10.0, decibels / 20) / std::sqrt(power);
    for (std::size_t n = 0; n < signal.size(); ++n) {
        for (int k = 0; k < 7; ++k)
            signal[n] +=
                scale * shares[k] * std::sin(2 * M_PI * hz * (k + 1) * static_cast<double>(n) / rate + k);
    }
    return signal;
}

std::vector<float> floats(const Signal& signal) { return {signal.begin(), signal.end()}; }

}  // namespace

// Hum as loud as the tape signal, or 3 dB below it, a little off its
// nominal frequency, over hiss 45 dB down: its zero crossings come and go
// with the hum's phase, and the default decoder reads no block right. The
// rescue decoder measures the hum's frequency within 0.01 Hz, takes it
// off, reads every block, and says so after the summary: the frequency, the
// harmonics taken off with it (up to 450 Hz: seven at 50.2 Hz, six at 59.7
// Hz) and the hum's level against the signal's.
TEST(RescueHum, ReadsATapeUnderHumAsLoudAsItsSignal) {
    const Tape tape = program(14, 150, 44100);
    for (const auto& [hz, decibels] : {std::pair{50.2, 0.0}, {59.7, -3.0}}) {
        const Signal signal =
            withHiss(withHum(tape.signal, hz, decibels, 44100), 0.3 * std::pow(10, -45 / 20.0), 3);
        EXPECT_FALSE(holds(decode(dir, signal, 44100, {}).output, "O: ")) << hz;
        const RunResult run = decode(dir, signal, 44100);
        std::vector<BlockLine> expected;
        for (const Bytes& block : tape.blocks) expected.push_back({block, 'O'});
        expectBlocks(run.output, expected);
        EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), imageOf(tape.blocks)) << hz;
        const std::vector<double> line = numbersAfter(run.output, "Hálózati zúgás: ");
        ASSERT_EQ(line.size(), 1u) << run.output;
        EXPECT_NEAR(line[0], hz, 0.011);
        EXPECT_EQ(numbersAfter(run.output, " Hz, "), std::vector<double>{hz < 55 ? 7.0 : 6.0});
        EXPECT_NEAR(numbersAfter(run.output, "a jelhez képest ").at(0), decibels, 1.5);

        Recording recording;
        openRecording(dir.path("rec.wav").c_str(), kChannelOption, recording);
        conditionRecording(recording, FilterSettings{});
        EXPECT_NEAR(recording.hum.hz, hz, 0.01);
    }
}

// At 16000 Hz a half-wave of 5 samples is 312.5 µs, and the lead-in's byte
// repeats every 10 ms: its lines fall on the harmonics of 50 Hz. Over a
// lead-in of 500 bytes (5 s), hum 6 dB below the signal is taken off to
// within 40 dB below it, and the lead-in's own lines stay; hum more than
// 20 dB below the signal is left alone, as is the tape without hum.
TEST(RescueHum, TakesOffTheHumAndNotTheLeadInsLines) {
    const Tape tape = program(5, 500, 16000);
    const std::vector<float> clean = floats(tape.signal);
    // dB against the signal (none: no hum), taken off
    for (const auto& [decibels, measured] :
         {std::pair{-6.0, true}, {-17.0, true}, {-23.0, false}, {-999.0, false}}) {
        std::vector<float> samples = floats(withHum(tape.signal, 50, decibels, 16000));
        const MainsHum hum = measureMainsHum(samples.data(), std::ssize(samples), 16000);
        EXPECT_EQ(hum.hz > 0, measured) << decibels;
        if (!measured) continue;
        removeMainsHum(hum, samples.data(), 0, std::ssize(samples));
        double residual = 0;
        for (std::size_t n = 0; n < samples.size(); ++n) residual += std::pow(samples[n] - clean[n], 2);
        EXPECT_LT(std::sqrt(residual / static_cast<double>(samples.size())), 0.003) << decibels;
    }
}

// The ladder reads stretches again from the file: the hum is taken off
// them too, the same as off the whole recording at those samples.
TEST(RescueHum, TakesTheHumOffAStretchReadAgain) {
    const Tape tape = program(14, 150, 44100);
    writeFile(dir.path("hum.wav"), wavOf({withHum(tape.signal, 50.2, 0, 44100)}, 44100));
    Recording recording;
    openRecording(dir.path("hum.wav").c_str(), kChannelOption, recording);
    const std::vector<float> whole = readRawSamples(recording, 0, recording.count);
    recording.hum = measureMainsHum(whole.data(), std::ssize(whole), 44100);
    std::vector<float> taken = whole;
    removeMainsHum(recording.hum, taken.data(), 0, std::ssize(taken));
    const std::vector<float> stretch = readRawSamples(recording, 123457, 30000);
    for (std::size_t n = 0; n < stretch.size(); n += 997)
        EXPECT_NEAR(stretch[n], taken[123457 + n], 1e-5) << n;
}
