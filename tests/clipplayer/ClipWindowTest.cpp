// The Clip Player window: keys, mouse presses, tickers, tabs and the play-order list, heard
// through the mix and read back from the log.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QtTest/QTest>
#include <algorithm>
#include <vector>
#include <QApplication>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "clipplayer/ClipAliases.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "console/DeckTimer.h"
#include "tests/support/ToneFiles.h"
#include "media/MediaChannel.h"
#include "platform/mci/Mci.h"
#include "showlog/LocalTime.h"
#include "showlog/ShowLog.h"
#include "tests/clipplayer/ClipFixture.h"

using namespace brisko;
using brisko::test::ClipTest;

namespace {

std::string modeOf(const std::string& alias) {
    std::string reply;
    if (mci::mciSendString("status " + alias + " mode", &reply) != 0) return "closed";
    return reply;
}

// 10 ms blocks of the capture between two times whose level is that of a playing tone.
int loudBlocks(const std::vector<float>& mix, int rate, double from, double to) {
    int count = 0;
    for (double s = from; s + 0.01 <= to + 1e-9; s += 0.01) {
        const auto first = int64_t(s * rate);
        if (first + rate / 100 > int64_t(mix.size() / 2)) break;
        if (test::rms(mix, first, rate / 100) > 0.1) ++count;
    }
    return count;
}

}  // namespace

