// The program's command line.
#include <gtest/gtest.h>

#include "app/AppOptions.h"

using brisko::app::chooseAudio;
using brisko::app::parseOptions;

TEST(AppOptions, FileAndAudio) {
    auto o = parseOptions({"--audio=file:/tmp/x.wav", "song one.mp3"});
    EXPECT_EQ(o.audio, "file:/tmp/x.wav");
    EXPECT_EQ(o.file, "song one.mp3");
    EXPECT_TRUE(o.error.empty());
    o = parseOptions({"--", "--odd-name.wav"});
    EXPECT_EQ(o.file, "--odd-name.wav");
    EXPECT_FALSE(parseOptions({"--volume=3"}).error.empty());
    EXPECT_FALSE(parseOptions({"a.wav", "b.wav"}).error.empty());
    EXPECT_FALSE(parseOptions({"--audio="}).error.empty());
    EXPECT_TRUE(parseOptions({"--help"}).help);
}

TEST(AppOptions, OptionWinsOverEnvironment) {
    EXPECT_EQ(chooseAudio("null", "file:/tmp/a.wav"), "null");
    EXPECT_EQ(chooseAudio("", "file:/tmp/a.wav"), "file:/tmp/a.wav");
    EXPECT_EQ(chooseAudio("", ""), "portaudio");
    EXPECT_EQ(chooseAudio("", nullptr), "portaudio");
}
