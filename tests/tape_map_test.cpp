// The damage map (-r I's SVG picture of the tape): where it draws what, its
// text, its size on a long tape, and its numbers on maps that make no sense.
// The picture is read back through Python's XML parser, which also holds it
// to being well-formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "common/run_end.h"
#include "map/map_columns.h"
#include "map/svg_text.h"
#include "map/tape_map_svg.h"
#include "support/test_support.h"

namespace {

struct Element {
    std::string tag, what;
    double x, y, width;
    std::string text;
};

// The elements with a class, as tests/support/svg_elements.py lists them.
std::vector<Element> elementsOf(const std::string& svg) {
    ScratchDir dir;
    const std::string path = dir.path("map.svg");
    writeFile(path, Bytes(svg.begin(), svg.end()));
    FILE* pipe = popen((KAZETTOR_PYTHON " " KAZETTOR_SUPPORT_DIR "/svg_elements.py " + path).c_str(), "r");
    std::string listing;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        listing.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << "not a well-formed SVG document";
    std::vector<Element> elements;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        for (std::size_t at = 0, tab = 0; tab != std::string::npos; at = tab + 1) {
            tab = line.find('\t', at);
            fields.push_back(line.substr(at, tab - at));
        }
        elements.push_back({fields[0], fields[1], std::atof(fields[2].c_str()), std::atof(fields[3].c_str()),
                            std::atof(fields[4].c_str()), fields[5]});
    }
    return elements;
}

std::vector<Element> withClass(const std::vector<Element>& elements, const std::string& what) {
    std::vector<Element> found;
    for (const Element& element : elements)
        if (element.what == what) found.push_back(element);
    return found;
}

MapBlock block(double first, double last, char mark, const std::string& line, const std::string& takes = "") {
    return {{first, last}, mark, "adatblokk", line, takes};
}

// 100 seconds across 1500 pixels from x = 50: 15 pixels a second.
TapeMap knownMap(const std::vector<float>& envelope) {
    TapeMap map;
    map.title = "rec.wav";
    map.durationSeconds = 100;
    map.programs = {{{2, 30}, "01_HELLO.ptp"}, {{40, 70}, "02_A&B<C>\xFF.ptp"}};
    map.blocks = {block(2, 4, 'O', "2.000-4.000 mp  névblokk  O", "A+B"),
                  block(10, 13, 'J', "10.000-13.000 mp  adatblokk  J  két olvasás egyezik", "A"),
                  block(20, 24, 'X', "20.000-24.000 mp  adatblokk  X  jelkiesés 21.200 másodpercnél", "A"),
                  block(40, 40.02, 'O', "40.000-40.020 mp  adatblokk  O", "A+B"),
                  block(60, 63, 'O', "60.000-63.000 mp  adatblokk  O", "A+B")};
    map.dropouts = {{21.2, 21.4}};
    map.blockless = {{32, 38}};
    map.halfWave = {{3, 312}, {12, 318}, {41, 305}};
    map.summary = "Összesen 2 program, 5 blokk: 3 O, 1 J, 1 X";
    MapTake first{
        "A", "rec.wav", {envelope.data(), std::ssize(envelope), 100, 1000}, {{2, 4}, {10, 13}}, true};
    map.takes = {first, {"B", "masik.wav", {}, {}, false}};
    return map;
}

