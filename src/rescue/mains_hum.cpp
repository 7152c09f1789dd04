#include "rescue/mains_hum.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// One estimate of the tones per tenth of a second: five or six periods of
// the fundamental, so that a steady offset adds nothing to them.
constexpr double kBlockSeconds = 0.1;
// The fundamental's estimate is the median of those of the blocks within
// 2.5 s on each side: the tape signal has next to nothing at 50 or 60 Hz,
// and the hum's phase may wander with the mains.
constexpr std::int64_t kFundamentalReach = 25;
// Each harmonic is taken as a fixed phasor turned with the fundamental's
// phase (the hum's waveform keeps its shape): the median over the blocks
// without tape signal, or over all where there are too few of those, of at
// most kHarmonicBlocks blocks spread over them. A lead-in repeats one byte,
// 32 half-waves of a standard tape, 10 ms at a rate whose half-wave is
// 312.5 µs: its lines fall on the harmonics of 50 Hz, loud near the 0 bits'
// fundamental, and it may last longer than the rest of a short program.
// A block is without tape signal where what the tones leave of its power is
// within kQuietPower of the least left in a tenth of the blocks.
constexpr std::int64_t kHarmonicBlocks = 1024;
constexpr double kQuietPower = 4;
constexpr std::size_t kLeastQuietBlocks = 10;
// Tones are taken off up to here: below the 0 bits' fundamental (534 Hz on
// a standard tape, 490 Hz on a deck 8 % slow), where the tape signal has
// its own lines.
constexpr double kHighestToneHz = 450;
// Hum is taken off where its RMS is at least this share of the signal's
// level (-20 dB): below it the conditioning and the trackers cope, as they
// did before hum was measured.
constexpr double kLeastHumShare = 0.1;
// Whether there is hum is judged on at most this many blocks, spread over
// the recording: a recording without hum pays little for the question.
constexpr std::int64_t kJudgedBlocks = 256;
// The mains frequency, and a recording's clock, may be off the nominal
// 50 or 60 Hz by up to half a percent; the estimate is kept within that.
constexpr double kMostDrift = 0.005;

// The phasor e^{-i ω n} at sample n, its angle reduced first so that a
// large n loses no precision.
std::complex<double> phasorAt(double omega, std::int64_t n) {
    return std::polar(1.0, -std::fmod(omega * static_cast<double>(n), 2 * kPi));
}

// Tones taken off at most: 450 Hz over 49.75 Hz is 9.
constexpr int kMostTones = 10;
// Two tones to a vector of doubles (SSE2), so that the processor carries
// them side by side.
using Pair = double __attribute__((vector_size(16)));
constexpr int kPairs = kMostTones / 2;

// The complex amplitudes of `tones` tones at ω, 2ω, ... over the samples
// [from, from + length): x ≈ Re(A e^{i ω n}) where x is such a tone, its
// mean taken off first so that an offset does not leak into them; with
// `rms`, also the samples' RMS about that mean, from the same pass. Each
// tone by Goertzel's recurrence, s = x + 2 cos(kω) s' - s'', a multiply and
// two adds a sample, in `Lanes` lanes whatever the count of tones (at most
// that), two to a vector; at the end s' - e^{-ikω} s'' is the sum of
// x e^{-ikωn} turned to the last sample.
template <int Lanes>
void tonesIn(const float* samples, std::int64_t from, std::int64_t length, double omega, int tones,
             std::complex<double>* amplitudes, double* rms = nullptr) {
    static_assert(Lanes % 2 == 0);
    constexpr int kLanePairs = Lanes / 2;
    double mean = 0, squares = 0;
    for (std::int64_t n = from; n < from + length; ++n) {
        mean += samples[n];
        squares += static_cast<double>(samples[n]) * samples[n];
    }
    mean /= static_cast<double>(length);
    if (rms != nullptr) *rms = std::sqrt(std::max(0.0, squares / static_cast<double>(length) - mean * mean));
    tones = std::min(tones, Lanes);
    Pair twice[kLanePairs] = {}, last[kLanePairs] = {}, before[kLanePairs] = {};
    for (int k = 0; k < tones; ++k) twice[k / 2][k % 2] = 2 * std::cos((k + 1) * omega);
    for (std::int64_t n = from; n < from + length; ++n) {
        const double x = samples[n] - mean;
        for (int j = 0; j < kLanePairs; ++j) {
            const Pair now = x + twice[j] * last[j] - before[j];
            before[j] = last[j];
            last[j] = now;
        }
    }
    for (int k = 0; k < tones; ++k) {
        const double toneOmega = (k + 1) * omega;
        const std::complex<double> sum =
            (last[k / 2][k % 2] - std::polar(1.0, -toneOmega) * before[k / 2][k % 2]) *
            phasorAt(toneOmega, from + length - 1);
        amplitudes[k] = 2.0 * sum / static_cast<double>(length);
    }
}

double medianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The fundamental's frequency off `hz`: from how its phase turns from one
// block to the fourth after it (by 2π δ 4B / rate for an offset δ; within
// half a turn up to 1.25 Hz off, far beyond kMostDrift), each pair weighted
// by its amplitudes, so that the loud hum, not the tape, sets it. Every
// fourth block is enough, and costs a quarter.
constexpr std::int64_t kDriftStep = 4;

double driftOf(const float* samples, std::int64_t blocks, std::int64_t block, double hz, double rate) {
    const double omega = 2 * kPi * hz / rate;
    std::complex<double> turn = 0, last = 0;
    for (std::int64_t b = 0; b < blocks; b += kDriftStep) {
        std::complex<double> now;
        tonesIn<2>(samples, b * block, block, omega, 1, &now);
        if (b > 0) turn += now * std::conj(last);
        last = now;
    }
    const double drift = std::arg(turn) * rate / (2 * kPi * static_cast<double>(kDriftStep * block));
    return std::clamp(drift, -kMostDrift * hz, kMostDrift * hz);
}

}  // namespace

MainsHum measureMainsHum(const float* samples, std::int64_t count, double rate) {
    MainsHum hum;
    if (rate <= 0) return hum;
    const std::int64_t block = std::max<std::int64_t>(64, std::llround(kBlockSeconds * rate));
    const std::int64_t blocks = count / block;
    if (blocks < 5) return hum;
    // Judged on blocks spread over the recording: the signal's level (the
    // 90th percentile of theirs: neither silence nor a click sets it) and
    // the hum at 50 and at 60 Hz (the median power of the fundamental and
    // the second harmonic, which a buzz can hold more of).
    const std::int64_t stride = std::max<std::int64_t>(1, blocks / kJudgedBlocks);
    std::vector<double> levels, power[2][2];
    for (std::int64_t b = 0; b < blocks; b += stride) {
        for (int nominal = 0; nominal < 2; ++nominal) {
            std::complex<double> tones[2];
            double rms = 0;
            tonesIn<2>(samples, b * block, block, 2 * kPi * (nominal ? 60.0 : 50.0) / rate, 2, tones, &rms);
            for (int k = 0; k < 2; ++k) power[nominal][k].push_back(std::norm(tones[k]));
            if (nominal == 0) levels.push_back(rms);
        }
    }
    std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * 9 / 10),
                     levels.end());
    const double level = levels[levels.size() * 9 / 10];
    double humPower[2];
    for (int nominal = 0; nominal < 2; ++nominal)
        humPower[nominal] = (medianOf(power[nominal][0]) + medianOf(power[nominal][1])) / 2;
    const int nominal = humPower[1] > humPower[0] ? 1 : 0;
    if (level <= 0 || std::sqrt(humPower[nominal]) < kLeastHumShare * level) return hum;

    // The frequency, measured twice (the second time from the first
    // estimate, closer), and the tones' amplitudes block by block.
    double hz = nominal ? 60.0 : 50.0;
    for (int pass = 0; pass < 2; ++pass) hz += driftOf(samples, blocks, block, hz, rate);
    hum.hz = hz;
    hum.rate = rate;
    hum.harmonics = std::clamp(static_cast<int>(std::min(kHighestToneHz, 0.45 * rate) / hz), 1, kMostTones);
    hum.blockSamples = block;
    const auto tones = static_cast<std::size_t>(hum.harmonics);
    std::vector<std::complex<double>> raw(static_cast<std::size_t>(blocks) * tones);
    std::vector<double> rest(static_cast<std::size_t>(blocks));  // each block's RMS, squared, then what
                                                                 // the tones leave of it
    for (std::int64_t b = 0; b < blocks; ++b) {
        double rms = 0;
        tonesIn<kMostTones>(samples, b * block, block, 2 * kPi * hz / rate, hum.harmonics,
                            raw.data() + static_cast<std::size_t>(b) * tones, &rms);
        rest[static_cast<std::size_t>(b)] = std::pow(rms, 2);
    }
    hum.amplitude.resize(raw.size());
    // The fundamental, and the turn of its phase in each block.
    std::vector<std::complex<double>> turn(static_cast<std::size_t>(blocks));
    std::vector<double> real, imaginary;
    for (std::int64_t b = 0; b < blocks; ++b) {
        real.clear();
        imaginary.clear();
        for (std::int64_t near = std::max<std::int64_t>(0, b - kFundamentalReach);
             near <= std::min(blocks - 1, b + kFundamentalReach); ++near) {
            real.push_back(raw[static_cast<std::size_t>(near) * tones].real());
            imaginary.push_back(raw[static_cast<std::size_t>(near) * tones].imag());
        }
        const std::complex<double> fundamental(medianOf(real), medianOf(imaginary));
        hum.amplitude[static_cast<std::size_t>(b) * tones] = fundamental;
        turn[static_cast<std::size_t>(b)] =
            std::abs(fundamental) > 0 ? fundamental / std::abs(fundamental) : 1.0;
    }
    // Each harmonic against the fundamental's phase, k times turned, in the
    // blocks without tape signal.
    for (std::int64_t b = 0; b < blocks; ++b) {
        for (std::size_t k = 0; k < tones; ++k)
            rest[static_cast<std::size_t>(b)] -= std::norm(raw[static_cast<std::size_t>(b) * tones + k]) / 2;
    }
    std::vector<double> sorted = rest;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 10),
                     sorted.end());
    const double quietest = std::max(0.0, sorted[sorted.size() / 10]);
    std::vector<std::int64_t> quiet;
    for (std::int64_t b = 0; b < blocks; ++b)
        if (rest[static_cast<std::size_t>(b)] <= kQuietPower * quietest) quiet.push_back(b);
    if (quiet.size() < kLeastQuietBlocks) {
        quiet.resize(static_cast<std::size_t>(blocks));
        for (std::int64_t b = 0; b < blocks; ++b) quiet[static_cast<std::size_t>(b)] = b;
    }
    const auto spread = static_cast<std::int64_t>(std::max<std::size_t>(1, quiet.size() / kHarmonicBlocks));
    for (std::size_t k = 1; k < tones; ++k) {
        const int turns = static_cast<int>(k + 1);
        const auto quietCount = static_cast<std::int64_t>(quiet.size());
        real.clear();
        imaginary.clear();
        for (std::int64_t i = 0; i < quietCount; i += spread) {
            const auto b = static_cast<std::size_t>(quiet[static_cast<std::size_t>(i)]);
            const std::complex<double> v = raw[b * tones + k] / std::pow(turn[b], turns);
            real.push_back(v.real());
            imaginary.push_back(v.imag());
        }
        const std::complex<double> shape(medianOf(real), medianOf(imaginary));
        for (std::int64_t b = 0; b < blocks; ++b)
            hum.amplitude[static_cast<std::size_t>(b) * tones + k] =
                shape * std::pow(turn[static_cast<std::size_t>(b)], turns);
    }
    // Its RMS against the signal's level, the hum's power taken out of the
    // level (which holds both), for the report.
    double tonePower = 0;
    for (const std::complex<double>& amplitude : hum.amplitude) tonePower += std::norm(amplitude) / 2;
    tonePower /= static_cast<double>(blocks);
    hum.decibels = 10 * std::log10(std::max(tonePower, 1e-12 * level * level) /
                                   std::max(level * level - tonePower, 1e-3 * level * level));
    return hum;
}

