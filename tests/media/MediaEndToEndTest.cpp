// End to end: generated tones opened and played through the media channel on the real engine
// (manual backend), checking what the mix holds; and bad files, which must give an error text or
// play and then report "stopped", never crash or hang.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "media/MediaChannel.h"
#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko {
namespace {

constexpr int kRate = 48000;

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { audio::Engine::instance().startBackend("manual:48000"); }
    void TearDown() override { MediaChannel::closeAllChannels(); }

    // Renders MS milliseconds of the master mix.
    static std::vector<float> render(int ms) {
        const int frames = kRate * ms / 1000;
        std::vector<float> out(static_cast<std::size_t>(frames) * 2);
        audio::Engine::instance().renderManual(out.data(), frames);
        return out;
    }
    // Renders until ALIAS reports anything but "playing", at most LIMIT_MS; the mode at the end.
    static std::string playToEnd(const std::string& alias, int limitMs = 10000) {
        for (int t = 0; t < limitMs; t += 100) {
            const std::string mode = MediaChannel::mode(alias);
            if (mode != "playing") return mode;
            render(100);
        }
        return MediaChannel::mode(alias);
    }
    std::string tone(const std::string& name, double seconds, double frequency = 440.0) {
        const std::string path = dir.file(name);
        test::ToneSpec spec;
        spec.seconds = seconds;
        spec.frequency = frequency;
        test::writeToneWav(path, spec);
        return path;
    }

    test::TempDir dir;
};

TEST_F(EndToEnd, ATonePlaysThroughTheChannelAndIsHeard) {
    const std::string path = tone("tone.wav", 1.0);
    ASSERT_EQ(MediaChannel::open(0, "voice0", path, "mpegvideo"), "Success");
    EXPECT_EQ(MediaChannel::lengthMs("voice0"), 1000);
    EXPECT_EQ(MediaChannel::lengthFrames("voice0"), 1000);
    EXPECT_EQ(MediaChannel::frameRate("voice0"), 1000);
    EXPECT_EQ(MediaChannel::mode("voice0"), "stopped");
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 100);
    EXPECT_EQ(MediaChannel::getSpeed("voice0"), 100);

    EXPECT_EQ(MediaChannel::play("voice0"), "Success");
    EXPECT_EQ(MediaChannel::mode("voice0"), "playing");
    const std::vector<float> mix = render(500);
    EXPECT_GT(test::rms(mix, 0, kRate / 2), 0.2);  // a 0.5 amplitude sine has an RMS near 0.35
    EXPECT_NEAR(test::zeroCrossingFrequency(mix, 0, kRate / 2, kRate), 440.0, 10.0);
    EXPECT_NEAR(MediaChannel::position("voice0"), 500, 25);

    EXPECT_EQ(playToEnd("voice0"), "stopped");
    EXPECT_EQ(MediaChannel::position("voice0"), 1000);
    EXPECT_LT(test::rms(render(100), 0, kRate / 10), 1e-4);
}

TEST_F(EndToEnd, PauseResumeSeekVolumeAndClose) {
    const std::string path = tone("tone.wav", 2.0);
    ASSERT_EQ(MediaChannel::open(0, "voice5", path, "MPEGvideo"), "Success");
    ASSERT_EQ(MediaChannel::play("voice5"), "Success");
    render(300);
    EXPECT_EQ(MediaChannel::pause("voice5"), "Success");
    EXPECT_EQ(MediaChannel::mode("voice5"), "paused");
    render(10);  // the pause fades out over 5 ms
    const int32_t held = MediaChannel::position("voice5");
    EXPECT_LT(test::rms(render(200), 0, kRate / 5), 1e-4);
    EXPECT_EQ(MediaChannel::position("voice5"), held);
    EXPECT_EQ(MediaChannel::resume("voice5"), "Success");
    EXPECT_GT(test::rms(render(100), 0, kRate / 10), 0.2);

    EXPECT_EQ(MediaChannel::setVolume("voice5", "", 0), "Success");
    EXPECT_EQ(MediaChannel::getVolume("voice5"), 0);
    std::vector<float> quiet = render(200);
    EXPECT_LT(test::rms(quiet, kRate / 10, kRate / 10), 1e-3);  // after any ramp, silence

    EXPECT_EQ(MediaChannel::setVolume("voice5", "", 100), "Success");
    EXPECT_EQ(MediaChannel::seek("voice5", 1500), "Success");
    EXPECT_EQ(MediaChannel::mode("voice5"), "stopped");
    EXPECT_EQ(MediaChannel::position("voice5"), 1500);

    EXPECT_EQ(MediaChannel::close("voice5"), "Success");
    EXPECT_EQ(MediaChannel::mode("voice5"), "ERROR");
    EXPECT_EQ(MediaChannel::position("voice5"), -1);
    EXPECT_EQ(MediaChannel::frameRate("voice5"), -1);
}