TEST(TapeMap, DrawsEachBlockSpanAndTakeWhereItLies) {
    const std::vector<float> envelope(1000, 0.25f);  // 100 s at ten values a second
    const std::vector<Element> elements = elementsOf(tapeMapSvg(knownMap(envelope)));

    struct Expected {
        std::string what;
        double x, width;
        std::string text;
    };
    const std::vector<Expected> blocks = {
        {"block O", 80, 30, "2.000-4.000 mp  névblokk  O\\nfelvétel: A+B"},
        {"block O", 650, 1, "40.000-40.020 mp  adatblokk  O\\nfelvétel: A+B"},
        {"block O", 950, 45, "60.000-63.000 mp  adatblokk  O\\nfelvétel: A+B"},
        {"block J", 200, 45, "10.000-13.000 mp  adatblokk  J  két olvasás egyezik\\nfelvétel: A"},
        {"block X", 350, 60, "20.000-24.000 mp  adatblokk  X  jelkiesés 21.200 másodpercnél\\nfelvétel: A"}};
    std::vector<Element> bars;
    for (const Element& element : elements)
        if (element.what.starts_with("block ")) bars.push_back(element);
    ASSERT_EQ(bars.size(), blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(bars[i].tag, "rect");
        EXPECT_EQ(bars[i].what, blocks[i].what);
        EXPECT_NEAR(bars[i].x, blocks[i].x, 1) << blocks[i].text;
        EXPECT_NEAR(bars[i].width, blocks[i].width, 0.5) << blocks[i].text;
        EXPECT_EQ(bars[i].text, blocks[i].text);
    }

    const std::vector<Element> programs = withClass(elements, "program");
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_NEAR(programs[1].x, 650, 1);
    EXPECT_NEAR(programs[1].width, 450, 1);
    EXPECT_EQ(programs[1].text, "02_A&B<C>\uFFFD.ptp: 40.000-70.000 mp");
    const std::vector<Element> labels = withClass(elements, "program-label");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_NEAR(labels[0].x, 80, 1);
    EXPECT_EQ(labels[1].text, "02_A&B<C>\uFFFD.ptp");

    const std::vector<Element> dropouts = withClass(elements, "dropout"),
                               stretches = withClass(elements, "blockless");
    ASSERT_EQ(dropouts.size(), 1u);
    EXPECT_NEAR(dropouts[0].x, 368, 1);
    EXPECT_EQ(dropouts[0].text, "jelkiesés: 21.200-21.400 mp");
    ASSERT_EQ(stretches.size(), 1u);
    EXPECT_NEAR(stretches[0].x, 530, 1);
    EXPECT_NEAR(stretches[0].width, 90, 1);

    EXPECT_EQ(withClass(elements, "take").size(), 1u);
    EXPECT_EQ(withClass(elements, "take unmatched").size(), 1u);
    std::vector<std::string> names;
    for (const Element& name : withClass(elements, "name")) names.push_back(name.text);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "programok", "blokkok", "jelkiesés, szalagjel blokk nélkül", "A: rec.wav — szint",
                         "B: masik.wav — nem illeszkedik, nem adott blokkot", "félhullám (µs)"}));
    EXPECT_EQ(withClass(elements, "summary").at(0).text, "Összesen 2 program, 5 blokk: 3 O, 1 J, 1 X");
}