// Each block's tones are taken off at the amplitudes measured for it
// (they follow the recording slowly: the medians reach seconds around it),
// each tone carried from sample to sample by the recurrence of a
// sinusoid, s = 2 cos(kω) s' - s'', two tones to a vector.
void removeMainsHum(const MainsHum& hum, float* samples, std::int64_t first, std::int64_t count) {
    if (hum.hz <= 0 || hum.amplitude.empty()) return;
    const int tones = std::min(hum.harmonics, kMostTones);
    const auto stride = static_cast<std::size_t>(hum.harmonics);
    const auto blocks = static_cast<std::int64_t>(hum.amplitude.size() / stride);
    const std::int64_t block = hum.blockSamples;
    const double omega = 2 * kPi * hum.hz / hum.rate;
    Pair twice[kPairs] = {};
    for (int k = 0; k < tones; ++k) twice[k / 2][k % 2] = 2 * std::cos((k + 1) * omega);
    for (std::int64_t n = first; n < first + count;) {
        // The rest of n's block (the last block's reaching to the end).
        const std::int64_t b = std::min(n / block, blocks - 1);
        const std::int64_t end = b + 1 < blocks ? std::min(first + count, (b + 1) * block) : first + count;
        const std::complex<double>* amplitude = hum.amplitude.data() + static_cast<std::size_t>(b) * stride;
        // Each tone at n and at n - 1.
        Pair last[kPairs] = {}, before[kPairs] = {};
        for (int k = 0; k < tones; ++k) {
            const double toneOmega = (k + 1) * omega;
            const std::complex<double> atN = amplitude[k] * std::conj(phasorAt(toneOmega, n));
            last[k / 2][k % 2] = atN.real();
            before[k / 2][k % 2] = (atN * std::polar(1.0, -toneOmega)).real();
        }
        for (std::int64_t m = n; m < end; ++m) {
            Pair sum = last[0];
            for (int j = 1; j < kPairs; ++j) sum += last[j];
            for (int j = 0; j < kPairs; ++j) {
                const Pair next = twice[j] * last[j] - before[j];
                before[j] = last[j];
                last[j] = next;
            }
            samples[m - first] -= static_cast<float>(sum[0] + sum[1]);
        }
        n = end;
    }
}
