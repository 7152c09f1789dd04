#include <gtest/gtest.h>

#include <algorithm>

#include "cli/option_table.h"
#include "support/test_support.h"

namespace {

const char* kBadExtension = "Az első paraméter egy file kell legyen, aminek a kiterjesztése .wav vagy .ptp\n";

std::string slot(char letter) {
    const char* value = lookupOption(letter);
    return value == nullptr ? "-" : value;
}

}  // namespace

TEST(CommandLine, WithoutInputPrintsTheUsageWithTheProgramName) {
    RunResult run = runKazettor({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 50);
    EXPECT_EQ(run.output.rfind("kazettor v. 1.0\n\nHasználat:\n  kazettor input.wav [opciók]\n", 0), 0u);
    EXPECT_NE(run.output.find("\n  kazettor input.ptp [opciók]\n"), std::string::npos);
    EXPECT_TRUE(run.output.ends_with("értéket használja.\n\n"));
}

TEST(CommandLine, RefusesInputsWithoutExactlyOneExtension) {
    for (const char* input :
         {"rec", "rec.old.wav", "./rec.wav", "dir.old/rec.wav", "rec.wavx", ".wav", "tapes/.wav", ".PTP"}) {
        EXPECT_EQ(runKazettor({input, "-s", "624"}).output, kBadExtension) << input;
    }
}

TEST(CommandLine, MalformedOptionsEndTheRunBeforeAnyFileIsTouched) {
    ScratchDir dir;
    writeFile(dir.path("x.ptp"), {});
    // clang-format off
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-s"}, "Nem teljes opció: -s\n"}, {{"-S624"}, "Ismeretlen opció: -S624\n"},
        {{"624"}, "Ismeretlen opció: 624\n"}, {{"-"}, "Ismeretlen opció: -\n"},
        {{"-m", "8", "-b"}, "Nem teljes opció: -b\n"},
    };
    // clang-format on
    for (const auto& [options, message] : cases) {
        std::vector<std::string> arguments{dir.path("x.ptp")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        EXPECT_EQ(runKazettor(arguments).output, message);
        EXPECT_FALSE(std::filesystem::exists(dir.path("x.wav")));
    }
}

TEST(CommandLine, FillsOptionSlotsFromEitherSyntax) {
    // The input does not exist; the converter reports that once the options are in place.
    runKazettor({"/nonexistent/rec.wav", "-s624", "-jH", "-x", "5"});
    EXPECT_EQ(slot('s') + slot('j') + slot('x'), "624H5");
    runKazettor({"/nonexistent/rec.wav", "-s", "100", "-s", "200", "-m", "-5"});
    EXPECT_EQ(slot('s') + slot('m') + slot('j'), "200-5-");
    runKazettor({"/nonexistent/rec.wav", "-j", "-s624"});
    EXPECT_EQ(slot('j') + slot('s'), "-s624-");
    EXPECT_EQ(optionNumber("  -42x") + optionNumber("44.1") + optionNumber("abc") + optionNumber("- 5"), 2);
    EXPECT_EQ(optionNumber("99999999999999999999999"), INT64_MAX);
}

TEST(CommandLine, ProcessStatusesAndWriteFailures) {
    ScratchDir dir;
    writeFile(dir.path("t.PTP"), {});  // the extension in any case
    EXPECT_EQ(runBinary("").status, 1);
    EXPECT_EQ(runBinary(dir.path("t.PTP")).status, 0);
    RunResult missing = runBinary(dir.path("none.wav"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "Nem sikerült megnyitni a file-t: " + dir.path("none.wav") + "\n");
    // A full disk is reported, not passed off as success.
    std::filesystem::remove(dir.path("t.wav"));
    std::filesystem::create_symlink("/dev/full", dir.path("t.wav"));
    RunResult full = runBinary(dir.path("t.PTP"));
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.output, "Nem sikerült írni a file-t: " + dir.path("t.wav") + "\n");
}

// Paths have no length limit of their own: 4000 characters work both ways.
TEST(CommandLine, LongPathsWork) {
    ScratchDir dir;
    std::string folder = dir.path("");
    while (folder.size() < 3990 - 200) folder += std::string(200, 'd') + "/";
    folder += std::string(3994 - folder.size(), 'e');
    std::filesystem::create_directories(folder);
    ASSERT_EQ((folder + "/x.ptp").size(), 4000u);
    writeFile(folder + "/x.ptp", kImage);
    ASSERT_EQ(runKazettor({folder + "/x.ptp"}).status, 0);
    EXPECT_EQ(runKazettor({folder + "/x.wav"}).status, 0);
    EXPECT_EQ(readFile(folder + "/x/01_AB.ptp"), kImage);
}