TEST(TapeMap, EnvelopeReducesToTheColumnsItsValuesTouch) {
    // An axis of 1.5 s: a column is a millisecond.
    const MapAxis axis{1.5};
    std::vector<float> values(4000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
    // Two values a millisecond: column c holds 2c and 2c + 1.
    const std::vector<ColumnRange> even = levelColumns({values.data(), 3000, 0.5, 1000}, axis);
    EXPECT_EQ(even[7].least, 14);
    EXPECT_EQ(even[7].most, 15);
    EXPECT_EQ(even[1499].count, 2);
    // Half a second later and twice as fast: four values a column from column 500.
    const std::vector<ColumnRange> later = levelColumns({values.data(), 3000, 0.5, 1000, 0.5, 2}, axis);
    EXPECT_EQ(later[499].count, 0);
    EXPECT_EQ(later[500].least, 0);
    EXPECT_EQ(later[500].most, 3);
    EXPECT_EQ(later[1249].most, 2999);
    EXPECT_EQ(later[1250].count, 0);
    // A value every 3 ms fills three columns.
    const std::vector<ColumnRange> wide = levelColumns({values.data(), 10, 3, 1000}, axis);
    EXPECT_EQ(wide[2].most, 0);
    EXPECT_EQ(wide[3].least, 1);
    EXPECT_EQ(wide[29].most, 9);
    EXPECT_EQ(wide[30].count, 0);
}

TEST(TapeMap, TextIsEscapedAndRepairedAndNumbersAreShort) {
    EXPECT_EQ(xmlText("A&B<C>\"'é\x01\xFF\xED\xA0\x80\xC0\xAF\tőrző"),
              "A&amp;B&lt;C&gt;&quot;&apos;é\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\tőrző");
    EXPECT_EQ(characterCount("félhullám (µs)"), 14);
    EXPECT_EQ(svgNumber(3.0), "3");
    EXPECT_EQ(svgNumber(1549.96), "1550");
    EXPECT_EQ(svgNumber(-12.34), "-12.3");
    EXPECT_EQ(svgNumber(-0.04), "0");
    EXPECT_EQ(svgNumber(NAN), "0");
}

TEST(TapeMap, AnHourOfFortyProgramsStaysSmallAndReadable) {
    // 60 minutes at 48 kHz, a value per 32 samples; 40 programs of 15 blocks.
    std::vector<float> envelope(60 * 60 * 48000 / 32);
    for (std::size_t i = 0; i < envelope.size(); ++i)
        envelope[i] = 0.2f + 0.1f * static_cast<float>(i % 7) / 7;
    TapeMap map;
    map.durationSeconds = 3600;
    map.takes = {{"A", "hour.wav", {envelope.data(), std::ssize(envelope), 32, 48000}, {}, true}};
    for (int program = 0; program < 40; ++program) {
        const double start = 5 + program * 89.5;
        char name[32];
        std::snprintf(name, sizeof name, "%02d_PROGRAM%d.ptp", program + 1, program);
        map.programs.push_back({{start, start + 80}, name});
        for (int i = 0; i < 15; ++i) {
            const double first = start + i * 5.3;
            map.blocks.push_back(block(first, first + 2.6, "OJX"[i % 3], std::string(100, 'b')));
            map.dropouts.push_back({first + 1, first + 1.1});
        }
        for (double t = start; t < start + 80; t += 0.05) map.halfWave.push_back({t, 312 + std::sin(t)});
    }
    const std::string svg = tapeMapSvg(map);
    EXPECT_LT(svg.size(), 400u * 1024);

    const std::vector<Element> elements = elementsOf(svg);
    std::size_t bars = 0;
    for (const Element& element : elements) bars += element.what.starts_with("block ");
    EXPECT_EQ(bars, 600u);
    // Dropouts 2.2 pixels apart stay apart.
    EXPECT_EQ(withClass(elements, "dropout").size(), 600u);
    std::vector<std::string> ticks;
    for (const Element& tick : withClass(elements, "tick")) ticks.push_back(tick.text);
    EXPECT_EQ(ticks, (std::vector<std::string>{"0:00", "5:00", "10:00", "15:00", "20:00", "25:00", "30:00",
                                               "35:00", "40:00", "45:00", "50:00", "55:00", "60:00"}));
    // Every program keeps a label, its name or its number; in a row none
    // begins before the one before it could have ended (11 px letters are
    // 6 px wide or more).
    const std::vector<Element> labels = withClass(elements, "program-label");
    EXPECT_EQ(labels.size(), 40u);
    std::map<double, double> rowEnds;
    for (const Element& label : labels) {
        if (rowEnds.contains(label.y)) {
            EXPECT_GE(label.x, rowEnds[label.y]) << label.text;
        }
        rowEnds[label.y] = label.x + 6.0 * static_cast<double>(characterCount(label.text));
    }
}

TEST(TapeMap, TenSecondsGetATickEverySecondAndCloseNamesTwoRows) {
    TapeMap map;
    map.durationSeconds = 10;
    // 66 pixels apart: less than a name of 12 letters of 11 px needs.
    map.programs = {{{1, 1.4}, "01_HELLO.ptp"}, {{1.44, 9}, "02_WORLD.ptp"}};
    const std::vector<Element> elements = elementsOf(tapeMapSvg(map));
    const std::vector<Element> ticks = withClass(elements, "tick");
    ASSERT_EQ(ticks.size(), 11u);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].text, "0:" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        EXPECT_NEAR(ticks[i].x, 50 + 150.0 * static_cast<double>(i), 0.05);
    }
    const std::vector<Element> labels = withClass(elements, "program-label");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[1].text, "02_WORLD.ptp");
    EXPECT_NEAR(labels[1].x, 266, 1);
    EXPECT_NE(labels[0].y, labels[1].y);
}

TEST(TapeMap, MapsThatMakeNoSenseGiveFiniteCoordinatesOnThePlot) {
    const std::vector<float> envelope = {0.5f, NAN, 0.25f};
    TapeMap empty;  // no duration, nothing in it, a take without a time base
    empty.takes = {{"A", "a.wav", {envelope.data(), 3, 0, 0, NAN, 0}, {}, true}};
    TapeMap odd;  // marks off the axis, backwards or not numbers, a take of speed 0
    odd.durationSeconds = 10;
    odd.takes = {{"A", "a.wav", {envelope.data(), 3, 32, 48000, -5, 0}, {{NAN, 1e300}}, true},
                 {"B", "b.wav", {nullptr, 1000, 32, 48000}, {}, false}};
    odd.programs = {{{NAN, INFINITY}, "01_X.ptp"}};
    odd.blocks = {block(50, 60, 'X', "túl"), block(8, 2, 'J', "visszafelé"), block(-INFINITY, NAN, '?', "")};
    odd.dropouts = {{20, 30}};
    odd.blockless = {{-5, -1}};
    odd.halfWave = {{5, 0}, {6, NAN}, {NAN, 312}, {7, 1e308}, {7.001, 1e308}};
    for (const TapeMap& map : {empty, odd}) {
        const std::string svg = tapeMapSvg(map);
        EXPECT_EQ(svg.find("nan"), std::string::npos);
        EXPECT_EQ(svg.find("inf"), std::string::npos);
        for (const Element& element : elementsOf(svg)) {
            if (element.tag != "rect" || element.what == "lane") continue;
            EXPECT_GE(element.x, 50) << element.what;
            EXPECT_LE(element.x + element.width, 1550) << element.what;
        }
    }
}

