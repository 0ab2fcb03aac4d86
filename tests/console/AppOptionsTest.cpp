// The program's command line.
#include <gtest/gtest.h>

#include "app/AppOptions.h"

using brisko::app::chooseAudio;
using brisko::app::parseOptions;

TEST(AppOptions, TheCommandLineIsTheFile) {
    auto o = parseOptions({"--audio=file:/tmp/x.wav", "song one.mp3"});
    EXPECT_EQ(o.audio, "file:/tmp/x.wav");
    EXPECT_EQ(o.file, "song one.mp3");
    EXPECT_TRUE(o.warnings.empty());
    // An unquoted path with blanks arrives as words: they are joined with single blanks, and an
    // option between them is still an option.
    o = parseOptions({"/music/Morning", "--audio=null", "Show.mp3"});
    EXPECT_EQ(o.file, "/music/Morning Show.mp3");
    EXPECT_EQ(o.audio, "null");
    // Words that only look like options belong to the name; after "--" every word does.
    EXPECT_EQ(parseOptions({"-take", "2.wav"}).file, "-take 2.wav");
    o = parseOptions({"--", "--audio=x.wav", "--"});
    EXPECT_EQ(o.file, "--audio=x.wav --");
    EXPECT_TRUE(o.audio.empty());
    // Bytes that are not UTF-8 pass through unchanged.
    EXPECT_EQ(parseOptions({"caf\xE9.wav"}).file, "caf\xE9.wav");
    // An empty --audio is reported and ignored; nothing stops the program.
    o = parseOptions({"--audio=", "a.wav"});
    EXPECT_EQ(o.warnings.size(), 1u);
    EXPECT_TRUE(o.audio.empty());
    EXPECT_EQ(o.file, "a.wav");
    o = parseOptions({"--cue=split", "a.wav", "--cue="});
    EXPECT_EQ(o.cue, "split");
    EXPECT_EQ(o.warnings.size(), 1u);
    EXPECT_TRUE(parseOptions({"--help"}).help);
    EXPECT_TRUE(parseOptions({"a.wav", "--version"}).version);
    EXPECT_FALSE(parseOptions({"--", "--version"}).version);
    EXPECT_TRUE(parseOptions({}).file.empty());
}

TEST(AppOptions, OptionWinsOverEnvironment) {
    EXPECT_EQ(chooseAudio("null", "file:/tmp/a.wav"), "null");
    EXPECT_EQ(chooseAudio("", "file:/tmp/a.wav"), "file:/tmp/a.wav");
    EXPECT_EQ(chooseAudio("", ""), "portaudio");
    EXPECT_EQ(chooseAudio("", nullptr), "portaudio");
}