TEST_F(EndToEnd, AwkwardNamesPlayThroughQuotedAndUnquotedCommands) {
    for (const std::string name : {"My \"Best\" Song.wav", "Café Olé | 100% live.wav", "x y.wav"}) {
        SCOPED_TRACE(name);
        const std::string path = tone(name, 0.5);
        ASSERT_EQ(MediaChannel::open(0, "voice1", path, "mpegvideo"), "Success");
        EXPECT_EQ(MediaChannel::lengthMs("voice1"), 500);
        MediaChannel::close("voice1");

        // The immediate-play form: the short path without quotes.
        ASSERT_EQ(mci::mciSendString("close voice2"), mci::kErrNotOpen);
        ASSERT_EQ(mci::mciSendString("open " + shortPath(path) + " type MPEGvideo alias voice2"), 0u);
        ASSERT_EQ(mci::mciSendString("play voice2"), 0u);
        EXPECT_GT(test::rms(render(200), 0, kRate / 5), 0.2);
        EXPECT_EQ(playToEnd("voice2"), "stopped");
        MediaChannel::close("voice2");
    }
}

TEST_F(EndToEnd, BadFilesGiveAnErrorTextOrPlayAndStop) {
    const std::string missing = dir.file("missing.mp3");
    EXPECT_EQ(mci::mciSendString("open \"" + missing + "\" type mpegvideo alias bad"), mci::kErrFileNotFound);
    EXPECT_EQ(mci::mciSendString("open \"" + dir.path() + "\" type mpegvideo alias bad"), mci::kErrNotAFile);
    test::writeFile(dir.file("empty.mp3"), "");
    EXPECT_EQ(mci::mciSendString("open \"" + dir.file("empty.mp3") + "\" type mpegvideo alias bad"),
              mci::kErrCannotPlayFile);
    // Through the channel, a failure is the error text, never "Success".
    EXPECT_EQ(MediaChannel::open(0, "bad", missing, "mpegvideo"),
              mci::mciGetErrorString(mci::kErrFileNotFound));

    std::mt19937 random(7);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    test::writeFile(dir.file("noise.mp3"), noise);
    // A WAV cut off in the middle of its data.
    const std::string whole = test::readFile(tone("whole.wav", 1.0));
    test::writeFile(dir.file("cut.wav"), whole.substr(0, whole.size() / 3));
    test::writeFile(dir.file("header only.wav"), whole.substr(0, 44));

    for (const std::string name : {"noise.mp3", "cut.wav", "header only.wav"}) {
        SCOPED_TRACE(name);
        const std::string reply = MediaChannel::open(0, "bad", dir.file(name), "mpegvideo");
        if (reply != "Success") {
            EXPECT_FALSE(reply.empty());
            continue;
        }
        const std::string play = MediaChannel::play("bad");
        if (play == "Success") {
            EXPECT_EQ(playToEnd("bad"), "stopped");
        }
        EXPECT_EQ(MediaChannel::close("bad"), "Success");
    }
}

TEST_F(EndToEnd, AFileDeletedWhilePlayingPlaysOnOrStops) {
    const std::string path = tone("doomed.wav", 1.0);
    ASSERT_EQ(MediaChannel::open(0, "voice7", path, "mpegvideo"), "Success");
    ASSERT_EQ(MediaChannel::play("voice7"), "Success");
    render(100);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(playToEnd("voice7"), "stopped");
    EXPECT_EQ(MediaChannel::close("voice7"), "Success");
    EXPECT_EQ(MediaChannel::open(0, "voice7", path, "mpegvideo"), mci::mciGetErrorString(mci::kErrFileNotFound));
}

TEST_F(EndToEnd, CloseAllClosesEveryChannel) {
    const std::string path = tone("t.wav", 0.5);
    for (const std::string alias : {"voice0", "voice10", "voice110", "newvoice"}) {
        ASSERT_EQ(MediaChannel::open(0, alias, path, "mpegvideo"), "Success");
        ASSERT_EQ(MediaChannel::play(alias), "Success");
    }
    EXPECT_EQ(MediaChannel::closeAllChannels(), "Success");
    for (const std::string alias : {"voice0", "voice10", "voice110", "newvoice"}) {
        EXPECT_EQ(MediaChannel::mode(alias), "ERROR");
    }
    EXPECT_LT(test::rms(render(100), 0, kRate / 10), 1e-4);
}

}  // namespace
}  // namespace brisko
