#include <gtest/gtest.h>

#include <cstring>

#include "cli/option_table.h"
#include "support/test_support.h"

namespace {

const char* kBadExtension =
    "Az első paraméter egy file kell legyen, aminek a kiterjesztése .wav vagy .ptp\n";

std::string slot(char letter) {
    const char* value = lookupOption(letter);
    return value == nullptr ? "<empty>" : value;
}

}  // namespace

TEST(CommandLine, WithoutInputPrintsUsageWithProgramName) {
    RunResult run = runKazettor({});
    EXPECT_EQ(run.status, 1);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = run.output.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(run.output.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[0], "kazettor v. 1.0");
    EXPECT_EQ(lines[3], "  kazettor input.wav [opciók]");
    EXPECT_EQ(lines[6], "  kazettor input.ptp [opciók]");
    EXPECT_EQ(lines[21], "  a wav file hullámformájából. Ilyen esetben a \"problémás\" programot");
    EXPECT_EQ(lines[34], "     8: 8000 Hz (ez a default érték), 11: 11025 Hz, 16: 16000 Hz,");
    EXPECT_EQ(lines[49], "");
}

TEST(CommandLine, RefusesInputsWithoutExactExtension) {
    for (const char* input : {"rec", "rec.old.wav", "./rec.wav", "dir.old/rec.wav", "rec.wavx", "rec.pt",
                              ".wav", "tapes/.wav", ".PTP"}) {
        RunResult run = runKazettor({input, "-s", "624"});
        EXPECT_EQ(run.status, 1) << input;
        EXPECT_EQ(run.output, kBadExtension) << input;
    }
}

TEST(CommandLine, ReportsMalformedOptionsBeforeTouchingAnyFile) {
    ScratchDir dir;
    const std::string input = dir.path("x.ptp");
    writeFile(input, {});
    struct Case {
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {{"-s"}, "Nem teljes opció: -s\n"},
        {{"-S624"}, "Ismeretlen opció: -S624\n"},
        {{"624"}, "Ismeretlen opció: 624\n"},
        {{"-"}, "Ismeretlen opció: -\n"},
        {{"-m", "8", "-b"}, "Nem teljes opció: -b\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{input};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        RunResult run = runKazettor(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, c.message);
        EXPECT_FALSE(fileExists(dir.path("x.wav")));
    }
}

TEST(CommandLine, FillsOptionSlotsFromEitherSyntax) {
    // The input does not exist: the converter reports that after the options are in place.
    runKazettor({"/nonexistent/rec.wav", "-s624", "-jH", "-x", "5"});
    EXPECT_EQ(slot('s'), "624");
    EXPECT_EQ(slot('j'), "H");
    EXPECT_EQ(slot('x'), "5");
    runKazettor({"/nonexistent/rec.wav", "-s", "100", "-s", "200", "-m", "-5"});
    EXPECT_EQ(slot('s'), "200");
    EXPECT_EQ(slot('m'), "-5");
    EXPECT_EQ(slot('j'), "<empty>");
    runKazettor({"/nonexistent/rec.wav", "-j", "-s624"});
    EXPECT_EQ(slot('j'), "-s624");
    EXPECT_EQ(slot('s'), "<empty>");
}

TEST(CommandLine, ReadsOptionNumbersLikeAtoi) {
    EXPECT_EQ(optionNumber("  -42x"), -42);
    EXPECT_EQ(optionNumber("+7"), 7);
    EXPECT_EQ(optionNumber("44.1"), 44);
    EXPECT_EQ(optionNumber("abc"), 0);
    EXPECT_EQ(optionNumber("- 5"), 0);
    EXPECT_EQ(optionNumber("99999999999999999999999"), INT64_MAX);
}

TEST(CommandLine, ExtensionCaseSelectsTheDirection) {
    ScratchDir dir;
    writeFile(dir.path("x.PTP"), {});
    EXPECT_EQ(runKazettor({dir.path("x.PTP")}).status, 0);
    EXPECT_TRUE(fileExists(dir.path("x.wav")));
    writeFile(dir.path("rec.Wav"), wavFile(8000, 8, {}));
    EXPECT_EQ(runKazettor({dir.path("rec.Wav")}).status, 0);
    EXPECT_TRUE(fileExists(dir.path("rec/rec.wav")));
}

TEST(CommandLine, ProcessExitStatuses) {
    ScratchDir dir;
    writeFile(dir.path("t.ptp"), {});
    EXPECT_EQ(runBinary("").status, 1);
    EXPECT_EQ(runBinary(dir.path("t.ptp")).status, 0);
    RunResult missing = runBinary(dir.path("none.wav"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "Nem sikerült megnyitni a file-t: " + dir.path("none.wav") + "\n");
}

TEST(CommandLine, WriteFailureIsReportedNotPassedAsSuccess) {
    ScratchDir dir;
    writeFile(dir.path("t.ptp"), {});
    std::filesystem::create_symlink("/dev/full", dir.path("t.wav"));
    RunResult run = runBinary(dir.path("t.ptp"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Nem sikerült írni a file-t: " + dir.path("t.wav") + "\n");
}
