// The clip list, page-names and key formats, without a window.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include "clipplayer/ClipFiles.h"
#include "clipplayer/ClipKeys.h"
#include "clipplayer/ClipTime.h"
#include "tests/support/TempDir.h"
#include "ui/KeyCodes.h"

using namespace brisko::clip;

namespace {

QStringList linesOf(const ClipTable& table) { return textLines(formatClipList(table)); }

}  // namespace

TEST(ClipFiles, EveryFieldRoundTripsByteForByteIncludingPageZero) {
    // A list as an operator's file holds it: page 0 filled, a system colour, a folder without
    // its final "/", a short (empty) line and an oversized page number that is not used.
    QStringList lines = textLines(blankClipList());
    ASSERT_EQ(lines.size(), kClipLines);
    lines[0] = QStringLiteral("0|0|/clips/|intro.mp3|-2147483633|0");
    lines[5 * 48 + 0] = QStringLiteral("5|0| | |0|0");
    lines[3 * 48 + 17] = QStringLiteral("99|99|/clips/jingles|bed one.wav|8438015|16777215");
    lines[10 * 48 + 47] = QStringLiteral("10|47|/x/|a|b.mp3|255|65535");
    ClipTable table;
    const ClipListRead read = parseClipList(crlfText(lines), table);
    EXPECT_EQ(read.lines, kClipLines);

    EXPECT_EQ(table.slot(0, 0).FileName, "intro.mp3");
    EXPECT_EQ(table.slot(0, 0).BackColour, -2147483633.0);
    EXPECT_TRUE(table.slot(5, 0).empty());
    EXPECT_EQ(table.slot(5, 0).BackColour, kWhite);
    EXPECT_EQ(table.slot(3, 17).Directory, "/clips/jingles/");
    EXPECT_EQ(table.slot(3, 17).fullName(), "/clips/jingles/bed one.wav") << "slot is addressed by line";
    // A line with a "|" too many: the sixth field runs to the end of the line.
    EXPECT_EQ(table.slot(10, 47).FileName, "a");
    EXPECT_EQ(table.slot(10, 47).TextColour, 255.0);

    // Saved back: the folder gains its "/", everything else is what was read.
    const QStringList saved = linesOf(table);
    ASSERT_EQ(saved.size(), kClipLines);
    EXPECT_EQ(saved[0], "0|0|/clips/|intro.mp3|-2147483633|0");
    EXPECT_EQ(saved[5 * 48], "5|0| | |0|0");
    EXPECT_EQ(saved[3 * 48 + 17], "3|17|/clips/jingles/|bed one.wav|8438015|16777215");
    EXPECT_EQ(formatClipList(table).count("\r\n"), kClipLines);
    EXPECT_EQ(blankClipList().left(13), QByteArray("0|0| | |0|0\r\n"));
}

TEST(ClipFiles, BadLinesLoadAsSomethingSensibleAndShortFilesLeaveEmptySlots) {
    ClipTable table;
    table.slot(0, 2).TextColour = 65280;  // an empty slot keeps the text colour it had
    const QByteArray bytes = "0|0|/a/|x.mp3|red|12abc\n"   // non-numeric colours: leading number
                             "0|1|/a/no-more-fields\r\n"    // too few fields
                             "0|2|short\r\n";               // under 14 characters: empty
    const ClipListRead read = parseClipList(bytes, table);
    EXPECT_EQ(read.lines, 3);
    EXPECT_EQ(table.slot(0, 0).BackColour, 0.0);
    EXPECT_EQ(table.slot(0, 0).TextColour, 12.0);
    EXPECT_EQ(table.slot(0, 1).Directory, "/a/no-more-fields/");
    EXPECT_TRUE(table.slot(0, 1).FileName.isEmpty());
    EXPECT_TRUE(table.slot(0, 2).empty());
    EXPECT_EQ(table.slot(0, 2).TextColour, 65280.0);
    EXPECT_TRUE(table.slot(10, 47).empty()) << "lines missing from a short file are empty slots";

    // Page names: a short file leaves the other names empty; an empty line is an empty name.
    const auto names = parsePageNames("Jingles\r\n\r\nBeds\r\n");
    EXPECT_EQ(names[0], "Jingles");
    EXPECT_EQ(names[1], "");
    EXPECT_EQ(names[2], "Beds");
    EXPECT_EQ(names[9], "");
    EXPECT_EQ(blankPageNames(), QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
}

TEST(ClipFiles, UserNamesThatAreNotPlainFileNamesAreRefused) {
    for (const QString& bad : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../etc"),
                               QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("tab\there"),
                               QStringLiteral("new\nline"), QString(201, QLatin1Char('x'))}) {
        QString why;
        EXPECT_FALSE(isSafeUserName(bad, &why)) << bad.toStdString();
        EXPECT_TRUE(why.contains(QLatin1String("Please choose another"))) << why.toStdString();
    }
    for (const QString& good : {QStringLiteral("Studio"), QStringLiteral("Morning Show"), QStringLiteral("..x"),
                                QStringLiteral("Zoë")})
        EXPECT_TRUE(isSafeUserName(good)) << good.toStdString();
}

