// shortPath: names with blanks, quotes and other awkward characters reach the same file through a
// name that an unquoted command string can carry.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "media/MediaChannel.h"
#include "tests/support/TempDir.h"

namespace brisko {
namespace {

bool commandSafe(const std::string& s) {
    return !s.empty() && s.find_first_of(" \t\r\n\v\f\"") == std::string::npos;
}

TEST(ShortPath, MissingPathsHaveNoShortForm) {
    test::TempDir dir;
    EXPECT_EQ(shortPath(""), "");
    EXPECT_EQ(shortPath(dir.file("missing.mp3")), "");
    EXPECT_EQ(shortPath(dir.file("missing with blanks.mp3")), "");
}

TEST(ShortPath, PlainPathsStayAsTheyAre) {
    test::TempDir dir;
    const std::string file = dir.file("plain_name-1.mp3");
    test::writeFile(file, "abc");
    EXPECT_EQ(shortPath(file), file);
}

TEST(ShortPath, AwkwardNamesGetAStableSafeNameForTheSameFile) {
    test::TempDir dir("brisko test dir");  // the folder itself has a blank
    const std::vector<std::string> names = {"My Song.mp3", "say \"hi\".wav", "Café Olé.flac",
                                            "a|b.mp3", "100% hits.mp3", "tab\there.ogg",
                                            "new\nline.mp3", "\" quoted start"};
    std::vector<std::string> shorts;
    for (const std::string& name : names) {
        const std::string file = dir.file(name);
        test::writeFile(file, "content of " + name);
        const std::string s = shortPath(file);
        ASSERT_TRUE(commandSafe(s)) << name << " -> " << s;
        EXPECT_EQ(test::readFile(s), "content of " + name);
        EXPECT_EQ(shortPath(file), s) << name;  // the same path gives the same short name
        shorts.push_back(s);
    }
    for (std::size_t i = 0; i < shorts.size(); ++i) {
        for (std::size_t j = i + 1; j < shorts.size(); ++j) EXPECT_NE(shorts[i], shorts[j]);
    }
    EXPECT_EQ(shorts[0].substr(shorts[0].size() - 4), ".mp3");  // the kind of file still shows
}

TEST(ShortPath, FollowsTheFileAndRepairsItsLink) {
    test::TempDir dir;
    const std::string file = dir.file("gone soon.wav");
    test::writeFile(file, "first");
    const std::string s = shortPath(file);
    ASSERT_TRUE(commandSafe(s));
    ::unlink(s.c_str());  // someone cleaned the runtime folder
    EXPECT_EQ(shortPath(file), s);
    EXPECT_EQ(test::readFile(s), "first");
    ::unlink(file.c_str());
    EXPECT_EQ(shortPath(file), "");
    test::writeFile(file, "second");  // a new file at the same path
    EXPECT_EQ(test::readFile(shortPath(file)), "second");
}

TEST(ShortPath, RelativePathsWithBlanks) {
    test::TempDir dir;
    test::writeFile(dir.file("rel ative.mp3"), "rel");
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof(old)), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const std::string s = shortPath("rel ative.mp3");
    ASSERT_EQ(::chdir(old), 0);
    ASSERT_TRUE(commandSafe(s));
    EXPECT_EQ(test::readFile(s), "rel");  // reachable from another working folder too
}

}  // namespace
}  // namespace brisko
