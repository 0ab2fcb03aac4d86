// Loading decks from the library browser: drag and drop, double click and Enter, the total time,
// text decks, files that cannot be opened and awkward file names.
#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <filesystem>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "console/BackColor.h"
#include "console/FileNames.h"
#include "console/frmFunc.h"
#include "media/MediaChannel.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ToneFiles.h"

using brisko::MediaChannel;
using brisko::console::backColor;

namespace brisko::test {
namespace {

using LoadingTest = ConsoleTest;

TEST_F(LoadingTest, DropShowsTitleLengthAndTotal) {
    tone("Intro Jingle.wav", 3.6);
    tone("Bed.wav", 59.9, 220);
    frmMain& m = makeWindow();
    dropOnDeck("Intro Jingle.wav", 3);
    // The drop opens the deck's channel on the quoted short path.
    EXPECT_EQ(commands_, (std::vector<std::string>{
                             "close voice3", "open \"" + shortPath(media_.file("Intro Jingle.wav")) +
                                                 "\" type mpegvideo alias voice3"}));
    EXPECT_EQ(m.Text1[3]->text(), "Intro Jingle");
    EXPECT_EQ(m.Decks[3].DeckTitle, "Intro Jingle");
    EXPECT_EQ(m.Decks[3].DeckFile, QString::fromStdString(media_.file("Intro Jingle.wav")));
    EXPECT_EQ(m.Decks[3].DeckLength, 3);
    EXPECT_EQ(m.Label4[3]->text(), "00:03");
    EXPECT_EQ(m.cmrTime->text(), "00:00:03");
    EXPECT_TRUE(m.cmdPlay[3]->isEnabled());
    EXPECT_FALSE(m.Command5[3]->isHidden());
    EXPECT_TRUE(m.Command8[3]->isEnabled());
    EXPECT_EQ(backColor(m.Text1[3]), 65280);
    // 59.9 seconds count as 59.
    dropOnDeck("Bed.wav", 0);
    EXPECT_EQ(m.Label4[0]->text(), "00:59");
    EXPECT_EQ(m.cmrTime->text(), "00:01:02");
    // Dropping again on a loaded deck replaces it.
    dropOnDeck("Intro Jingle.wav", 0);
    EXPECT_EQ(m.Text1[0]->text(), "Intro Jingle");
    EXPECT_EQ(m.cmrTime->text(), "00:00:06");
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(LoadingTest, OtherDragsAreRefused) {
    tone("a.wav", 0.5);
    frmMain& m = makeWindow();
    select("a.wav");
    QMimeData text;
    text.setText("a.wav");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(m.Text1[0], &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
}

TEST_F(LoadingTest, TextDeckAndNameWithoutExtension) {
    writeFile(media_.file("notes.txt"), "Read the weather at ten.\n");
    tone("readme", 2.0);
    frmMain& m = makeWindow();
    m.File1->setPattern("*");
    dropOnDeck("notes.txt", 1);
    EXPECT_EQ(m.Text1[1]->text(), "notes");
    EXPECT_EQ(m.Label4[1]->text(), "Text");
    EXPECT_EQ(m.cmrTime->text(), "00:00:00");
    EXPECT_EQ(MediaChannel::mode("voice1"), "ERROR");  // no channel was opened
    // Play on a text deck marks it started and does nothing else.
    m.cmdPlay_Click(1);
    EXPECT_EQ(m.Decks[1].DeckStarted, 1);
    EXPECT_EQ(m.cmdPlay[1]->text(), "Play 2");
    EXPECT_TRUE(m.CommandQuit->isEnabled());

    dropOnDeck("readme", 2);
    EXPECT_EQ(m.Text1[2]->text(), "re");
    EXPECT_EQ(m.Label4[2]->text(), "00:02");
}

TEST_F(LoadingTest, UnopenableFileShowsTheErrorAndLeavesOtherDecks) {
    tone("good.wav", 2.0);
    writeFile(media_.file("bad.wav"), "this is not sound");
    frmMain& m = makeWindow();
    dropOnDeck("good.wav", 0);
    dropOnDeck("bad.wav", 1);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Error opening file. Error #-1");
    EXPECT_TRUE(m.Text1[1]->text().isEmpty());
    EXPECT_EQ(m.Decks[1].DeckFile, QString::fromStdString(media_.file("bad.wav")));
    EXPECT_EQ(m.Text1[0]->text(), "good");
    EXPECT_EQ(m.cmrTime->text(), "00:00:02");
    // Deck 1 still plays.
    m.cmdPlay_Click(0);
    render(200);
    EXPECT_GT(level(0.05, 0.2), 0.2);
}

TEST_F(LoadingTest, DoubleClickFillsDecksInOrderUntilTheTwelfth) {
    for (int k = 0; k < 13; ++k) tone("clip" + std::to_string(10 + k) + ".wav", 1.0 + k);
    frmMain& m = makeWindow();
    for (int k = 0; k < 13; ++k) {
        select("clip" + std::to_string(10 + k) + ".wav");
        m.LoadDeckFromList();
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(m.Text1[i]->text(), "clip" + QString::number(10 + i));
        EXPECT_EQ(m.Decks[i].DeckLength, i + 1);
    }
    EXPECT_EQ(m.FillFull, 1);
    EXPECT_EQ(m.cmrTime->text(), "00:01:18");  // 1 + 2 + ... + 12 seconds
    m.Command2_Click();
    EXPECT_EQ(m.cmrTime->text(), "00:00:00");
    EXPECT_EQ(m.FillPointer, 0);
    select("clip22.wav");
    m.LoadDeckFromList();
    EXPECT_EQ(m.Text1[0]->text(), "clip22");
}

TEST_F(LoadingTest, RealDoubleClickAndEnterLoadLikeEachOther) {
    tone("first.wav", 1.0);
    tone("second.wav", 2.0);
    frmMain& m = makeWindow();
    m.show();
    select("first.wav");
    QListWidgetItem* item = m.File1->currentItem();
    const QPoint centre = m.File1->visualItemRect(item).center();
    // A double click as the system delivers it: press and release, then the double click.
    QTest::mouseClick(m.File1->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(m.File1->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(m.Text1[0]->text(), "first");
    select("second.wav");
    m.File1->setFocus();
    QTest::keyClick(m.File1, Qt::Key_Return);
    EXPECT_EQ(m.Text1[1]->text(), "second");
    EXPECT_EQ(m.FillPointer, 2);
    // Enter with nothing selected loads nothing.
    m.File1->clearSelection();
    m.File1->setCurrentItem(nullptr);
    QTest::keyClick(m.File1, Qt::Key_Return);
    EXPECT_EQ(m.FillPointer, 2);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(LoadingTest, DoubleClickOnAFileThatWillNotOpen) {
    writeFile(media_.file("broken.mp3"), "");
    frmMain& m = makeWindow();
    m.File1->setPattern("*.mp3");
    select("broken.mp3");
    m.LoadDeckFromList();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Error opening file. Error #-1");
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
    EXPECT_EQ(m.FillPointer, 0);
}

TEST_F(LoadingTest, NamesWithBlanksQuotesAndAccentsPlay) {
    const std::string name = "J\xC3\xBCrgen's \"Best\" Mix, Part 1.wav";
    tone(name, 1.0, 660);
    frmMain& m = makeWindow();
    dropOnDeck(name, 5);
    EXPECT_EQ(m.Text1[5]->text(), QString::fromUtf8("J\xC3\xBCrgen's \"Best\" Mix, Part 1"));
    EXPECT_EQ(m.Label4[5]->text(), "00:01");
    m.cmdPlay_Click(5);
    render(300);
    EXPECT_NEAR(zeroCrossingFrequency(mix_, rate() / 10, rate() / 10, rate()), 660, 15);
    m.Command4_Click(5);

    // A name that is not UTF-8 (Latin-1 bytes) is listed readably and loads by drop and by
    // double click; the deck opens the very file.
    const std::string latin = "Caf\xE9 del Mar.wav";
    tone(latin, 2.0, 440);
    const QString shown = QString::fromUtf8("Caf\uFFFD del Mar.wav");
    m.refdir_Click();
    ASSERT_TRUE(m.File1->names().contains(shown));
    m.File1->setCurrentItem(m.File1->findItems(shown, Qt::MatchExactly).value(0));
    m.Text1_DragDrop(7);
    EXPECT_EQ(m.Text1[7]->text(), QString::fromUtf8("Caf\uFFFD del Mar"));
    EXPECT_EQ(m.Label4[7]->text(), "00:02");
    m.LoadDeckFromList();
    EXPECT_EQ(m.Decks[0].DeckLength, 2);
    EXPECT_TRUE(messages_.isEmpty());
    m.cmdPlay_Click(7);
    render(300);
    EXPECT_NEAR(zeroCrossingFrequency(mix_, static_cast<int64_t>(seconds() * rate()) - rate() / 10,
                                      rate() / 10, rate()),
                440, 15);
}

TEST(FileNames, BytesSurviveTheRoundTrip) {
    // Valid UTF-8 is ordinary text; every other byte comes back exactly.
    const QByteArray samples[] = {"plain.wav", "J\xC3\xBCrgen.wav", "caf\xE9.wav", "\xFF\xFE",
                                  "\xC3", "\xED\xA0\x80 surrogate", "\xF0\x9F\x8E\xB5 note",
                                  "\xC0\xAF overlong"};
    for (const QByteArray& bytes : samples)
        EXPECT_EQ(console::fileNameBytes(console::fileNameFromBytes(bytes)), bytes) << bytes.data();
    EXPECT_EQ(console::fileNameFromBytes("J\xC3\xBCrgen"), QString::fromUtf8("J\xC3\xBCrgen"));
    EXPECT_EQ(console::displayName(console::fileNameFromBytes("caf\xE9")),
              QString::fromUtf8("caf\uFFFD"));
}

TEST_F(LoadingTest, BrowserFollowsFoldersAndRefreshes) {
    tone("a.wav", 0.2);
    std::filesystem::create_directory(media_.file("sub"));
    frmMain& m = makeWindow();
    select("a.wav");
    EXPECT_EQ(m.File1->path(), QString::fromStdString(media_.path()));
    // A file added later appears only after "&Refresh Directory".
    tone("b.wav", 0.2);
    EXPECT_FALSE(m.File1->names().contains("b.wav"));
    m.refdir->trigger();
    EXPECT_TRUE(m.File1->names().contains("b.wav"));
    // Space in the folder list opens the highlighted folder.
    const auto items = m.Dir1->findItems("sub", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    m.Dir1->setCurrentItem(items.first());
    QTest::keyClick(m.Dir1, Qt::Key_Space);
    EXPECT_EQ(m.Dir1->path(), QString::fromStdString(media_.file("sub")));
    EXPECT_EQ(m.File1->path(), QString::fromStdString(media_.file("sub")));
    EXPECT_TRUE(m.File1->names().isEmpty());
    // A folder that cannot be opened leaves the lists as they were.
    EXPECT_FALSE(m.Dir1->setPath(QString::fromStdString(media_.file("missing"))));
    EXPECT_EQ(m.File1->path(), QString::fromStdString(media_.file("sub")));
}

TEST_F(LoadingTest, ClearEmptiesTheDeckAndTheTotal) {
    tone("a.wav", 4.0);
    tone("b.wav", 5.0);
    frmMain& m = makeWindow();
    dropOnDeck("a.wav", 0);
    dropOnDeck("b.wav", 1);
    m.Text2[0]->setText("3");
    m.Command5_Click(0);
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
    EXPECT_TRUE(m.Decks[0].DeckFile.isEmpty());
    EXPECT_TRUE(m.Label4[0]->text().isEmpty());
    EXPECT_TRUE(m.Text2[0]->text().isEmpty());
    EXPECT_FALSE(m.cmdPlay[0]->isEnabled());
    EXPECT_TRUE(m.Command5[0]->isHidden());
    EXPECT_FALSE(m.Command8[0]->isEnabled());
    EXPECT_EQ(m.cmrTime->text(), "00:00:05");
}

}  // namespace
}  // namespace brisko::test
