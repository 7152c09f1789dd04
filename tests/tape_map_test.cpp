// The damage map (-r I's SVG picture of the tape): where it draws what, its
// text, its size on a long tape, and its numbers on maps that make no sense.
// The picture is read back through Python's XML parser, which also holds it
// to being well-formed.
#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "map/map_columns.h"
#include "map/svg_text.h"
#include "map/tape_map_svg.h"
#include "rescue/damage_report.h"
#include "support/recordings.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

struct Element {
    std::string tag, what;
    double x, y, width;
    std::string text;
};

// The elements with a class, as tests/support/svg_elements.py lists them a
// line each: tag, class, x, y and width (0 where missing) and text, split at
// the tabs.
std::vector<Element> elementsOf(const std::string& svg) {
    writeFile(dir.path("map.svg"), Bytes(svg.begin(), svg.end()));
    const RunResult listed =
        runShell(KAZETTOR_PYTHON " " KAZETTOR_SUPPORT_DIR "/svg_elements.py " + dir.path("map.svg"));
    EXPECT_EQ(listed.status, 0) << "not a well-formed SVG document";
    std::vector<Element> elements;
    std::istringstream lines(listed.output);
    for (std::string field[6]; std::getline(lines, field[0], '\t');) {
        for (int i = 1; i < 6; ++i) std::getline(lines, field[i], i < 5 ? '\t' : '\n');
        elements.push_back({field[0], field[1], std::atof(field[2].c_str()), std::atof(field[3].c_str()),
                            std::atof(field[4].c_str()), field[5]});
    }
    return elements;
}

// The elements of the class; where `what` ends in a blank ("block "), of
// every class that begins with it.
std::vector<Element> withClass(const std::vector<Element>& elements, const std::string& what) {
    std::vector<Element> found;
    for (const Element& e : elements)
        if (what.ends_with(' ') ? e.what.starts_with(what) : e.what == what) found.push_back(e);
    return found;
}

MapBlock block(double first, double last, char mark, const std::string& line, const std::string& takes = "") {
    return {{first, last}, mark, "adatblokk", line, takes};
}