TEST(ClipFiles, AFullDiskLeavesTheOldFileWhole) {
    brisko::test::TempDir dir("brisko-clipdisk");
    const std::string mount = dir.file("small");
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=12k") != 0) GTEST_SKIP() << "no tmpfs (not root)";
    const QString path = QString::fromStdString(mount + "/user.dat");
    const QByteArray old = blankClipList();  // about 7 KB
    ASSERT_TRUE(writeWhole(path, old));
    QString error;
    const bool written = writeWhole(path, QByteArray(64 * 1024, 'x'), &error);
    const std::string after = brisko::test::readFile(path.toStdString());
    ::umount(mount.c_str());
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(after, old.toStdString());
}

TEST(ClipKeys, EveryBindingAndLabel) {
    using namespace brisko::ui;
    EXPECT_EQ(buttonForKey(vk::Digit0 + 1), 0);
    EXPECT_EQ(buttonForKey(vk::Digit0 + 9), 8);
    EXPECT_EQ(buttonForKey(vk::Digit0), 9);
    EXPECT_EQ(buttonForKey(vk::LetterA), 10);
    EXPECT_EQ(buttonForKey(vk::LetterA + 25), 35);
    EXPECT_EQ(buttonForKey(vk::Numpad0 + 1), 36);
    EXPECT_EQ(buttonForKey(vk::Numpad0 + 9), 44);
    EXPECT_EQ(buttonForKey(vk::Numpad0), 45);
    EXPECT_EQ(buttonForKey(vk::Decimal), 46);
    EXPECT_EQ(buttonForKey(vk::Multiply), 47);
    for (int code : {vk::Space, vk::Add, vk::Divide, vk::F1, 255}) EXPECT_EQ(buttonForKey(code), -1);
    // Each button has one key, and its label names that key.
    QStringList labels;
    for (int b = 0; b < 48; ++b) labels << keyLabel(b);
    EXPECT_EQ(labels.join(','),
              "1,2,3,4,5,6,7,8,9,0,A,B,C,D,E,F,G,H,I,J,K,L,M,N,O,P,Q,R,S,T,U,V,W,X,Y,Z,"
              "Num 1,Num 2,Num 3,Num 4,Num 5,Num 6,Num 7,Num 8,Num 9,Num 0,Num .,Num *");
}

TEST(ClipTime, TimeLeftDropsHoursRoundsHalvesToEvenAndWraps) {
    EXPECT_EQ(timeLeftText(3723000, 0, 1000), "02:03");       // 1 h 2 min 3 s
    EXPECT_EQ(timeLeftText(10500, 0, 1000), "00:10");         // 10.5 -> 10
    EXPECT_EQ(timeLeftText(11500, 0, 1000), "00:12");         // 11.5 -> 12
    EXPECT_EQ(timeLeftText(180000, 60000, 1000), "02:00");
    EXPECT_EQ(timeLeftText(-1, -1, -1), "59:59");             // a channel that is gone
    EXPECT_EQ(timeLeftText(5000, 100, 0), "00:05");           // no rate: no division by zero
}
