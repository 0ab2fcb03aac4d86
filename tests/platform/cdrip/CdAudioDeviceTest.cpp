// The "cdaudio" device over a disc image: every command the CD window sends, the replies in
// "tmsf" and "milliseconds", what is heard in the mix, a disc that goes away, and a drive that
// takes its time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/audio/Engine.h"
#include "platform/cdrip/CdRipLoader.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#include "tests/platform/cdrip/DiscImages.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {
namespace {

using mci::mciSendString;

class CdAudioDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cdrip::setCdRipLibraryPath(BRISKO_CDRIP_LIBRARY); }
    void SetUp() override { ASSERT_TRUE(engine.startBackend("manual:44100")); }
    void TearDown() override {
        mciSendString("close cd");
        engine.closeAll();
    }
    std::string ask(const std::string& query) {
        std::string reply;
        const mci::MciError e = mciSendString(query, &reply);
        return e == 0 ? reply : "error " + std::to_string(e);
    }
    std::vector<float> render(int frames) {
        std::vector<float> out(static_cast<std::size_t>(frames) * 2);
        engine.renderManual(out.data(), frames);
        return out;
    }

    audio::Engine& engine = audio::Engine::instance();
    TempDir dir{"cdaudio"};
};

TEST_F(CdAudioDeviceTest, TransportRepliesAndSound) {
    // 440 Hz for 1 s, 550 Hz for 2 s, 660 Hz for 1.5 s.
    const DiscImage disc = makeToneDisc(dir.path(), "disc", {1.0, 2.0, 1.5});
    writeCdRipIni(programFolder() + "/cdrip.ini", {disc.cue});
    ASSERT_EQ(0u, mciSendString("open cdaudio alias cd wait shareable"));
    EXPECT_EQ(mci::kErrAliasInUse, mciSendString("open cdaudio alias cd"));
    ASSERT_EQ(0u, mciSendString("set cd time format tmsf wait"));
    EXPECT_EQ("true", ask("status cd media present"));
    EXPECT_EQ("3", ask("status cd number of tracks wait"));
    EXPECT_EQ("00:04:38", ask("status cd length wait"));  // 338 sectors
    EXPECT_EQ("00:02:00", ask("status cd length track 2"));
    EXPECT_EQ("00:01:38", ask("status cd length track 3"));
    EXPECT_EQ("01:00:00:00", ask("status cd position"));
    EXPECT_EQ("stopped", ask("status cd mode"));
    EXPECT_EQ("error " + std::to_string(mci::kErrOutOfRange), ask("status cd length track 4"));

    // Seek to track 2 and play: the mix carries track 2's tone.
    ASSERT_EQ(0u, mciSendString("seek cd to 2"));
    EXPECT_EQ("02:00:00:00", ask("status cd position"));
    ASSERT_EQ(0u, mciSendString("play cd"));
    EXPECT_EQ("playing", ask("status cd mode"));
    const std::vector<float> heard = render(44100 / 2);
    EXPECT_NEAR(550.0, zeroCrossingFrequency(heard, 2205, 17640, 44100), 10.0);
    EXPECT_GT(rms(heard, 2205, 17640), 0.2);
    EXPECT_EQ("02:00:00:37", ask("status cd position"));  // half a second (37.5 frames) in

    // Milliseconds: five seconds back from 1.5 s is refused without harm; forward works.
    ASSERT_EQ(0u, mciSendString("set cd time format milliseconds"));
    const int64_t ms = std::stoll(ask("status cd position wait"));
    EXPECT_NEAR(1500, ms, 15);
    EXPECT_EQ(mci::kErrOutOfRange, mciSendString("play cd from " + std::to_string(ms - 5000)));
    EXPECT_EQ("playing", ask("status cd mode"));
    EXPECT_EQ("4506", ask("status cd length"));  // 338 sectors
    ASSERT_EQ(0u, mciSendString("play cd from 3200"));
    ASSERT_EQ(0u, mciSendString("set cd time format tmsf"));
    EXPECT_EQ("03:00:00:15", ask("status cd position"));
    const std::vector<float> third = render(4410);
    EXPECT_NEAR(660.0, zeroCrossingFrequency(third, 441, 3528, 44100), 15.0);

    ASSERT_EQ(0u, mciSendString("pause cd"));
    EXPECT_EQ("paused", ask("status cd mode"));
    ASSERT_EQ(0u, mciSendString("stop cd wait"));
    ASSERT_EQ(0u, mciSendString("seek cd to 3 wait"));
    EXPECT_EQ("03:00:00:00", ask("status cd position"));
    EXPECT_EQ(mci::kErrOutOfRange, mciSendString("seek cd to 4"));
    EXPECT_EQ(0u, mciSendString("play cd from 1:0:0:30"));
    EXPECT_EQ("01:00:00:30", ask("status cd position").substr(0, 11));
    // An image has no tray: the eject is refused, nothing breaks.
    EXPECT_EQ(mci::kErrUnsupportedCommand, mciSendString("set cd door open"));
    EXPECT_EQ("playing", ask("status cd mode"));

    // Playing to the end of the disc stops the device.
    ASSERT_EQ(0u, mciSendString("play cd from 3:0:1:0"));
    render(44100 / 2 + 4410);
    EXPECT_EQ("stopped", ask("status cd mode"));
}

