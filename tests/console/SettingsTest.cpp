// brisko.ini: reading as comma-delimited fields, the failure cases, and the whole-or-nothing
// writer.
#include <gtest/gtest.h>

#include <QDir>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "console/Settings.h"
#include "console/WholeFile.h"
#include "tests/support/TempDir.h"

using namespace brisko::console;
using brisko::test::readFile;
using brisko::test::TempDir;
using brisko::test::writeFile;

TEST(SettingsFields, LinesCommasAndQuotes) {
    // One field a line; a comma cuts a line into two fields; quotes protect commas and are
    // removed; blanks around an unquoted value are dropped; an empty line is an empty field.
    EXPECT_EQ(readFields("a\r\nb\r\nc\r\n", 5), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(readFields("/m/Rock, Pop\r\nx\r\n", 5), (QStringList{"/m/Rock", "Pop", "x"}));
    EXPECT_EQ(readFields("\"/m/Rock, Pop\"\r\nx\r\n", 5), (QStringList{"/m/Rock, Pop", "x"}));
    EXPECT_EQ(readFields("  padded  \r\n\r\nlast", 5), (QStringList{"padded", "", "last"}));
    EXPECT_EQ(readFields("\"q\" junk,next\n", 5), (QStringList{"q", "next"}));
    // LF-only files read the same; at most the asked number of fields is read.
    EXPECT_EQ(readFields("1\n2\n3\n4\n5\n6\n", 5), (QStringList{"1", "2", "3", "4", "5"}));
    // Nothing after the last line end is no field; an empty file has none.
    EXPECT_EQ(readFields("a\r\n", 5).size(), 1);
    EXPECT_TRUE(readFields("", 5).isEmpty());
    // UTF-8 text (a byte order mark is skipped).
    EXPECT_EQ(readFields("\xEF\xBB\xBF/m\xC3\xBCsik\r\n", 5), (QStringList{QString::fromUtf8("/m\xC3\xBCsik")}));
}

TEST(SettingsFields, PatternEntriesAreTrimmed) {
    EXPECT_EQ(cleanPattern(" *.wav ;;*.MP3;"), "*.wav;*.MP3");
    EXPECT_EQ(cleanPattern(defaultFilePattern()), defaultFilePattern());
    EXPECT_EQ(cleanPattern(" ; "), "");
}

TEST(SettingsFile, MissingShortAndComplete) {
    TempDir dir;
    EXPECT_FALSE(readSettings(QString::fromStdString(dir.file("none.ini"))).opened);

    writeFile(dir.file("short.ini"), "/music\r\n*.wav\r\nsimple\r\n");
    const SettingsRead shortRead = readSettings(QString::fromStdString(dir.file("short.ini")));
    EXPECT_TRUE(shortRead.opened);
    EXPECT_EQ(shortRead.count, 3);
    EXPECT_FALSE(shortRead.complete());
    EXPECT_EQ(shortRead.values.StartMode, "simple");

    // Five lines of which four are empty are complete.
    writeFile(dir.file("empty.ini"), "\r\n\r\n\r\n\r\n\r\n");
    EXPECT_TRUE(readSettings(QString::fromStdString(dir.file("empty.ini"))).complete());

    // A comma in the first line shifts the rest: the fifth line is then never reached.
    writeFile(dir.file("comma.ini"), "/a,b\r\n*.wav\r\nsimple\r\ned\r\n/tmp\r\n");
    const SettingsRead shifted = readSettings(QString::fromStdString(dir.file("comma.ini")));
    EXPECT_TRUE(shifted.complete());
    EXPECT_EQ(shifted.values.FilePattern, "b");
    EXPECT_EQ(shifted.values.TempDir, "ed");
}

TEST(SettingsFile, WriteRoundTripsAndReplacesWhole) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("brisko.ini"));
    writeFile(dir.file("brisko.ini"), "old contents that are longer than the new ones\r\n");
    const SettingsValues values{"/srv/Rock, Pop", "*.wav;*.mp3", "advanced",
                                QString::fromUtf8("/opt/\xC3\xA9" "dit/editor"), " /tmp/x "};
    QString error;
    ASSERT_TRUE(writeSettings(path, values, &error)) << error.toStdString();
    // Five CR LF lines, plain values unchanged, the ones a reader would cut put in quotes.
    EXPECT_EQ(readFile(dir.file("brisko.ini")),
              "\"/srv/Rock, Pop\"\r\n*.wav;*.mp3\r\nadvanced\r\n/opt/\xC3\xA9" "dit/editor\r\n"
              "\" /tmp/x \"\r\n");
    const SettingsRead back = readSettings(path);
    ASSERT_TRUE(back.complete());
    EXPECT_EQ(back.values.DefaultDir, values.DefaultDir);
    EXPECT_EQ(back.values.DefaultEditor, values.DefaultEditor);
    EXPECT_EQ(back.values.TempDir, values.TempDir);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(SettingsFile, FailedWriteIsReportedAndKeepsTheOldFile) {
    TempDir dir;
    // The target is a folder: nothing can be renamed over it.
    std::filesystem::create_directory(dir.file("brisko.ini"));
    QString error;
    EXPECT_FALSE(writeSettings(QString::fromStdString(dir.file("brisko.ini")), {}, &error));
    EXPECT_FALSE(error.isEmpty());
    // A folder that does not exist.
    error.clear();
    EXPECT_FALSE(writeSettings(QString::fromStdString(dir.file("gone/brisko.ini")), {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("brisko.ini")));
}

TEST(SettingsFile, FullDiskKeepsTheOldFileWhole) {
    // A real full file system: a tmpfs of one page, nearly filled.
    TempDir dir;
    if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=4k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir.path()};
    const std::string old = "/music\r\n*.wav\r\nsimple\r\n\r\n\r\n";
    writeFile(dir.file("brisko.ini"), old);
    {
        // Fill what is left, up to the last byte.
        std::FILE* filler = std::fopen(dir.file("filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        const std::string block(512, 'x');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
        }
        std::fclose(filler);
    }
    const QString path = QString::fromStdString(dir.file("brisko.ini"));
    QString error;
    EXPECT_FALSE(writeSettings(path, {"/a much longer folder name than before", "*.mp3", "advanced",
                                      "/usr/bin/editor", "/tmp"},
                               &error));
    EXPECT_TRUE(error.contains("brisko.ini")) << error.toStdString();
    EXPECT_EQ(readFile(dir.file("brisko.ini")), old);
    // No temporary file is left on the full disk.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(SettingsFile, LeftoversOfAKilledSaveAreRemoved) {
    TempDir dir;
    writeFile(dir.file("brisko.ini"), "kept\r\n");
    writeFile(dir.file("brisko.ini.saving-a1B2c3"), "half");
    writeFile(dir.file("brisko.ini.saving-toolong1"), "not ours");
    writeFile(dir.file("other.ini.saving-a1B2c3"), "not ours");
    EXPECT_EQ(removeLeftoverWrites(QString::fromStdString(dir.file("brisko.ini"))), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("brisko.ini.saving-a1B2c3")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("brisko.ini.saving-toolong1")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("other.ini.saving-a1B2c3")));
    EXPECT_EQ(readFile(dir.file("brisko.ini")), "kept\r\n");
}