// The picture as written and as drawn: each block, program, dropout, stretch
// without a block and take where it lies (100 seconds across 1500 pixels from
// x = 50: 15 pixels a second), with its text; a file that cannot be opened is
// reported.
TEST(TapeMap, WritesThePictureDrawingEachBlockSpanAndTakeWhereItLies) {
    const std::vector<float> envelope(1000, 0.25f);  // 100 s at ten values a second
    const TapeMap map{
        .title = "rec.wav",
        .durationSeconds = 100,
        .takes = {{"A", "rec.wav", {envelope.data(), 1000, 100, 1000}, {{2, 4}, {10, 13}}, true},
                  {"B", "masik.wav", {}, {}, false}},
        .programs = {{{2, 30}, "01_HELLO.ptp"}, {{40, 70}, "02_A&B<C>\xFF.ptp"}},
        .blocks = {block(2, 4, 'O', "2.000-4.000 mp  névblokk  O", "A+B"),
                   block(10, 13, 'J', "10.000-13.000 mp  adatblokk  J  két olvasás egyezik", "A"),
                   block(20, 24, 'X', "20.000-24.000 mp  adatblokk  X  jelkiesés 21.200 másodpercnél", "A"),
                   block(40, 40.02, 'O', "40.000-40.020 mp  adatblokk  O", "A+B"),
                   block(60, 63, 'O', "60.000-63.000 mp  adatblokk  O", "A+B")},
        .dropouts = {{21.2, 21.4}},
        .blockless = {{32, 38}},
        .halfWave = {{3, 312}, {12, 318}, {41, 305}},
        .summary = "Összesen 2 program, 5 blokk: 3 O, 1 J, 1 X"};
    writeTapeMap(map, dir.path("rec.svg"));
    const Bytes written = readFile(dir.path("rec.svg"));
    EXPECT_EQ(std::string(written.begin(), written.end()), tapeMapSvg(map));
    EXPECT_EQ(captured([&] { return writeTapeMap(map, dir.path("missing/rec.svg")), 0; }),
              (RunResult{1, "Nem sikerült megnyitni a file-t: " + dir.path("missing/rec.svg") + "\n"}));

    const std::vector<Element> elements = elementsOf(tapeMapSvg(map));
    std::string marks;  // the blocks' marks in the order drawn: X last, on top
    for (const Element& bar : withClass(elements, "block ")) marks += bar.what.back();
    EXPECT_EQ(marks, "OOOJX");
    // Each class's elements in the order drawn (the blocks by mark, X on top):
    // x and width where not negative, the text where not empty.
    // clang-format off
    const std::tuple<std::string, double, double, std::string> expected[] = {
        {"block O", 80, 30, "2.000-4.000 mp  névblokk  O\\nfelvétel: A+B"},
        {"block O", 650, 1, "40.000-40.020 mp  adatblokk  O\\nfelvétel: A+B"},
        {"block O", 950, 45, "60.000-63.000 mp  adatblokk  O\\nfelvétel: A+B"},
        {"block J", 200, 45, "10.000-13.000 mp  adatblokk  J  két olvasás egyezik\\nfelvétel: A"},
        {"block X", 350, 60, "20.000-24.000 mp  adatblokk  X  jelkiesés 21.200 másodpercnél\\nfelvétel: A"},
        {"program", 80, 420, "01_HELLO.ptp: 2.000-30.000 mp"},
        {"program", 650, 450, "02_A&B<C>\uFFFD.ptp: 40.000-70.000 mp"},
        {"program-label", 80, -1, "01_HELLO.ptp"}, {"program-label", -1, -1, "02_A&B<C>\uFFFD.ptp"},
        {"dropout", 368, -1, "jelkiesés: 21.200-21.400 mp"}, {"blockless", 530, 90, ""},
        {"take", -1, -1, ""}, {"take unmatched", -1, -1, ""},
        {"name", -1, -1, "programok"}, {"name", -1, -1, "blokkok"}, {"name", -1, -1, "jelkiesés, szalagjel blokk nélkül"},
        {"name", -1, -1, "A: rec.wav — szint"}, {"name", -1, -1, "B: masik.wav — nem illeszkedik, nem adott blokkot"},
        {"name", -1, -1, "félhullám (µs)"}, {"summary", -1, -1, "Összesen 2 program, 5 blokk: 3 O, 1 J, 1 X"}};
    // clang-format on
    std::map<std::string, std::size_t> seen;
    for (const auto& [what, x, width, text] : expected) {
        const std::vector<Element> drawn = withClass(elements, what);
        ASSERT_LT(seen[what], drawn.size()) << what;
        const Element& element = drawn[seen[what]++];
        EXPECT_NEAR(element.x, x < 0 ? element.x : x, 1) << what << " " << text;
        EXPECT_NEAR(element.width, width < 0 ? element.width : width, 0.5) << what << " " << text;
        EXPECT_EQ(element.text, text.empty() ? element.text : text);
    }
    for (const auto& [what, count] : seen) EXPECT_EQ(withClass(elements, what).size(), count) << what;
}

