// The "mpegvideo" device through command strings on the real engine (manual backend): ranges,
// seeks, play windows, per-side volume and speed, checked against the rendered mix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::mci {
namespace {

constexpr int kRate = 48000;

class MpegVideo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { audio::Engine::instance().startBackend("manual:48000"); }
    void SetUp() override {
        path = dir.file("tone 2s.wav");
        test::ToneSpec spec;
        spec.seconds = 2.0;
        test::writeToneWav(path, spec);
        // No type: a file opens on the default file device.
        ASSERT_EQ(mciSendString("open \"" + path + "\" alias m"), kOk);
    }
    void TearDown() override { mciSendString("close all"); }

    std::string ask(const std::string& command) {
        std::string reply;
        const MciError e = mciSendString(command, &reply);
        EXPECT_EQ(e, kOk) << command << ": " << mciGetErrorString(e);
        return reply;
    }
    static std::vector<float> render(int ms) {
        std::vector<float> out(static_cast<std::size_t>(kRate * ms / 1000) * 2);
        audio::Engine::instance().renderManual(out.data(), kRate * ms / 1000);
        return out;
    }

    test::TempDir dir;
    std::string path;
};

TEST_F(MpegVideo, LengthsPositionsAndRanges) {
    EXPECT_EQ(ask("status m length"), "2000");
    ask("set m time format frames");
    EXPECT_EQ(ask("status m length"), "2000");  // frames are milliseconds
    EXPECT_EQ(ask("status m mode"), "stopped");
    EXPECT_EQ(ask("status m position"), "0");
    EXPECT_EQ(ask("status m volume"), "1000");
    EXPECT_EQ(ask("status m speed"), "1000");
    EXPECT_EQ(ask("status m media present"), "true");
    EXPECT_EQ(mciSendString("set m time format tmsf"), kErrUnsupportedTimeFormat);
    EXPECT_EQ(mciSendString("play m from 2001"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("play m from 0 to 2001"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("play m from 500 to 400"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("play m from -5"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("seek m to 2001"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("seek m to -1"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("set m speed 0"), kErrOutOfRange);
    EXPECT_EQ(mciSendString("setaudio m volume to 1001"), kErrOutOfRange);
    EXPECT_EQ(ask("status m mode"), "stopped");  // refused commands did not start anything
    EXPECT_EQ(mciSendString("open \"" + path + "\" alias M"), kErrAliasInUse);

    ask("seek m to end");
    EXPECT_EQ(ask("status m position"), "2000");
    ask("seek m to 750");
    EXPECT_EQ(ask("status m position"), "750");
    ask("seek m to start");
    EXPECT_EQ(ask("status m position"), "0");
}

TEST_F(MpegVideo, PlayWindowStopsAtItsEnd) {
    ask("play m from 200 to 400");
    EXPECT_EQ(ask("status m mode"), "playing");
    const std::vector<float> mix = render(400);
    EXPECT_EQ(ask("status m mode"), "stopped");
    EXPECT_EQ(ask("status m position"), "400");
    EXPECT_GT(test::rms(mix, 0, kRate / 10), 0.2);                 // sound during the window
    EXPECT_LT(test::rms(mix, kRate * 3 / 10, kRate / 10), 1e-4);  // silence after it
    // Play without "from" continues from where it stopped.
    ask("play m to 500");
    render(200);
    EXPECT_EQ(ask("status m position"), "500");
}

TEST_F(MpegVideo, LeftAndRightVolumeAreSeparate) {
    ask("setaudio m left volume to 0");
    EXPECT_EQ(ask("status m left volume"), "0");
    EXPECT_EQ(ask("status m right volume"), "1000");
    ask("play m");
    const std::vector<float> mix = render(300);
    double left = 0, right = 0;
    for (std::size_t i = kRate / 10 * 2; i < mix.size(); i += 2) {
        left += mix[i] * mix[i];
        right += mix[i + 1] * mix[i + 1];
    }
    EXPECT_LT(left, right / 1000.0);
    EXPECT_GT(right, 0.0);
}

TEST_F(MpegVideo, SpeedChangesHowFastMediaTimeRuns) {
    ask("set m speed 2000");
    EXPECT_EQ(ask("status m speed"), "2000");
    ask("play m");
    render(400);
    const int position = std::stoi(ask("status m position"));
    EXPECT_NEAR(position, 800, 40);
}

}  // namespace
}  // namespace brisko::mci
