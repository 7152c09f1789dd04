#include "worn_chain.h"

#include <algorithm>
#include <cmath>

#include "sim_filters.h"
#include "sim_wav.h"

namespace {

// A sine by rotating a phasor: far cheaper than std::sin per sample.
class Oscillator {
public:
    Oscillator(double hz, double rate, double phase)
        : c_(std::cos(phase)),
          s_(std::sin(phase)),
          dc_(std::cos(2 * M_PI * hz / rate)),
          ds_(std::sin(2 * M_PI * hz / rate)) {}
    double next() {
        const double value = s_;
        const double c = c_ * dc_ - s_ * ds_;
        s_ = s_ * dc_ + c_ * ds_;
        c_ = c;
        if (++steps_ == 4096) {  // back onto the unit circle
            const double r = 1 / std::hypot(c_, s_);
            c_ *= r;
            s_ *= r;
            steps_ = 0;
        }
        return value;
    }

private:
    double c_, s_, dc_, ds_;
    int steps_ = 0;
};

// ---------------------------------------------------------------- the tape

// What lies on the tape, sample for sample of the clean recording: the
// recorder's signal through the tape's saturation, the faint copies that
// the layers wound over and under it print, and the dropouts.
std::vector<float> recordOnTape(const std::vector<std::int16_t>& clean, const WornParams& p, int rate) {
    // The saturation curve over the 16-bit values.
    std::vector<float> curve(65536);
    const double offset = p.drive > 0 ? std::tanh(p.drive * p.bias) : 0;
    const double scale = p.drive > 0 ? 1 / std::tanh(p.drive) : 1;
    for (int k = 0; k < 65536; ++k) {
        const double x = (k - 32768) / 32768.0;
        curve[static_cast<std::size_t>(k)] =
            static_cast<float>(p.drive > 0 ? (std::tanh(p.drive * (x + p.bias)) - offset) * scale : x);
    }
    auto saturated = [&](std::size_t i) { return curve[static_cast<std::size_t>(clean[i] + 32768)]; };

    std::vector<float> tape(clean.size());
    const std::size_t turn = p.printSeconds > 0 ? static_cast<std::size_t>(p.printSeconds * rate) : 0;
    const auto before = static_cast<float>(turn > 0 ? std::pow(10.0, p.printBeforeDb / 20) : 0);
    const auto after = static_cast<float>(turn > 0 ? std::pow(10.0, p.printAfterDb / 20) : 0);
    for (std::size_t i = 0; i < tape.size(); ++i) {
        float v = saturated(i);
        if (turn > 0) {
            if (i + turn < tape.size()) v += before * saturated(i + turn);
            if (i >= turn) v += after * saturated(i - turn);
        }
        tape[i] = v;
    }
    for (const Dropout& d : p.dropouts) {
        // The level falls and rises again over up to 2 ms at each end.
        const double length = d.ms * rate / 1000, ramp = std::max(1.0, std::min(length / 4, 0.002 * rate));
        const double floor = std::pow(10.0, -d.depthDb / 20);
        for (std::int64_t k = 0; k < static_cast<std::int64_t>(length); ++k) {
            const auto i = static_cast<std::size_t>(d.at + k);
            if (i >= tape.size()) break;
            const double edge = std::min(static_cast<double>(k), length - static_cast<double>(k));
            const double w = edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * edge / ramp);
            tape[i] *= static_cast<float>(1 - (1 - floor) * w);
        }
    }
    return tape;
}

// ---------------------------------------------------------------- the head

