// Degraded recordings of one small program (tests/fixtures, made as its
// README says) decode exactly: every block marked O, and the program's file
// byte for byte the source image.
#include "support/test_support.h"

TEST(DegradedRecording, DecodesToItsSourceImage) {
    const std::string fixtures = KAZETTOR_FIXTURES_DIR;
    const Bytes image = readFile(fixtures + "/proba.ptp");
    ASSERT_FALSE(image.empty());
    ScratchDir dir;  // the outputs go beside the copy
    for (const std::string name : {"hiss", "lowpass", "slow", "inverted", "dropout"}) {
        // A recording missing or empty leaves no program file to match the image.
        const RunResult run = runOn(dir.path(name + ".wav"), readFile(fixtures + "/" + name + ".wav"));
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.output.find(" X"), std::string::npos) << name << "\n" << run.output;
        EXPECT_EQ(readFile(dir.path(name + "/01_PROBA.ptp")), image) << name << "\n" << run.output;
    }
}
