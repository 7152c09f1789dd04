// Degraded recordings of one small program (tests/fixtures, made as its
// README says) decode exactly: every block marked O, and the program's file
// byte for byte the source image.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

class DegradedRecording : public testing::TestWithParam<const char*> {};

TEST_P(DegradedRecording, DecodesToItsSourceImage) {
    const std::string fixtures = KAZETTOR_FIXTURES_DIR, name = GetParam();
    const Bytes image = readFile(fixtures + "/proba.ptp");
    const Bytes recording = readFile(fixtures + "/" + name + ".wav");
    ASSERT_FALSE(image.empty());
    ASSERT_FALSE(recording.empty());
    ScratchDir dir;  // the outputs go beside the copy
    writeFile(dir.path(name + ".wav"), recording);
    const RunResult run = runKazettor({dir.path(name + ".wav")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.find(" X"), std::string::npos) << run.output;
    EXPECT_EQ(readFile(dir.path(name + "/01_PROBA.ptp")), image) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DegradedRecording,
                         testing::Values("hiss", "lowpass", "slow", "inverted", "dropout"),
                         [](const testing::TestParamInfo<const char*>& fixture) { return fixture.param; });

}  // namespace