// The playback head and its amplifier, sample by sample, `delay` samples
// behind its input:
// - azimuth: the gap crosses the track at an angle, so it reads the mean of
//   the track's signal over the azimuth delay, a running mean of `width`
//   samples (the last one weighed by the fraction);
// - spacing loss, exp(-2 pi gamma f): a band-limited FIR whose taps are that
//   response's inverse transform (centred: the delay). The taps fall off as
//   1/k^2 and the response has a cusp at 0 Hz, so they reach 0.7 ms, under
//   a window flat over its middle half: within 0.1 dB of the response up to
//   5 kHz at every rate;
// - the roll-off, the head bump and the coupling's high-pass.
class PlaybackHead {
public:
    PlaybackHead(const WornParams& p, double rate) {
        if (p.azimuthUs > 0) width_ = std::max(1.0, p.azimuthUs * 1e-6 * rate);
        whole_ = static_cast<std::size_t>(width_);
        part_ = width_ - static_cast<double>(whole_);
        if (p.head && p.spacingDbAt5k > 0) {
            const double gamma = p.spacingDbAt5k / (20 * std::log10(std::exp(1.0)) * 2 * M_PI * 5000);
            const double a = 2 * M_PI * gamma * rate;
            const int reach = std::min(static_cast<int>(kRing / 2 - 1),
                                       std::max({8, static_cast<int>(std::ceil(0.7e-3 * rate)),
                                                 static_cast<int>(std::ceil(10 * gamma * rate))}));
            double sum = 0;
            for (int k = -reach; k <= reach; ++k) {
                const double alternate = (k % 2 == 0) ? 1.0 : -1.0;
                const double h =
                    2 * a * (1 - alternate * std::exp(-a / 2)) / (a * a + 4 * M_PI * M_PI * k * k);
                const double x = std::abs(k) / (reach + 1.0);
                const double window = x < 0.5 ? 1.0 : 0.5 + 0.5 * std::cos(2 * M_PI * (x - 0.5));
                taps_.push_back(h * window);
                sum += taps_.back();
            }
            for (double& t : taps_) t /= sum;
            delay = static_cast<std::size_t>(reach);
        }
        if (p.head) {
            filters_ = {lowPass(std::min(p.rollOffHz, 0.45 * rate), rate, p.rollOffQ),
                        peaking(p.bumpHz, rate, p.bumpQ, p.bumpDb), firstOrderHighPass(p.couplingHz, rate)};
        }
    }

    double step(double x) {
        if (width_ > 1) {
            recent_[at_ & kMask] = x;
            sum_ += x;
            const double tail = at_ >= whole_ ? recent_[(at_ - whole_) & kMask] : 0;
            sum_ -= tail;
            x = (sum_ + part_ * tail) / width_;
        }
        ++at_;
        if (!taps_.empty()) {
            // Each sample goes in twice, kRing apart, so that the last taps
            // samples lie side by side. The taps are symmetric: no need to
            // turn them round. Before the first sample the ring holds zeros,
            // as the recording's silence.
            const std::size_t slot = fed_++ & kMask;
            spread_[slot] = spread_[slot + kRing] = x;
            const double* window = spread_ + slot + kRing + 1 - taps_.size();
            double y = 0;
            for (std::size_t k = 0; k < taps_.size(); ++k) y += taps_[k] * window[k];
            x = y;
        }
        for (Biquad& f : filters_) x = f.step(x);
        return x;
    }

    std::size_t delay = 0;

private:
    static constexpr std::size_t kRing = 256, kMask = kRing - 1;  // 600 µs at 48 kHz is 29 samples
    double width_ = 0, part_ = 0, sum_ = 0;
    std::size_t whole_ = 0, at_ = 0, fed_ = 0;
    double recent_[kRing] = {};
    std::vector<double> taps_;
    double spread_[2 * kRing] = {};
    std::vector<Biquad> filters_;
};

// ---------------------------------------------------------------- the transport

// Catmull-Rom interpolation between the samples around position p.
double sampleAt(const std::vector<float>& s, double p) {
    const auto i = static_cast<std::int64_t>(p);
    const auto last = static_cast<std::int64_t>(s.size()) - 1;
    const double f = p - static_cast<double>(i);
    double y0, y1, y2, y3;
    if (i >= 1 && i + 2 <= last) {
        const float* at = s.data() + i;
        y0 = at[-1], y1 = at[0], y2 = at[1], y3 = at[2];
    } else {
        auto at = [&](std::int64_t k) {
            return s[static_cast<std::size_t>(std::clamp<std::int64_t>(k, 0, last))];
        };
        y0 = at(i - 1), y1 = at(i), y2 = at(i + 1), y3 = at(i + 2);
    }
    const double c1 = 0.5 * (y2 - y0), c2 = y0 - 2.5 * y1 + 2 * y2 - 0.5 * y3,
                 c3 = 0.5 * (y3 - y0) + 1.5 * (y1 - y2);
    return ((c3 * f + c2) * f + c1) * f + y1;
}

