#include "worn_params.h"

#include <algorithm>
#include <cstdio>

namespace {

// The part of each range that a severity class draws from, from the mildest
// end (0) to the worst (1): the classes overlap.
struct Band {
    double from, to;
};

Band bandOf(Severity severity) {
    switch (severity) {
        case Severity::none:
            break;
        case Severity::mild:
            return {0.0, 0.4};
        case Severity::moderate:
            return {0.25, 0.7};
        case Severity::severe:
            return {0.5, 1.0};
    }
    return {0.0, 0.0};
}

// How likely each effect is to be switched on.
double onChance(Severity severity) {
    switch (severity) {
        case Severity::none:
            break;
        case Severity::mild:
            return 0.3;
        case Severity::moderate:
            return 0.5;
        case Severity::severe:
            return 0.7;
    }
    return 0.0;
}

class Grader {
public:
    Grader(Draw& draw, Severity severity) : draw_(draw), severity_(severity) {}
    bool on() { return draw_.chance(onChance(severity_)); }
    // A value between the mildest and the worst end of a range, in the class's band.
    double value(double mildest, double worst) {
        const Band band = bandOf(severity_ == Severity::none ? Severity::mild : severity_);
        return mildest + (worst - mildest) * draw_.uniform(band.from, band.to);
    }

private:
    Draw& draw_;
    Severity severity_;
};

void drawDropouts(Draw& draw, Grader& grade, WornParams& p, const TapeLayout& layout,
                  const std::vector<std::vector<std::string>>& labels, int rate) {
    struct Place {
        SampleSpan span;
        std::string label;
    };
    std::vector<Place> blocks;
    for (std::size_t program = 0; program < layout.blocks.size(); ++program) {
        for (std::size_t b = 0; b < layout.blocks[program].size(); ++b) {
            blocks.push_back(
                {layout.blocks[program][b], "P" + std::to_string(program + 1) + " " + labels[program][b]});
        }
    }
    const std::int64_t first = layout.leadIns.front().from, last = blocks.back().span.to;
    const int count = static_cast<int>(grade.value(1, 8.99));
    for (int d = 0; d < count; ++d) {
        Dropout dropout;
        dropout.depthDb = grade.value(6, 40);
        dropout.ms = grade.value(1, 100);
        const auto length = static_cast<std::int64_t>(dropout.ms * rate / 1000);
        if (draw.chance(0.6)) {
            const Place& place =
                blocks[static_cast<std::size_t>(draw.integer(0, static_cast<int>(blocks.size()) - 1))];
            const std::int64_t room = std::max<std::int64_t>(0, place.span.to - place.span.from - length);
            dropout.at =
                place.span.from + static_cast<std::int64_t>(draw.uniform() * static_cast<double>(room));
            dropout.within = place.label;
        } else {
            dropout.at =
                first + static_cast<std::int64_t>(draw.uniform() * static_cast<double>(last - first));
            for (const Place& place : blocks) {
                if (dropout.at < place.span.to && dropout.at + length > place.span.from)
                    dropout.within = place.label;
            }
        }
        p.dropouts.push_back(dropout);
    }
}

void drawHead(Draw& draw, Grader& grade, WornParams& p) {
    p.head = true;
    p.rollOffHz = grade.value(8000, 2500);
    p.rollOffQ = draw.uniform(0.6, 1.0);
    p.spacingDbAt5k = draw.chance(0.7) ? grade.value(0, 12) : 0;
    p.bumpHz = draw.uniform(40, 120);
    p.bumpDb = draw.uniform(1, 5);
    p.bumpQ = draw.uniform(0.8, 1.5);
    p.couplingHz = draw.uniform(15, 50);
}

void drawHum(Draw& draw, Grader& grade, WornParams& p) {
    p.humDb = grade.value(-30, -6);
    p.humHz = (draw.chance(0.5) ? 50 : 60) * draw.uniform(0.995, 1.005);
    // A mains transformer's field, with a rectifier's buzz: the second
    // harmonic strong, the higher ones weaker.
    p.humHarmonics = {1.0, draw.uniform(0, 1), draw.uniform(0, 0.6)};
    for (int k = 4; k <= 7; ++k) p.humHarmonics.push_back(draw.uniform(0, 0.3));
    for (std::size_t k = 0; k < p.humHarmonics.size(); ++k) p.humPhases.push_back(draw.uniform(0, 2 * M_PI));
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

}  // namespace

bool severityNamed(const std::string& name, Severity& severity) {
    for (Severity s : {Severity::none, Severity::mild, Severity::moderate, Severity::severe}) {
        if (name == severityName(s)) {
            severity = s;
            return true;
        }
    }
    return false;
}

const char* severityName(Severity severity) {
    switch (severity) {
        case Severity::none:
            break;
        case Severity::mild:
            return "mild";
        case Severity::moderate:
            return "moderate";
        case Severity::severe:
            return "severe";
    }
    return "none";
}

WornParams drawWornParams(Draw& draw, Severity severity, const TapeLayout& layout,
                          const std::vector<std::vector<std::string>>& labels, int rate) {
    WornParams p;
    p.severity = severity;
    Grader grade(draw, severity);
    if (grade.on()) p.speed = draw.sign() * grade.value(0, 0.08);
    if (grade.on()) {
        p.wowHz = draw.uniform(0.3, 2);
        p.wowDepth = grade.value(0, 0.025);
        p.wowSecond = draw.uniform(0, 0.3);
        p.wowPhase = draw.uniform(0, 2 * M_PI);
        p.wowPhase2 = draw.uniform(0, 2 * M_PI);
    }
    if (grade.on()) {
        p.flutterHz = draw.uniform(5, 20);
        p.flutterDepth = grade.value(0, 0.004);
        p.flutterPhase = draw.uniform(0, 2 * M_PI);
    }
    if (grade.on()) {
        p.drive = grade.value(0.8, 4);
        p.bias = draw.sign() * grade.value(0, 0.15);
    }
    if (grade.on()) {
        p.printBeforeDb = grade.value(-55, -35);
        p.printAfterDb = p.printBeforeDb - draw.uniform(0, 6);
        p.printSeconds = draw.uniform(1, 3);
    }
    if (grade.on()) drawDropouts(draw, grade, p, layout, labels, rate);
    if (grade.on()) drawHead(draw, grade, p);
    if (grade.on()) p.azimuthUs = grade.value(100, 600);
    if (grade.on()) drawHum(draw, grade, p);
    if (grade.on()) {
        p.hissDb = grade.value(40, 2);
        p.pink = draw.chance(0.5);
    }
    if (grade.on()) {
        p.dcOffset = draw.sign() * grade.value(0, 0.3);
        p.driftDepth = grade.value(0, 0.3);
        p.driftHz = draw.uniform(0.02, 0.3);
        p.driftPhase = draw.uniform(0, 2 * M_PI);
    }
    if (grade.on()) p.duty = draw.sign() * grade.value(0, 0.12);
    p.levelDb = grade.value(-1, -40);
    p.inverted = draw.chance(0.5);
    if (severity != Severity::none && draw.chance(0.4 * onChance(severity))) p.bits = 8;
    return p;
}

std::string shortForm(const WornParams& p) {
    std::vector<std::string> parts;
    if (p.speed != 0) parts.push_back(format("spd%+.1f%%", 100 * p.speed));
    if (p.wowDepth > 0) parts.push_back(format("wow%.1fHz±%.2f%%", p.wowHz, 100 * p.wowDepth));
    if (p.flutterDepth > 0) parts.push_back(format("flt%.0fHz±%.2f%%", p.flutterHz, 100 * p.flutterDepth));
    if (p.duty != 0) parts.push_back(format("duty%+.1f%%", 100 * p.duty));
    if (p.drive > 0) parts.push_back(format("sat%.1f%+.2f", p.drive, p.bias));
    if (p.printSeconds > 0) {
        parts.push_back(format("print%.0f/%.0fdB@%.1fs", p.printBeforeDb, p.printAfterDb, p.printSeconds));
    }
    if (!p.dropouts.empty()) {
        double deepest = 0, longest = 0;
        int within = 0;
        for (const Dropout& d : p.dropouts) {
            deepest = std::max(deepest, d.depthDb);
            longest = std::max(longest, d.ms);
            within += !d.within.empty();
        }
        parts.push_back(format("drop%.0f(%.0fdB,%.0fms,%.0fin)", static_cast<double>(p.dropouts.size()),
                               deepest, longest, within));
    }
    if (p.head) {
        parts.push_back(format("head%.1fk/q%.2f/sp%.0fdB", p.rollOffHz / 1000, p.rollOffQ, p.spacingDbAt5k) +
                        format("/bump%+.0fdB@%.0f/hp%.0f", p.bumpDb, p.bumpHz, p.couplingHz));
    }
    if (p.azimuthUs > 0) parts.push_back(format("az%.0fus", p.azimuthUs));
    if (p.humDb > -999) parts.push_back(format("hum%.0f%+.0fdB", p.humHz, p.humDb));
    if (p.hissDb < 999) parts.push_back(format(p.pink ? "pink%.0fdB" : "white%.0fdB", p.hissDb));
    if (p.dcOffset != 0) parts.push_back(format("dc%+.2f~%.2f@%.2fHz", p.dcOffset, p.driftDepth, p.driftHz));
    parts.push_back(format("lvl%.0f", p.levelDb));
    if (p.inverted) parts.push_back("inv");
    if (p.bits == 8) parts.push_back("8bit");
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
    return text;
}
