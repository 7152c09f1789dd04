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

// A wrong extension, then a malformed option: refused before any file is touched.
TEST(CommandLine, RefusesBadArgumentsBeforeAnyFileIsTouched) {
    ScratchDir dir;
    const std::string tape = dir.path("x.ptp");
    writeFile(tape, {});
    // clang-format off
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"rec"}, kBadExtension}, {{"rec.old.wav"}, kBadExtension}, {{"./rec.wav"}, kBadExtension},
        {{"dir.old/rec.wav"}, kBadExtension}, {{"rec.wavx"}, kBadExtension}, {{".wav"}, kBadExtension},
        {{"tapes/.wav", "-s", "624"}, kBadExtension}, {{".PTP"}, kBadExtension},
        {{tape, "-s"}, "Nem teljes opció: -s\n"}, {{tape, "-S624"}, "Ismeretlen opció: -S624\n"},
        {{tape, "624"}, "Ismeretlen opció: 624\n"}, {{tape, "-"}, "Ismeretlen opció: -\n"},
        {{tape, "-m", "8", "-b"}, "Nem teljes opció: -b\n"},
    };
    // clang-format on
    for (const auto& [arguments, message] : cases) {
        const RunResult run = runKazettor(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, message);
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

// Run as a process, in a folder whose paths run to 4000 characters: paths
// have no length limit of their own.
TEST(CommandLine, ProcessStatusesAndWriteFailures) {
    ScratchDir dir;
    std::string folder = dir.path("");
    while (folder.size() < 3790) folder += std::string(200, 'd') + "/";
    folder += std::string(3994 - folder.size(), 'e') + "/";
    std::filesystem::create_directories(folder);
    writeFile(folder + "t.PTP", kImage);  // the extension in any case
    ASSERT_EQ((folder + "t.PTP").size(), 4000u);
    EXPECT_EQ(runBinary("").status, 1);
    EXPECT_EQ(runBinary(folder + "t.PTP").status, 0);
    EXPECT_EQ(runBinary(folder + "t.wav").status, 0);
    EXPECT_EQ(readFile(folder + "t/01_AB.ptp"), kImage);
    for (const char* input : {"none.wav", "none.ptp"}) {
        const RunResult missing = runBinary(folder + input);
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.output, "Nem sikerült megnyitni a file-t: " + folder + input + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "none") || std::filesystem::exists(folder + "none.wav"));
    // A full disk is reported, not passed off as success.
    std::filesystem::remove(folder + "t.wav");
    std::filesystem::create_symlink("/dev/full", folder + "t.wav");
    const RunResult full = runBinary(folder + "t.PTP");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.output, "Nem sikerült írni a file-t: " + folder + "t.wav\n");
}