TEST(TapeMap, EnvelopeReducesToTheColumnsItsValuesTouch) {
    // An axis of 1.5 s: a column is a millisecond.
    const MapAxis axis{1.5};
    std::vector<float> values(4000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
    // Two values a millisecond: column c holds 2c and 2c + 1. Half a second
    // later and twice as fast: four values a column from column 500. A value
    // every 3 ms fills three columns. An empty column holds 0, 0 and no value.
    const std::vector<ColumnRange> even = levelColumns({values.data(), 3000, 0.5, 1000}, axis),
                                   later = levelColumns({values.data(), 3000, 0.5, 1000, 0.5, 2}, axis),
                                   wide = levelColumns({values.data(), 10, 3, 1000}, axis);
    // columns, column, least, most, count
    // clang-format off
    const std::tuple<const std::vector<ColumnRange>*, std::size_t, double, double, int> cases[] = {
        {&even, 7, 14, 15, 2}, {&even, 1499, 2998, 2999, 2}, {&later, 499, 0, 0, 0}, {&later, 500, 0, 3, 4},
        {&later, 1249, 2996, 2999, 4}, {&later, 1250, 0, 0, 0}, {&wide, 2, 0, 0, 1}, {&wide, 3, 1, 1, 1},
        {&wide, 29, 9, 9, 1}, {&wide, 30, 0, 0, 0}};
    // clang-format on
    for (const auto& [columns, at, least, most, count] : cases) {
        const ColumnRange& column = (*columns)[at];
        EXPECT_EQ(std::tuple(column.least, column.most, column.count), std::tuple(least, most, count)) << at;
    }
}

TEST(TapeMap, TextIsEscapedAndRepairedAndNumbersAreShort) {
    EXPECT_EQ(xmlText("A&B<C>\"'é\x01\xFF\xED\xA0\x80\xC0\xAF\xE0\x80\xAF\tőrző"),
              "A&amp;B&lt;C&gt;&quot;&apos;é\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\tőrző");
    EXPECT_EQ(characterCount("félhullám (µs)"), 14);
    for (const auto& [value, text] :
         {std::pair{3.0, "3"}, {1549.96, "1550"}, {-12.34, "-12.3"}, {-0.04, "0"}, {NAN, "0"}})
        EXPECT_EQ(svgNumber(value), text) << value;
}

TEST(TapeMap, AnHourOfFortyProgramsStaysSmallAndReadable) {
    // 60 minutes at 48 kHz, a value per 32 samples; 40 programs of 15 blocks.
    std::vector<float> envelope(60 * 60 * 48000 / 32);
    for (std::size_t i = 0; i < envelope.size(); ++i)
        envelope[i] = 0.2f + 0.1f * static_cast<float>(i % 7) / 7;
    TapeMap map{.durationSeconds = 3600,
                .takes = {{"A", "hour.wav", {envelope.data(), std::ssize(envelope), 32, 48000}, {}, true}}};
    for (int program = 0; program < 40; ++program) {
        const double start = 5 + program * 89.5;
        const std::string number = std::string(program < 9 ? "0" : "") + std::to_string(program + 1);
        map.programs.push_back({{start, start + 80}, number + "_PROGRAM" + std::to_string(program) + ".ptp"});
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
    EXPECT_EQ(withClass(elements, "block ").size(), 600u);
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
        EXPECT_GE(label.x, rowEnds[label.y]) << label.text;  // 0 in a row's first
        rowEnds[label.y] = label.x + 6.0 * static_cast<double>(characterCount(label.text));
    }
}

TEST(TapeMap, TenSecondsGetATickEverySecondAndCloseNamesTwoRows) {
    // 85 pixels apart: less than a name of 12 letters of 11 px (82 px) and the 6 px between labels need.
    const std::vector<Element> elements = elementsOf(tapeMapSvg(
        {.durationSeconds = 10, .programs = {{{1, 1.4}, "01_HELLO.ptp"}, {{1 + 85 / 150.0, 9}, "02_WORLD.ptp"}}}));
    const std::vector<Element> ticks = withClass(elements, "tick");
    ASSERT_EQ(ticks.size(), 11u);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].text, "0:" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        EXPECT_NEAR(ticks[i].x, 50 + 150.0 * static_cast<double>(i), 0.05);
    }
    const std::vector<Element> labels = withClass(elements, "program-label");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[1].text, "02_WORLD.ptp");
    EXPECT_NEAR(labels[1].x, 285, 1);
    EXPECT_NE(labels[0].y, labels[1].y);
}

TEST(TapeMap, MapsThatMakeNoSenseGiveFiniteCoordinatesOnThePlot) {
    const std::vector<float> envelope = {0.5f, NAN, 0.25f};
    // No duration, nothing in it, a take without a time base.
    const TapeMap empty{.takes = {{"A", "a.wav", {envelope.data(), 3, 0, 0, NAN, 0}, {}, true}}};
    // Marks off the axis, backwards or not numbers, a take of speed 0.
    const TapeMap odd{
        .durationSeconds = 10,
        .takes = {{"A", "a.wav", {envelope.data(), 3, 32, 48000, -5, 0}, {{NAN, 1e300}}, true},
                  {"B", "b.wav", {nullptr, 1000, 32, 48000}, {}, false}},
        .programs = {{{NAN, INFINITY}, "01_X.ptp"}},
        .blocks = {block(50, 60, 'X', "túl"), block(8, 2, 'J', "visszafelé"), block(-INFINITY, NAN, '?', "")},
        .dropouts = {{20, 30}},
        .blockless = {{-5, -1}},
        .halfWave = {{5, 0}, {6, NAN}, {NAN, 312}, {7, 1e308}, {7.001, 1e308}}};
    for (const TapeMap& map : {empty, odd}) {
        const std::string svg = tapeMapSvg(map);
        for (const char* word : {"nan", "inf"}) EXPECT_EQ(svg.find(word), std::string::npos) << word;
        for (const Element& e : elementsOf(svg))  // every bar but the lanes
            EXPECT_TRUE(e.tag != "rect" || e.what == "lane" || (e.x >= 50 && e.x + e.width <= 1550))
                << e.what << " " << e.x << " " << e.width;
    }
}

}  // namespace