TEST_F(ClipTest, KeysPlayTheirButtonsOnlyWhileTheWindowIsShown) {
    clip::ClipTable table;
    put(table, 1, 0, tone("one.wav", 3, 300));    // "1"
    put(table, 1, 10, tone("aaa.wav", 3, 500));   // "A"
    put(table, 1, 36, tone("pad.wav", 3, 700));   // "Num 1"
    put(table, 1, 47, tone("star.wav", 3, 900));  // "Num *"
    frmClipPlay& w = openAs(QStringLiteral("keys"), table);
    EXPECT_EQ(w.Label2[36]->text(), "Num 1");

    QTest::keyClick(&w, Qt::Key_1);  // top row: button 0, not the number pad's button 36
    render(300, true);
    EXPECT_NEAR(frequency(0.1, 0.3), 300, 15);
    EXPECT_EQ(w.Shape1[0]->colour(), clip::kRed);
    EXPECT_TRUE(w.cmdPlay[0]->isChecked());
    QTest::keyClick(&w, Qt::Key_1);
    render(200, true);
    EXPECT_LT(level(0.35, 0.5), 0.001) << "the second press stops it";
    EXPECT_EQ(w.Shape1[0]->colour(), clip::kBlue);
    EXPECT_EQ(w.cmdAdd[0]->text(), "Stopped");

    QTest::keyClick(&w, Qt::Key_1, Qt::KeypadModifier);
    render(200, true);
    EXPECT_NEAR(frequency(0.55, 0.7), 700, 15);
    QTest::keyClick(&w, Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(&w, Qt::Key_A, Qt::ShiftModifier);  // Shift is ignored
    render(200, true);
    EXPECT_NEAR(frequency(0.75, 0.9), 500, 15);
    QTest::keyClick(&w, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&w, Qt::Key_Asterisk, Qt::KeypadModifier);
    render(200, true);
    EXPECT_NEAR(frequency(0.95, 1.1), 900, 15);
    QTest::keyClick(&w, Qt::Key_Asterisk, Qt::KeypadModifier);

    // A key for an empty button, and any key while the window is hidden, does nothing.
    const int logged = int(logLines().size());
    QTest::keyClick(&w, Qt::Key_B);
    w.hide();
    QTest::keyClick(&w, Qt::Key_1);
    render(200, true);
    EXPECT_LT(level(1.25, 1.4), 0.001);
    EXPECT_EQ(logLines().size(), logged);

    EXPECT_EQ(logLines(), QStringList({"Loaded user keys" + stamp(), "Started one.wav" + stamp(),
                                       "Stopped one.wav" + stamp(), "Started pad.wav" + stamp(),
                                       "Stopped pad.wav" + stamp(), "Started aaa.wav" + stamp(),
                                       "Stopped aaa.wav" + stamp(), "Started star.wav" + stamp(),
                                       "Stopped star.wav" + stamp()}));
    EXPECT_EQ(w.lstPlayed->text(0), "Played: one.wav    From Page: P1");
    EXPECT_TRUE(stamp().contains(QLatin1String("35:07"))) << stamp().toStdString();
}

TEST_F(ClipTest, MousePausesAndResumesWithoutGapOrRepeatAndTheTickerEndsTheClip) {
    // The as-run log listens too, on the mix's clock.
    showlog::setClockForTesting([this] { return static_cast<int64_t>(std::llround(seconds() * 1000)); });
    ASSERT_TRUE(showlog::showLog().open(home_.path()));
    clip::ClipTable table;
    put(table, 1, 4, tone("bed.wav", 1.0, 440));
    frmClipPlay& w = openAs(QStringLiteral("mouse"), table);
    clip::ClipButton* button = w.cmdPlay[4];

    QTest::mouseClick(button, Qt::LeftButton);
    render(400, true);
    EXPECT_EQ(w.cmdAdd[4]->text(), "00:01");  // 0.6 s left rounds to 1
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_EQ(w.Text1[4]->text(), "<");
    EXPECT_EQ(w.Shape1[4]->colour(), clip::kBlack);
    render(20, true);  // the pause fades out over a few milliseconds
    const int32_t pausedAt = MediaChannel::position(clip::buttonAlias(4));
    render(280, true);
    EXPECT_LT(level(0.45, 0.7), 0.001) << "silent while paused";
    EXPECT_EQ(MediaChannel::position(clip::buttonAlias(4)), pausedAt);
    QTest::mouseClick(button, Qt::LeftButton);  // a left click resumes
    EXPECT_TRUE(w.Text1[4]->text().isEmpty());
    render(900, true);

    // The second of sound is heard whole: nothing lost at the pause, nothing played twice.
    EXPECT_NEAR(loudBlocks(mix_, rate_, 0, seconds()), 100, 2);
    EXPECT_EQ(w.cmdAdd[4]->text(), "Stopped");
    EXPECT_EQ(w.Shape1[4]->colour(), clip::kRed) << "the end leaves the light as it was";
    EXPECT_FALSE(w.Timer1[4]->isEnabled());
    EXPECT_FALSE(w.Check1[4]->isChecked());
    EXPECT_EQ(logLines().mid(1), QStringList({"Started bed.wav" + stamp(), "Stopped after full play bed.wav" + stamp()}));

    // Right click on a loaded clip that is not playing: from the start, no ticker, no log line.
    QTest::mouseClick(button, Qt::RightButton);
    render(100, true);
    EXPECT_GT(level(seconds() - 0.08, seconds()), 0.1);
    EXPECT_FALSE(w.Timer1[4]->isEnabled());
    EXPECT_EQ(logLines().size(), 3);
    // Left click on it then stops it: a "Stopped" line and a blue light.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(modeOf(clip::buttonAlias(4)), "closed");
    EXPECT_EQ(w.Shape1[4]->colour(), clip::kBlue);
    EXPECT_EQ(logLines().last(), "Stopped bed.wav" + stamp());

    // On record: the second that played (the pause left out), ended by its end; then the restart,
    // stopped by hand.
    showlog::showLog().close(true);
    showlog::setClockForTesting({});
    std::vector<std::string> rows;
    for (const auto& e : std::filesystem::directory_iterator(home_.file("asrun"))) {
        std::istringstream in(test::readFile(e.path().string()));
        for (std::string line; std::getline(in, line);) rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 3u);
    const auto played = [](const std::string& row) {
        const size_t end = row.rfind(',');
        return std::stoi(row.substr(row.rfind(',', end - 1) + 1));
    };
    EXPECT_NE(rows[1].find(",Clip 1:5," + media_.file("bed.wav") + ",,,"), std::string::npos) << rows[1];
    EXPECT_NEAR(played(rows[1]), 1000, 60);
    EXPECT_NE(rows[1].find(",end\r"), std::string::npos);
    EXPECT_NE(rows[2].find(",Clip 1:5,"), std::string::npos);
    EXPECT_NE(rows[2].find(",stop\r"), std::string::npos);
}

TEST_F(ClipTest, ClipChannelsNeverTouchTheDecksOrTheQueue) {
    const QString deckTone = tone("deck.wav", 5, 200);
    clip::ClipTable table;
    for (int b = 0; b < 20; ++b) put(table, 1, b, tone("c" + std::to_string(b) + ".wav", 5, 600));
    frmClipPlay& w = openAs(QStringLiteral("alias"), table);
    // Decks 11 and 12 (voice10, voice11) on air.
    for (const std::string deck : {"voice10", "voice11"}) {
        ASSERT_EQ(mci::mciSendString("open " + shortPath(deckTone.toStdString()) + " type mpegvideo alias " + deck), 0u);
        ASSERT_EQ(mci::mciSendString("play " + deck), 0u);
    }
    // A queued clip playing from position 0.
    w.Command2_Click(19);
    QTest::keyClick(&w, Qt::Key_Space);
    // Every button starts and stops.
    for (int b = 0; b < 20; ++b) {
        QTest::mouseClick(w.cmdPlay[b], Qt::LeftButton);
        ASSERT_EQ(modeOf(clip::buttonAlias(b)), "playing") << b;
    }
    render(100);
    for (int b = 0; b < 20; ++b) QTest::mouseClick(w.cmdPlay[b], Qt::LeftButton);
    EXPECT_EQ(modeOf("voice10"), "playing");
    EXPECT_EQ(modeOf("voice11"), "playing");
    EXPECT_EQ(modeOf(clip::playOrderAlias(0)), "playing");
    // Closing the window closes its buttons only.
    w.cmdExit->click();
    EXPECT_EQ(modeOf("voice10"), "playing");
    EXPECT_EQ(modeOf(clip::playOrderAlias(0)), "playing");
}

TEST_F(ClipTest, SpacePlaysTheQueueInOrderAcrossPagesAndTheListGrowsPast48) {
    clip::ClipTable table;
    put(table, 1, 0, tone("first.wav", 3, 300));
    put(table, 1, 1, tone("second.wav", 3, 500));
    put(table, 2, 0, tone("third.wav", 3, 800));
    frmClipPlay& w = openAs(QStringLiteral("queue"), table);
    w.Command2_Click(0);
    w.Command2_Click(1);
    w.Command2_Click(5);  // no clip: not added
    w.SSTab1->setCurrentIndex(1);
    w.Command2_Click(0);
    w.SSTab1->setCurrentIndex(0);  // the entries keep their own files whatever page is shown
    ASSERT_EQ(w.lstPlayOrder->count(), 3);

    const double expected[] = {300, 500, 800};
    for (int k = 0; k < 3; ++k) {
        QTest::keyClick(&w, Qt::Key_Space);
        render(200);
        EXPECT_NEAR(frequency(seconds() - 0.15, seconds()), expected[k], 15) << k;
        EXPECT_EQ(modeOf(clip::playOrderAlias(k)), "playing");
        if (k > 0) {
            EXPECT_EQ(modeOf(clip::playOrderAlias(k - 1)), "closed") << "the entry before is closed first";
        }
    }
    // Unchecking the first plays it again; nothing before it is closed.
    w.lstPlayOrder->item(0)->setCheckState(Qt::Unchecked);
    QTest::keyClick(&w, Qt::Key_Space);
    EXPECT_EQ(modeOf(clip::playOrderAlias(0)), "playing");
    EXPECT_EQ(modeOf(clip::playOrderAlias(2)), "playing");
    QTest::keyClick(&w, Qt::Key_Space);  // all played: every channel of the list closes
    EXPECT_EQ(modeOf(clip::playOrderAlias(0)), "closed");
    EXPECT_EQ(modeOf(clip::playOrderAlias(2)), "closed");

    // Cleared while position 0 still sounds: the list's channels play on, and a new entry at
    // position 0 plays its own file, not the one still open there.
    w.cmdClearList->click();
    w.Command2_Click(0);
    QTest::keyClick(&w, Qt::Key_Space);
    w.cmdClearList->click();
    EXPECT_EQ(w.PlayOrderCount, 0);
    EXPECT_EQ(modeOf(clip::playOrderAlias(0)), "playing");
    w.Command2_Click(1);
    QTest::keyClick(&w, Qt::Key_Space);
    render(200);
    EXPECT_NEAR(frequency(seconds() - 0.15, seconds()), 500, 15);
    w.cmdClearList->click();

    // A 49th entry is kept and plays.
    for (int k = 0; k < 49; ++k) w.Command2_Click(k % 2);
    ASSERT_EQ(w.lstPlayOrder->count(), 49);
    for (int k = 0; k < 48; ++k) w.lstPlayOrder->item(k)->setCheckState(Qt::Checked);
    QTest::keyClick(&w, Qt::Key_Space);
    render(200);
    EXPECT_EQ(modeOf(clip::playOrderAlias(48)), "playing");
    EXPECT_NEAR(frequency(seconds() - 0.15, seconds()), 300, 15);
    EXPECT_EQ(w.PlayOrderFiles[48], QString::fromStdString(media_.file("first.wav")));
}

TEST_F(ClipTest, ATabChangeShowsWhatStillPlaysAndTheNextPressStopsEveryClip) {
    clip::ClipTable table;
    put(table, 1, 1, tone("page1.wav", 3, 300));
    put(table, 2, 1, tone("page2.wav", 3, 700));
    put(table, 2, 2, QString::fromStdString(media_.file("gone.wav")));
    test::writeFile(media_.file("empty.wav"), "");
    put(table, 2, 3, QString::fromStdString(media_.file("empty.wav")));
    put(table, 1, 5, tone("short.wav", 0.3, 900));  // page 2 has no clip on button 5
    frmClipPlay& w = openAs(QStringLiteral("tabs"), table);
    QTest::keyClick(&w, Qt::Key_2);
    QTest::keyClick(&w, Qt::Key_6);
    render(100, true);

    w.SSTab1->setCurrentIndex(1);
    EXPECT_EQ(w.CurrentPage, 2);
    EXPECT_EQ(w.cmdPlay[1]->text(), "page2");
    EXPECT_TRUE(w.cmdPlay[1]->isChecked()) << "button 1 still sounds";
    EXPECT_EQ(w.Shape1[1]->colour(), clip::kRed);
    EXPECT_FALSE(w.cmdPlay[2]->isEnabled());
    EXPECT_FALSE(w.cmdPlay[3]->isEnabled());
    EXPECT_FALSE(w.cmdPlay[4]->isEnabled()) << "an empty slot cannot be pressed";
    EXPECT_EQ(w.lstPlayed->count(), 4);
    EXPECT_EQ(w.lstPlayed->text(2), "File: gone.wav  Does not exist");
    EXPECT_EQ(w.lstPlayed->text(3), "File: empty.wav  Does not exist");
    render(100, true);
    EXPECT_NEAR(frequency(0.12, 0.2), 300, 15) << "the page-1 clip plays on";
    // The clip of page 1 on button 5 ends while page 2 shows: the log names that clip.
    render(200, true);
    EXPECT_EQ(logLines().last(), "Stopped after full play short.wav" + stamp());

    // A key on a clip whose file is missing starts nothing: neither the log nor the played list
    // tells of a start, nor the ticker of an end.
    const QStringList before = logLines();
    QTest::keyClick(&w, Qt::Key_3);
    render(100, true);
    EXPECT_EQ(logLines(), before);
    EXPECT_EQ(w.lstPlayed->count(), 4);
    EXPECT_FALSE(w.Timer1[2]->isEnabled()) << "the ticker ended the button";

    // A key stops the page-1 sound on its button (keys do not close the others) and logs the
    // clip that was playing, not the one this page shows.
    QTest::keyClick(&w, Qt::Key_2);
    render(100, true);
    EXPECT_LT(level(0.52, 0.6), 0.001);
    EXPECT_EQ(logLines().last(), "Stopped page1.wav" + stamp());
    // The next mouse press closes every channel of the window, then plays this page's clip.
    QTest::mouseClick(w.cmdPlay[1], Qt::LeftButton);
    render(150, true);
    EXPECT_NEAR(frequency(0.62, 0.75), 700, 15);
    EXPECT_FALSE(w.PageChanged);
    EXPECT_EQ(logLines().filter("Started page2.wav").size(), 1);
}

TEST_F(ClipTest, FontsFollowTheWidthTheTabStripTurnsWhiteAndTheLogKeepsTheCentury) {
    frmClipPlay& w = openAs(QStringLiteral("look"), clip::ClipTable{});
    const double font = w.cmdAdd[0]->font().pointSizeF();
    w.resize(w.width() * 2, w.height());
    EXPECT_NEAR(w.cmdAdd[0]->font().pointSizeF(), font * 2, 0.01);
    w.resize(w.width() / 2, w.height() * 2);
    EXPECT_NEAR(w.cmdAdd[0]->font().pointSizeF(), font, 0.01) << "the height does not change it";

    // The strip right of the last tab is white once a tab is chosen.
    w.SSTab1->setCurrentIndex(1);
    const QImage strip = w.SSTab1->grab().toImage();
    EXPECT_EQ(strip.pixelColor(strip.width() - 2, strip.height() / 2), QColor(Qt::white));

    // A short date form without the century gets it back; the time keeps its own form.
    const QDateTime moment(QDate(2026, 12, 6), QTime(13, 35, 7));
    EXPECT_EQ(clip::logStamp(moment, QLocale(QStringLiteral("en_US"))).toStdString(), " at 12/6/2026 1:35:07 PM");
    EXPECT_EQ(clip::logStamp(moment, QLocale(QStringLiteral("de_DE"))).toStdString(), " at 06.12.2026 13:35:07");
}

// Tab walks the clips row by row (as the eye reads the grid) and comes back round; Enter on a
// clip button starts and stops it, the menu key pauses it, and neither fires a clip of a key.
TEST_F(ClipTest, TabWalksTheClipsRowByRowAndEnterWorksTheFocusedClip) {
    clip::ClipTable table;
    put(table, 1, 6, tone("b.wav", 5.0, 440.0));
    frmClipPlay& w = openAs(QStringLiteral("tabs"), table);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.cmdPlay[0]->setFocus();
    std::vector<QWidget*> seen{QApplication::focusWidget()};
    for (int k = 0; k < 400; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget());
        if (seen.back() == w.cmdPlay[0]) break;
    }
    ASSERT_EQ(seen.back(), w.cmdPlay[0]) << "Tab never came back round: a focus trap";
    auto at = [&seen](QWidget* x) { return std::find(seen.begin(), seen.end(), x) - seen.begin(); };
    // Row 0 is buttons 0, 6, 12 ... 42; then row 1 starts with button 1.
    EXPECT_LT(at(w.cmdPlay[0]), at(w.Text1[0]));
    EXPECT_LT(at(w.cmdAdd[0]), at(w.cmdPlay[6]));
    EXPECT_LT(at(w.cmdPlay[42]), at(w.cmdPlay[1]));
    EXPECT_LT(at(w.cmdAdd[47]), at(w.cmdExit));
    EXPECT_LT(at(w.SSTab1), static_cast<long>(seen.size()));

    w.cmdPlay[6]->setFocus();
    QTest::keyClick(w.cmdPlay[6], Qt::Key_Return);
    EXPECT_TRUE(w.Check1[6]->isChecked());
    EXPECT_EQ(MediaChannel::mode(clip::buttonAlias(6)), "playing");
    QTest::keyClick(w.cmdPlay[6], Qt::Key_Menu);
    EXPECT_EQ(MediaChannel::mode(clip::buttonAlias(6)), "paused");
    EXPECT_EQ(w.Text1[6]->text(), "<");
    QTest::keyClick(w.cmdPlay[6], Qt::Key_Menu);
    QTest::keyClick(w.cmdPlay[6], Qt::Key_Return);
    EXPECT_FALSE(w.Check1[6]->isChecked());
    EXPECT_EQ(w.cmdAdd[6]->text(), "Stopped");
}