// The tape read at the deck's speed, with wow and flutter, through the
// head. The duty cycle stretches the high half-waves of the clean signal
// and shortens the low ones. `asked` (rising) gets where those tape samples play.
std::vector<float> transport(const std::vector<float>& tape, const std::vector<std::int16_t>& clean,
                             const WornParams& p, double rate, const std::vector<std::int64_t>& asked,
                             std::vector<std::int64_t>& mapped) {
    std::vector<float> out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(tape.size()) / (1 + p.speed) * 1.04) + 1024);
    PlaybackHead head(p, rate);
    Oscillator wow(p.wowHz, rate, p.wowPhase), wow2(2 * p.wowHz, rate, p.wowPhase2);
    Oscillator flutter(p.flutterHz, rate, p.flutterPhase);
    const double wowScale = p.wowDepth / (1 + p.wowSecond);
    const double high = 1 / (1 + p.duty), low = 1 / (1 - p.duty);
    const double end = static_cast<double>(tape.size() - 1);
    mapped.assign(asked.size(), 0);
    std::size_t next = 0, n = 0;
    for (double position = 0; position < end; ++n) {
        while (next < asked.size() && static_cast<double>(asked[next]) <= position) {
            mapped[next++] = static_cast<std::int64_t>(n);
        }
        const auto y = static_cast<float>(head.step(sampleAt(tape, position)));
        if (n >= head.delay) out.push_back(y);
        const std::int16_t level = clean[static_cast<std::size_t>(position)];
        const double duty = level > 0 ? high : level < 0 ? low : 1.0;
        const double modulation =
            1 + wowScale * (wow.next() + p.wowSecond * wow2.next()) + p.flutterDepth * flutter.next();
        position += (1 + p.speed) * modulation * duty;
    }
    for (; next < asked.size(); ++next) mapped[next] = static_cast<std::int64_t>(n);
    for (std::size_t k = 0; k < head.delay; ++k) out.push_back(static_cast<float>(head.step(0)));
    return out;
}

// ---------------------------------------------------------------- the converter

// The RMS over [from, to) through the tape's band, 250 Hz to 5 kHz (two
// Butterworth poles each side), the filters settled on the 0.2 s before.
template <typename Next>
double bandRms(Next next, std::size_t from, std::size_t to, double rate) {
    Biquad highPass = butterworth(250, rate, true),
           lowPassBand = butterworth(std::min(5000.0, 0.45 * rate), rate, false);
    const auto settle = static_cast<std::size_t>(0.2 * rate);
    double power = 0;
    for (std::size_t n = from > settle ? from - settle : 0; n < to; ++n) {
        const double v = lowPassBand.step(highPass.step(next(n)));
        if (n >= from) power += v * v;
    }
    return std::sqrt(power / static_cast<double>(std::max<std::size_t>(1, to - from)));
}

// White noise, or pink through Paul Kellet's refined filter.
class Hiss {
public:
    Hiss(bool pink, Draw& draw) : pink_(pink), draw_(draw) {}
    double next() {
        const double w = draw_.normal();
        if (!pink_) return w;
        b0_ = 0.99886 * b0_ + w * 0.0555179;
        b1_ = 0.99332 * b1_ + w * 0.0750759;
        b2_ = 0.96900 * b2_ + w * 0.1538520;
        b3_ = 0.86650 * b3_ + w * 0.3104856;
        b4_ = 0.55000 * b4_ + w * 0.5329522;
        b5_ = -0.7616 * b5_ - w * 0.0168980;
        const double v = b0_ + b1_ + b2_ + b3_ + b4_ + b5_ + b6_ + w * 0.5362;
        b6_ = w * 0.115926;
        return v;
    }

private:
    bool pink_;
    Draw& draw_;
    double b0_ = 0, b1_ = 0, b2_ = 0, b3_ = 0, b4_ = 0, b5_ = 0, b6_ = 0;
};