TEST(TapeMap, WriterWritesThePictureOrReportsAFileItCannotOpen) {
    ScratchDir dir;
    const std::vector<float> envelope(1000, 0.25f);
    const TapeMap map = knownMap(envelope);
    writeTapeMap(map, dir.path("rec.svg"));
    const Bytes written = readFile(dir.path("rec.svg"));
    EXPECT_EQ(std::string(written.begin(), written.end()), tapeMapSvg(map));

    testing::internal::CaptureStdout();
    int status = 0;
    try {
        writeTapeMap(map, dir.path("missing/rec.svg"));
    } catch (const RunEnded& ended) {
        status = ended.status;
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Nem sikerült megnyitni a file-t: " + dir.path("missing/rec.svg") + "\n");
}

}  // namespace

// A rescue run writes the picture beside the cleaned copy, named like it, and
// says so in the last line: one bar per block, classed by the mark the
// console printed, its title the report's line for it (an O block's, its
// place, kind and mark), at its time within a column.
TEST(TapeMap, ARescueRunDrawsEveryBlockAsItsReportHasIt) {
    ScratchDir dir;
    const Bytes second = withChecksum(concat({{0xF2, 0, 0x20, 0x43, 40}, Bytes(40, 0x55)}));
    const Bytes tape = tapeBytes({kNameBlock, kDataBlock, second, kEndBlock}, 80);
    Bytes samples = concat({Bytes(22050, 128), tapeSignal(tape, 14, 42, true), Bytes(22050, 128)});
    // A dropout in the second data block, from its tenth byte for 40 ms.
    const std::size_t at = 22050 + tapeSignal(Bytes(tape.begin(), tape.end() - 4 - 3 - 13 - 36), 14, 42, true).size();
    std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(at), 1764, 128);
    const RunResult run = runOn(dir.path("rec.wav"), wavFile(44100, 8, samples), {"-r", "I"});
    const std::string last = run.output.substr(run.output.rfind('\n', run.output.size() - 2) + 1);
    EXPECT_EQ(last, "Sérüléstérkép: " + dir.path("rec/rec.svg") + "\n");
    const std::string svg = [&] {
        const Bytes bytes = readFile(dir.path("rec/rec.svg"));
        return std::string(bytes.begin(), bytes.end());
    }();
    std::vector<Element> bars;
    for (const Element& element : elementsOf(svg)) {
        if (element.what.starts_with("block ")) bars.push_back(element);
    }
    // The console's block lines: their marks, and the report's lines.
    std::string marks;
    std::istringstream lines(run.output);
    std::vector<std::string> damage;
    for (std::string line; std::getline(lines, line);) {
        if (line.ends_with("  O") || line.ends_with("  X") || line.ends_with("  J") || line.find("  O: ") != std::string::npos)
            marks += line.find("  O") != std::string::npos ? 'O' : line.find("  J") != std::string::npos ? 'J' : 'X';
        if (line.find(" mp  ") != std::string::npos) damage.push_back(line.substr(2));
    }
    ASSERT_EQ(marks, "OOXO") << run.output;
    ASSERT_EQ(bars.size(), 4u);
    std::ranges::sort(bars, {}, &Element::x);  // drawn by mark, X on top; in tape order by place
    ASSERT_EQ(damage.size(), 1u) << run.output;
    const double seconds = static_cast<double>(samples.size()) / 44100;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(bars[i].what, std::string("block ") + marks[i]);
        const double first = std::atof(bars[i].text.c_str());
        EXPECT_NEAR(bars[i].x, 50 + 1500 * first / seconds, 1.0) << bars[i].text;
        if (marks[i] == 'X') {
            EXPECT_EQ(bars[i].text, damage[0]);
        } else {
            EXPECT_TRUE(bars[i].text.ends_with(std::string("  ") + marks[i])) << bars[i].text;
        }
    }
}
