#include "cli/option_table.h"
#include "support/test_support.h"

// The whole text (tests/fixtures/usage.txt), with the name the program was started under.
TEST(CommandLine, WithoutInputPrintsTheUsageWithTheProgramName) {
    const Bytes usage = readFile(std::string(KAZETTOR_FIXTURES_DIR) + "/usage.txt");
    EXPECT_EQ(runKazettor({}), (RunResult{1, std::string(usage.begin(), usage.end())}));
}

// A wrong extension, a malformed option, an input that cannot be opened (a
// directory is one) or an output folder that cannot be made (a file stands in
// its place; a backslash is part of a name): refused before anything is written.
TEST(CommandLine, RefusesBadArgumentsBeforeAnyFileIsTouched) {
    const char* kBadExtension =
        "Az első paraméter egy file kell legyen, aminek a kiterjesztése .wav vagy .ptp\n";
    ScratchDir dir;
    const std::string tape = dir.path("x.ptp");
    for (const char* file : {"x.ptp", "b\\d"}) writeFile(dir.path(file), {});
    for (const char* folder : {"d.wav", "d.ptp"}) std::filesystem::create_directories(dir.path(folder));
    writeFile(dir.path("b\\d.wav"), wavFile(8000, 8, {}));
    auto unknown = [](const std::string& option) { return "Ismeretlen opció: " + option + "\n"; };
    const std::string cannotOpen = "Nem sikerült megnyitni a file-t: " + dir.path("");
    // clang-format off
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"rec"}, kBadExtension}, {{"rec.old.wav"}, kBadExtension}, {{"./rec.wav"}, kBadExtension},
        {{"dir.old/rec.wav"}, kBadExtension}, {{"rec.wavx"}, kBadExtension}, {{".wav"}, kBadExtension},
        {{"tapes/.wav", "-s", "624"}, kBadExtension}, {{".PTP"}, kBadExtension}, {{"rec.wa"}, kBadExtension},
        {{tape, "-s"}, "Nem teljes opció: -s\n"}, {{tape, "-m", "8", "-b"}, "Nem teljes opció: -b\n"},
        {{tape, "-S624"}, unknown("-S624")}, {{tape, "624"}, unknown("624")}, {{tape, "-"}, unknown("-")},
        {{tape, "-{5"}, unknown("-{5")}, {{tape, "-`5"}, unknown("-`5")}, {{tape, "/s624"}, unknown("/s624")},
        {{dir.path("d.wav")}, cannotOpen + "d.wav\n"}, {{dir.path("d.ptp")}, cannotOpen + "d.ptp\n"},
        {{dir.path("b\\d.wav")}, cannotOpen + "b\\d/b\\d.wav\n"},
    };
    // clang-format on
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(runKazettor(arguments), (RunResult{1, message}));
        EXPECT_FALSE(std::filesystem::exists(dir.path("x.wav")) || std::filesystem::exists(dir.path("d")));
    }
}

// Values as atoi reads them: blanks, then a sign, then digits up to the first other character.
TEST(CommandLine, FillsOptionSlotsFromEitherSyntax) {
    auto slot = [](char c) { return std::string(lookupOption(c) == nullptr ? "-" : lookupOption(c)); };
    runKazettor({"/nonexistent/rec.wav", "-s624", "-jH", "-x", "5"});
    EXPECT_EQ(slot('s') + slot('j') + slot('x'), "624H5");
    runKazettor({"/nonexistent/rec.wav", "-s", "100", "-s", "200", "-m", "-5"});
    EXPECT_EQ(slot('s') + slot('m') + slot('j'), "200-5-");
    runKazettor({"/nonexistent/rec.wav", "-j", "-s624"});
    EXPECT_EQ(slot('j') + slot('s'), "-s624-");
    // clang-format off
    const std::pair<const char*, std::int64_t> values[] = {{"  -42x", -42}, {" \t+19", 19}, {"44.1", 44}, {"abc", 0},
        {"- 5", 0}, {"9099", 9099}, {"99999999999999999999999", INT64_MAX}};
    // clang-format on
    for (const auto& [text, value] : values) EXPECT_EQ(optionNumber(text), value) << text;
}

// Run as a process, in a folder whose paths run to 4000 characters: paths
// have no length limit of their own. A write that fails ends the run at once.
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
    for (const char* input : {"none.wav", "none.ptp"})
        EXPECT_EQ(runBinary(folder + input),
                  (RunResult{1, "Nem sikerült megnyitni a file-t: " + folder + input + "\n"}));
    EXPECT_FALSE(std::filesystem::exists(folder + "none") || std::filesystem::exists(folder + "none.wav"));
    // A full disk is reported, not passed off as success: when the decoder's
    // cleaned copy is closed, when the encoder completes its output, and at
    // once for a write past the megabyte buffer (before the bad record header
    // that follows is read).
    std::filesystem::rename(folder + "t.wav", folder + "c.wav");
    std::filesystem::create_directory(folder + "c");
    writeFile(folder + "b.ptp", {0xFF, 0x00, 0x00, 0x12, 0x34, 0x56});
    for (const auto& [arguments, output] : {std::pair<std::string, std::string>{"c.wav", "c/c.wav"},
                                            {"t.PTP", "t.wav"},
                                            {"b.ptp -m48 -b32", "b.wav"}}) {
        std::filesystem::create_symlink("/dev/full", folder + output);
        EXPECT_EQ(runBinary(folder + arguments),
                  (RunResult{1, "Nem sikerült írni a file-t: " + folder + output + "\n"}));
    }
}