// Hum, hiss, offset and drift, level and polarity, and the converter's
// rounding: levels against the signal on the first lead-in [from, to).
Bytes convert(const std::vector<float>& s, const WornParams& p, int rate, std::size_t from, std::size_t to,
              Draw& draw) {
    double power = 0, peak = 1e-12;
    for (std::size_t n = from; n < to; ++n) power += static_cast<double>(s[n]) * s[n];
    for (float v : s) peak = std::max(peak, static_cast<double>(std::abs(v)));
    const double signalRms = std::sqrt(power / static_cast<double>(std::max<std::size_t>(1, to - from)));

    std::vector<Oscillator> hum;
    std::vector<double> humAmplitude;
    if (p.humDb > -999) {
        double sum = 0;
        for (double a : p.humHarmonics) sum += a * a / 2;
        const double scale = signalRms * std::pow(10.0, p.humDb / 20) / std::sqrt(sum);
        for (std::size_t k = 0; k < p.humHarmonics.size() && (k + 1) * p.humHz < 0.45 * rate; ++k) {
            hum.emplace_back((k + 1) * p.humHz, rate, p.humPhases[k]);
            humAmplitude.push_back(scale * p.humHarmonics[k]);
        }
    }
    // The hiss's level in the band is measured on 10 s of the same noise
    // drawn apart, then the hiss itself is drawn as it is added.
    double hissScale = 0;
    const bool hissing = p.hissDb < 999;
    if (hissing) {
        Draw probeDraw(static_cast<std::uint32_t>(draw.uniform() * 4294967296.0));
        Hiss probe(p.pink, probeDraw);
        const double noiseRms =
            bandRms([&](std::size_t) { return probe.next(); }, static_cast<std::size_t>(0.2 * rate),
                    static_cast<std::size_t>(10.2 * rate), rate);
        const double signalBandRms =
            bandRms([&](std::size_t n) { return static_cast<double>(s[n]); }, from, to, rate);
        hissScale = signalBandRms * std::pow(10.0, -p.hissDb / 20) / noiseRms;
    }
    Hiss hiss(p.pink, draw);
    const double full = std::pow(10.0, p.levelDb / 20), gain = full / peak * (p.inverted ? -1 : 1);
    Oscillator drift(p.driftHz, rate, p.driftPhase);
    WavWriter wav(static_cast<std::uint32_t>(rate), p.bits, s.size());
    for (float sample : s) {
        double v = sample;
        for (std::size_t k = 0; k < hum.size(); ++k) v += humAmplitude[k] * hum[k].next();
        if (hissing) v += hissScale * hiss.next();
        wav.put(gain * v + full * (p.dcOffset + p.driftDepth * drift.next()));
    }
    return wav.bytes();
}

}  // namespace

Playback playBack(const std::vector<std::int16_t>& clean, const WornParams& params, const TapeLayout& layout,
                  int rate, Draw& draw, const std::vector<std::int64_t>& tapeSamples) {
    // The transport maps tape samples in rising order: the first lead-in's
    // ends (where the signal's level is measured), then the asked-for ones.
    std::vector<std::int64_t> asked = {layout.leadIns.front().from, layout.leadIns.front().to};
    asked.insert(asked.end(), tapeSamples.begin(), tapeSamples.end());
    std::vector<std::size_t> order(asked.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return asked[x] < asked[y]; });
    std::vector<std::int64_t> sorted, mappedSorted;
    for (std::size_t i : order) sorted.push_back(asked[i]);
    const std::vector<float> played =
        transport(recordOnTape(clean, params, rate), clean, params, rate, sorted, mappedSorted);
    std::vector<std::int64_t> mapped(asked.size());
    for (std::size_t i = 0; i < order.size(); ++i) mapped[order[i]] = mappedSorted[i];

    Playback out;
    const auto clamp = [&](std::int64_t n) {
        return static_cast<std::size_t>(
            std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(played.size())));
    };
    out.wav = convert(played, params, rate, clamp(mapped[0]), clamp(mapped[1]), draw);
    out.samples = static_cast<std::int64_t>(played.size());
    out.mapped.assign(mapped.begin() + 2, mapped.end());
    return out;
}
