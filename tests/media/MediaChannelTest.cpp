// The media channel's exact command strings and its reply conversions, recorded through a
// scripted sender in place of the media control interface.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "media/MediaChannel.h"
#include "media/MediaChannelTesting.h"
#include "platform/mci/MciErrors.h"
#include "tests/support/TempDir.h"

namespace brisko {
namespace {

using Commands = std::vector<std::string>;

struct Answer {
    mci::MciError code = 0;
    std::string reply;
};

class ChannelCommands : public ::testing::Test {
protected:
    void SetUp() override {
        setMciSenderForTesting([this](const std::string& command, std::string* reply) {
            sent.push_back(command);
            Answer a;
            if (!answers.empty()) {
                a = answers.front();
                answers.pop_front();
            }
            if (reply != nullptr) *reply = a.reply;
            return a.code;
        });
    }
    void TearDown() override { setMciSenderForTesting(nullptr); }

    // Queues the answers of the next commands, in order; unqueued commands succeed with "".
    void answer(std::initializer_list<Answer> list) { answers.insert(answers.end(), list); }

    Commands sent;
    std::deque<Answer> answers;
};

TEST_F(ChannelCommands, CommandOperationsSendTheExactStrings) {
    test::TempDir dir;
    const std::string file = dir.file("clip.wav");
    test::writeFile(file, "x");
    EXPECT_EQ(MediaChannel::open(4242, "voice3", file, "MPEGvideo"), "Success");
    EXPECT_EQ(MediaChannel::pause("voice3"), "Success");
    EXPECT_EQ(MediaChannel::resume("voice3"), "Success");
    EXPECT_EQ(MediaChannel::stop("voice3"), "Success");
    EXPECT_EQ(MediaChannel::seek("voice3", 90000), "Success");
    EXPECT_EQ(MediaChannel::close("voice3"), "Success");
    EXPECT_EQ(MediaChannel::closeAllChannels(), "Success");
    EXPECT_EQ(MediaChannel::setSpeed("voice3", 150), "Success");
    EXPECT_EQ(MediaChannel::play("voice3", "5", "6"), "Success");
    EXPECT_EQ(sent, (Commands{
                        "open \"" + file + "\" type MPEGvideo Alias voice3 parent 4242 Style 1073741824",
                        "Pause voice3", "Resume voice3", "Stop voice3", "seek voice3 to 90000",
                        "Close voice3", "Close All", "set voice3 speed 1500", "play voice3 from 5 to 6"}));
}

TEST_F(ChannelCommands, FailuresReturnTheErrorText) {
    answer({{mci::kErrNotOpen, ""}});
    EXPECT_EQ(MediaChannel::pause("voice9"), mci::mciGetErrorString(mci::kErrNotOpen));
    answer({{mci::kErrAliasInUse, ""}});
    EXPECT_EQ(MediaChannel::open(0, "newvoice", "/no/such/file.mp3", "mpegvideo").substr(0, 7), "The spe");
    // A path that does not exist has no short form: the element is empty.
    EXPECT_EQ(sent.back(), "open \"\" type mpegvideo Alias newvoice parent 0 Style 1073741824");
}

TEST_F(ChannelCommands, PlayWithoutBoundsPlaysTheWholeClipInFrames) {
    answer({{0, ""}, {0, "180000"}});
    EXPECT_EQ(MediaChannel::play("voice0"), "Success");
    EXPECT_EQ(sent, (Commands{"set voice0 time format frames", "status voice0 length",
                              "play voice0 from 0 to 180000"}));
}

TEST_F(ChannelCommands, ModeIsTheReplyUpToTheFirstNulOrError) {
    answer({{0, "playing"}, {0, std::string("paused\0junk", 11)}, {mci::kErrNotOpen, "stale"}});
    EXPECT_EQ(MediaChannel::mode("voice1"), "playing");
    EXPECT_EQ(MediaChannel::mode("voice1"), "paused");
    EXPECT_EQ(MediaChannel::mode("voice1"), "ERROR");
    EXPECT_EQ(sent[0], "status voice1 mode");
}

TEST_F(ChannelCommands, LengthMsAlwaysReturnsToFrames) {
    answer({{0, ""}, {0, "61234"}, {0, ""}});
    EXPECT_EQ(MediaChannel::lengthMs("v"), 61234);
    answer({{0, ""}, {mci::kErrNotOpen, ""}, {0, ""}});
    EXPECT_EQ(MediaChannel::lengthMs("v"), -1);
    const Commands once{"set v time format ms", "status v length", "set v time format frames"};
    Commands twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(sent, twice);
}

TEST_F(ChannelCommands, FrameRateIsFramesPerSecondOrMinusOne) {
    // Frames are milliseconds, so both lengths agree and the rate is 1000.
    answer({{0, ""}, {0, "2999"}, {0, ""}, {0, ""}, {0, "2999"}});
    EXPECT_EQ(MediaChannel::frameRate("v"), 1000);
    EXPECT_EQ(sent.size(), 5u);
    answer({{0, ""}, {0, "1"}, {0, ""}, {0, ""}, {0, "1"}});
    EXPECT_EQ(MediaChannel::frameRate("v"), 1000);
    answer({{0, ""}, {0, "0"}, {0, ""}, {0, ""}, {0, "0"}});
    EXPECT_EQ(MediaChannel::frameRate("v"), -1);
    answer({{0, ""}, {0, "500"}, {0, ""}, {0, ""}, {mci::kErrNotOpen, ""}});
    EXPECT_EQ(MediaChannel::frameRate("v"), -1);
    // Another device's frames: 75 per second.
    answer({{0, ""}, {0, "2000"}, {0, ""}, {0, ""}, {0, "150"}});
    EXPECT_EQ(MediaChannel::frameRate("v"), 75);
}

TEST_F(ChannelCommands, VolumeIsSentTimesTenAndRangeChecked) {
    EXPECT_EQ(MediaChannel::setVolume("v", "", 101), "out of volume");
    EXPECT_EQ(MediaChannel::setVolume("v", "left", -1), "out of volume");
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(MediaChannel::setVolume("v", "", 0), "Success");
    EXPECT_EQ(MediaChannel::setVolume("v", "LEFT", 50), "Success");
    EXPECT_EQ(MediaChannel::setVolume("v", "Right", 100), "Success");
    EXPECT_EQ(MediaChannel::setVolume("v", "middle", 7), "Success");
    EXPECT_EQ(sent, (Commands{"setaudio v Volume to 0", "setaudio v LEFT Volume to 500",
                              "setaudio v Right Volume to 1000", "setaudio v Volume to 70"}));
}

TEST_F(ChannelCommands, VolumeAndSpeedReadBackRoundHalfToEven) {
    answer({{0, "995"}, {0, "985"}, {0, "1000"}, {mci::kErrNotOpen, ""}, {0, "1005"}, {0, "15"}});
    EXPECT_EQ(MediaChannel::getVolume("v"), 100);
    EXPECT_EQ(MediaChannel::getVolume("v", "LEFT"), 98);
    EXPECT_EQ(MediaChannel::getVolume("v", "right"), 100);
    EXPECT_EQ(MediaChannel::getVolume("v"), -1);
    EXPECT_EQ(MediaChannel::getSpeed("v"), 100);
    EXPECT_EQ(MediaChannel::getSpeed("v"), 2);
    EXPECT_EQ(sent, (Commands{"status v Volume", "status v LEFT Volume", "status v right Volume",
                              "status v Volume", "status v speed", "status v speed"}));
}

TEST_F(ChannelCommands, NumericRepliesFollowTheLeadingNumberRule) {
    answer({{0, "1234abc"}, {0, ""}, {0, "02:03:04:05"}, {0, "-7"}, {0, "99999999999"}, {0, "2.5"},
            {0, "3.5"}});
    EXPECT_EQ(MediaChannel::position("v"), 1234);
    EXPECT_EQ(MediaChannel::position("v"), 0);
    EXPECT_EQ(MediaChannel::position("v"), 2);
    EXPECT_EQ(MediaChannel::position("v"), -7);
    EXPECT_EQ(MediaChannel::position("v"), -1);  // does not fit in 32 bits: a failed reading
    EXPECT_EQ(MediaChannel::position("v"), 2);
    EXPECT_EQ(MediaChannel::position("v"), 4);
    EXPECT_EQ(sent[0], "status v position");
}

TEST(ChannelConversions, RoundingAndLeadingNumbers) {
    EXPECT_EQ(roundToInt32(0.5), 0);
    EXPECT_EQ(roundToInt32(1.5), 2);
    EXPECT_EQ(roundToInt32(-0.5), 0);
    EXPECT_EQ(roundToInt32(-1.5), -2);
    EXPECT_EQ(roundToInt32(-2.5), -2);
    EXPECT_EQ(roundToInt32(2.4999), 2);
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(roundToInt32(2147483647.5), -1);
    EXPECT_EQ(roundToInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(leadingNumber("  12.75 ms"), 12.75);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber("-"), 0.0);
}

TEST(ChannelFiles, FileHasContent) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.mp3"), "");
    test::writeFile(dir.file("one.mp3"), "x");
    EXPECT_EQ(FileHasContent(dir.file("empty.mp3")), -1);
    EXPECT_EQ(FileHasContent(dir.file("missing.mp3")), -1);
    EXPECT_EQ(FileHasContent(dir.path()), -1);
    EXPECT_EQ(FileHasContent(""), -1);
    EXPECT_EQ(FileHasContent(dir.file("one.mp3")), 1);
}

}  // namespace
}  // namespace brisko