TEST_F(CdAudioDeviceTest, DiscThatGoesAwayAndComesBack) {
    const DiscImage disc = makeToneDisc(dir.path(), "made", {1.0, 1.0});
    writeCdRipIni(programFolder() + "/cdrip.ini", {dir.file("later.cue")});
    ASSERT_EQ(0, ::rename(disc.bin.c_str(), dir.file("later.bin").c_str()));
    ASSERT_EQ(0u, mciSendString("open cdaudio alias cd wait shareable"));
    EXPECT_EQ("false", ask("status cd media present"));
    EXPECT_EQ("not ready", ask("status cd mode"));
    EXPECT_EQ(mci::kErrNoMedia, mciSendString("play cd"));

    // The disc appears: the device sees it within a second or two.
    writeFile(dir.file("later.cue"), "FILE \"later.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                     "  TRACK 02 AUDIO\r\n    INDEX 01 00:01:00\r\n");
    std::string present;
    for (int i = 0; i < 40 && present != "true"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        present = ask("status cd media present");
    }
    ASSERT_EQ("true", present);
    EXPECT_EQ("2", ask("status cd number of tracks"));
    ASSERT_EQ(0u, mciSendString("play cd"));
    render(4410);

    // And goes: playing stops, the device says there is no disc; no command hangs.
    ::unlink(dir.file("later.cue").c_str());
    for (int i = 0; i < 40 && present != "false"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        present = ask("status cd media present");
    }
    EXPECT_EQ("false", present);
    EXPECT_EQ(mci::kErrNoMedia, mciSendString("seek cd to 1"));
}

TEST_F(CdAudioDeviceTest, ASlowDriveHoldsUpNeitherOpenNorClose) {
    const DiscImage disc = makeToneDisc(dir.path(), "slow", {1.0, 1.0});
    writeCdRipIni(programFolder() + "/cdrip.ini", {disc.cue});
    ASSERT_NE(nullptr, cdrip::cdRipApi());
    holdDrives(true);
    std::thread release([] {  // whatever happens below, the drive answers after 1.5 s
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        holdDrives(false);
    });
    const auto millisecondsOf = [](const std::function<void()>& step) {
        const auto start = std::chrono::steady_clock::now();
        step();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_LT(millisecondsOf([] { EXPECT_EQ(0u, mciSendString("open cdaudio alias cd wait shareable")); }), 200.0);
    EXPECT_EQ("false", ask("status cd media present")) << "the drive has not answered yet";
    EXPECT_LT(millisecondsOf([] { EXPECT_EQ(0u, mciSendString("close cd")); }), 200.0);
    release.join();

    // The drive answers again: the disc is found.
    ASSERT_EQ(0u, mciSendString("open cdaudio alias cd wait shareable"));
    std::string present;
    for (int i = 0; i < 50 && present != "true"; ++i) {
        present = ask("status cd media present");
        if (present != "true") std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ("true", present);
}

}  // namespace
}  // namespace brisko::test