// A rescue run writes the picture beside the cleaned copy, named like it, and
// says so in the last line: one bar per block, classed by the mark the
// console printed, its title the report's line for it (an O block's, its
// place, kind and mark), at its time within a column.
TEST(TapeMap, ARescueRunDrawsEveryBlockAsItsReportHasIt) {
    const Bytes second = withChecksum(concat({{0xF2, 0, 0x20, 0x43, 40}, Bytes(40, 0x55)}));
    Tape tape{.blocks = {kNameBlock, kDataBlock, second, kEndBlock}, .T = 14, .start = 22050, .end = 22050};
    tape.set(tape.at(2, 10), 0, 1764, 0);  // a dropout of 40 ms from the second data block's tenth byte
    const RunResult run = decode(dir, tape.signal, 44100);
    EXPECT_TRUE(run.output.ends_with("\nSérüléstérkép: " + dir.path("rec/rec.svg") + "\n"));
    expectBlocks(run.output, {{kNameBlock, 'O'}, {kDataBlock, 'O'}, {{}, 'X'}, {kEndBlock, 'O'}});
    const std::string damage = expectReport(run, {"adatblokk  X  jelkiesés "})[0].substr(2);
    const Bytes svg = readFile(dir.path("rec/rec.svg"));
    std::vector<Element> bars = withClass(elementsOf({svg.begin(), svg.end()}), "block ");
    std::ranges::sort(bars, {}, &Element::x);  // drawn by mark, X on top; in tape order by place
    ASSERT_EQ(bars.size(), 4u);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Element& bar = bars[i];
        const char mark = blockLines(run.output)[i].mark;
        EXPECT_EQ(bar.what, std::string("block ") + mark);
        EXPECT_NEAR(bar.x, 50 + 1500 * std::atof(bar.text.c_str()) / (tape.signal.size() / 44100.0), 1.0);
        EXPECT_EQ(bar.text, mark == 'X' ? damage
                                        : bar.text.substr(0, bar.text.find("  ")) + "  " +
                                              blockKindName(blockKindOf(tape.blocks[i][0])) + "  O");
    }
}

// A block that the trackers' readings lost in a fall of 40 dB from its
// fourth byte to its end, and the default decoder read (the samples in the
// fall follow its cells), lies on the map as far as that decoder read it:
// to its last cell.
TEST(TapeMap, ABlockReadThroughAFallToItsEndReachesItsLastCell) {
    Tape tape{{kNameBlock, kDataBlock, kEndBlock}};
    const int size = static_cast<int>(kDataBlock.size());
    for (std::size_t n = tape.at(1, 3); n < tape.at(1, size); ++n) tape.signal[n] *= 0.01;
    const RunResult run = decode(dir, tape.signal, 44100);
    expectBlocks(run.output, {{kNameBlock, 'O'}, {kDataBlock, 'O'}, {kEndBlock, 'O'}});
    const Bytes svg = readFile(dir.path("rec/rec.svg"));
    std::vector<Element> bars = withClass(elementsOf({svg.begin(), svg.end()}), "block ");
    std::ranges::sort(bars, {}, &Element::x);
    ASSERT_EQ(bars.size(), 3u);
    const std::string& text = bars[1].text;  // its first and last second, kind and mark
    EXPECT_NEAR(std::stod(text.substr(text.find('-') + 1)), static_cast<double>(tape.at(1, size - 1, 7)) / 44100,
                0.001)
        << text;
}
