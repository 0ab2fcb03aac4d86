// What the operator hears: play, pause, stop, segues, Cut Off, fades, post-fades, the segue pause,
// the end of a clip and immediate play, measured in the engine's mix.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "console/BackColor.h"
#include "console/DeckMath.h"
#include "console/DeckTimer.h"
#include "console/FileNames.h"
#include "console/frmFunc.h"
#include "media/MediaChannel.h"
#include "platform/common/Clock.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ToneFiles.h"

using brisko::MediaChannel;
using brisko::console::backColor;

namespace brisko::test {
namespace {

class TransportTest : public ConsoleTest {
protected:
    // Loads tones of LENGTHS seconds into decks 0.. with frequencies 300, 600, 900, ...
    void loadDecks(std::initializer_list<double> lengths) {
        int i = 0;
        for (double seconds : lengths) {
            const std::string name = "deck" + std::to_string(i + 1) + ".wav";
            tone(name, seconds, 300.0 * (i + 1));
            dropOnDeck(name, i);
            ++i;
        }
    }
    // Dominant frequency of the mix over [from, from + 0.1 s).
    double pitch(double from) const {
        return zeroCrossingFrequency(mix_, static_cast<int64_t>(from * rate()), rate() / 10, rate());
    }
    // Runs periods until PRED holds (at most LIMIT periods); returns the mix time then.
    template <class Pred>
    double runUntil(Pred pred, int limit = 400) {
        for (int k = 0; k < limit && !pred(); ++k) period();
        return seconds();
    }
};

TEST_F(TransportTest, PlayPauseResumeStopAsHeard) {
    makeWindow();
    loadDecks({5.0});
    frmMain& m = w();
    m.cmdPlay_Click(0);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    EXPECT_EQ(backColor(m.cmdPlay[0]), 255);
    EXPECT_EQ(backColor(m.Text1[0]), 255);
    EXPECT_EQ(m.currentclip->text(), "Deck 1:deck1");
    EXPECT_FALSE(m.CommandQuit->isEnabled());
    EXPECT_FALSE(m.Command2->isEnabled());
    EXPECT_TRUE(m.Command4[0]->isEnabled());
    EXPECT_TRUE(m.Timer0[0]->isEnabled());
    EXPECT_EQ(m.CurrentDeck, 0);
    periods(4);
    EXPECT_GT(level(0.0, 0.2), 0.2);
    EXPECT_NEAR(pitch(0.05), 300, 10);
    EXPECT_EQ(m.Label8[0]->text(), "4%");
    EXPECT_EQ(m.Text3[0]->text(), "00:05");  // 4.8 s left rounds to 5

    m.cmdPlay_Click(0);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Resume 1");
    EXPECT_EQ(backColor(m.cmdPlay[0]), 16711680);
    EXPECT_EQ(m.currentclip->text(), "Deck 1 Paused deck1");
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    render(200);
    EXPECT_LT(level(0.21, 0.4), 0.001);

    m.cmdPlay_Click(0);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    EXPECT_EQ(m.currentclip->text(), "Deck 1:deck1");
    periods(2);
    EXPECT_GT(level(0.41, 0.5), 0.2);

    m.Command4_Click(0);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
    EXPECT_EQ(backColor(m.cmdPlay[0]), 49152);
    EXPECT_TRUE(m.CommandQuit->isEnabled());
    EXPECT_TRUE(m.Command2->isEnabled());
    EXPECT_FALSE(m.Command4[0]->isEnabled());
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    EXPECT_TRUE(m.currentclip->text().isEmpty());
    EXPECT_EQ(MediaChannel::position("voice0"), 0);
    render(200);
    EXPECT_LT(level(seconds() - 0.15, seconds()), 0.001);
    // Played again from the start.
    m.cmdPlay_Click(0);
    period();
    EXPECT_GT(level(seconds() - 0.04, seconds()), 0.2);
}

// On the real clock and real window timers: with nothing playing the clock tick wakes only when
// its text changes, yet shows each new second at once; a deck started from that idle state
// brings back the 50 ms tick, and its displays run.
TEST_F(TransportTest, TheIdleClockWakesForEachNewSecondAndADeckStartedThenUpdates) {
    struct RealTimers {
        RealTimers() { console::DeckTimer::setFrozen(false); }
        ~RealTimers() { console::DeckTimer::setFrozen(true); }
    } realTimers;
    setNowHook({});
    using std::chrono::system_clock;
    makeWindow();
    loadDecks({5.0});
    frmMain& m = w();
    int ticks = 0;
    QObject counting;  // the count ends with the test
    QObject::connect(m.Timer1, &console::DeckTimer::Timer, &counting, [&] { ++ticks; });
    // Runs the event loop for MS milliseconds; with CHECKCLOCK, checks after each round whose
    // start lay well past a change of second that the clock shows that second (or a later one).
    auto runFor = [&](int ms, bool checkClock) {
        int late = 0;
        const auto end = system_clock::now() + std::chrono::milliseconds(ms);
        while (system_clock::now() < end) {
            const auto before = system_clock::now();
            QCoreApplication::processEvents();
            const std::time_t second = system_clock::to_time_t(before);
            const auto into = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  before - system_clock::from_time_t(second)).count();
            std::tm local{};
            localtime_r(&second, &local);
            const QString shown = m.Label6->text();
            const QString now = console::clockText(TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec});
            if (checkClock && into >= 60 && shown < now) ++late;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return late;
    };
    runFor(100, false);  // settle after the start-up work
    ticks = 0;
    EXPECT_EQ(runFor(2300, true), 0) << "the clock showed an old second";
    EXPECT_GE(ticks, 2);
    EXPECT_LE(ticks, 5);  // 46 at a 50 ms tick

    m.cmdPlay_Click(0);
    ticks = 0;
    for (int k = 0; k < 8; ++k) {
        render(50);
        runFor(50, false);
    }
    runFor(120, false);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(m.Label8[0]->text(), "8%");
    EXPECT_EQ(m.Text3[0]->text(), "00:05");  // 4.6 s left
}

TEST_F(TransportTest, QuitStaysGreyUntilSomeDeckStopsButExitAsksAnyway) {
    makeWindow();
    loadDecks({5.0, 5.0});
    frmMain& m = w();
    m.cmdPlay_Click(0);
    m.cmdPlay_Click(1);
    EXPECT_FALSE(m.CommandQuit->isEnabled());
    EXPECT_TRUE(m.mnuExit->isEnabled());
    m.Command4_Click(1);
    EXPECT_TRUE(m.CommandQuit->isEnabled());  // even though deck 1 still plays
    answers_ = {ui::PromptAnswer::No};
    m.mnuExit->trigger();
    ASSERT_EQ(messages_.size(), 1);
    // Every channel, the playing one too, was closed before the question.
    render(100);
    EXPECT_LT(level(seconds() - 0.05, seconds()), 0.001);
    // Play then starts nothing audible until the file is loaded again.
    m.Command4_Click(0);
    m.cmdPlay_Click(0);
    periods(3);
    EXPECT_LT(level(seconds() - 0.1, seconds()), 0.001);
    EXPECT_EQ(m.Text1[0]->text(), "deck1");
    dropOnDeck("deck1.wav", 0);
    m.Command4_Click(0);
    m.cmdPlay_Click(0);
    periods(2);
    EXPECT_GT(level(seconds() - 0.05, seconds()), 0.2);
}

TEST_F(TransportTest, ManualStopStartsTheNextDeckWithSegue) {
    makeWindow();
    loadDecks({5.0, 5.0});
    frmMain& m = w();
    m.chkSegue[1]->setChecked(true);
    m.cmdPlay_Click(0);
    periods(4);
    m.Command4_Click(0);
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    periods(4);
    EXPECT_NEAR(pitch(seconds() - 0.15), 600, 10);
    // Stopping deck 2 does not restart deck 1 (no Segue there).
    m.Command4_Click(1);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
    // A Segue'd next deck that already plays is not pressed again (that would pause it).
    m.cmdPlay_Click(0);
    m.cmdPlay_Click(1);
    periods(2);
    m.Command4_Click(0);
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    periods(2);
    EXPECT_NEAR(pitch(seconds() - 0.09), 600, 10);
}

TEST_F(TransportTest, StoppingDeckTwelveWrapsToDeckOne) {
    makeWindow();
    tone("one.wav", 5.0, 300);
    tone("twelve.wav", 5.0, 900);
    dropOnDeck("one.wav", 0);
    dropOnDeck("twelve.wav", 11);
    frmMain& m = w();
    m.chkSegue[0]->setChecked(true);
    m.cmdPlay_Click(11);
    periods(2);
    m.Command4_Click(11);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    EXPECT_EQ(m.CurrentDeck, 0);
}

TEST_F(TransportTest, EmptyDeckWithSeguePassesThePressOn) {
    makeWindow();
    tone("six.wav", 5.0, 500);
    dropOnDeck("six.wav", 5);
    frmMain& m = w();
    m.chkSegue[4]->setChecked(true);
    m.cmdPlay_Click(4);
    EXPECT_EQ(m.cmdPlay[4]->text(), "Play 5");
    EXPECT_EQ(m.cmdPlay[5]->text(), "Pause 6");
    periods(3);
    EXPECT_NEAR(pitch(0.02), 500, 10);
    // An empty deck without Segue takes the playing look; its tick runs until Stop.
    m.cmdPlay_Click(7);
    EXPECT_EQ(m.cmdPlay[7]->text(), "Pause 8");
    periods(3);
    EXPECT_TRUE(m.Timer0[7]->isEnabled());
    m.Command4_Click(7);
    EXPECT_FALSE(m.Timer0[7]->isEnabled());
}

TEST_F(TransportTest, CutOffStartsTheNextDeckOnceAtItsPoint) {
    makeWindow();
    loadDecks({12.0, 20.0});
    frmMain& m = w();
    m.Text2[0]->setText("5");
    m.chkSegue[1]->setChecked(true);
    m.cmdPlay_Click(0);
    const double started = runUntil([&] { return m.cmdPlay[1]->text() == "Pause 2"; });
    EXPECT_GE(started, 7.0);
    EXPECT_LE(started, 7.05 + 1e-9);
    EXPECT_TRUE(m.Text2[0]->text().isEmpty());
    EXPECT_EQ(m.CutOffStarted[0], 1);
    // Both play together until deck 1 ends.
    periods(2);
    EXPECT_GT(level(seconds() - 0.1, seconds()), 0.3);
    // Deck 1 ends; deck 2 keeps playing and is not pressed a second time.
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_NEAR(seconds(), 12.0, 0.06);
    periods(4);
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    EXPECT_NEAR(pitch(seconds() - 0.15), 600, 10);
    EXPECT_EQ(m.CutOffStarted[0], 0);
}

TEST_F(TransportTest, CutOffOnDeckTwelveStartsNothing) {
    makeWindow();
    tone("one.wav", 5.0, 300);
    tone("last.wav", 3.0, 900);
    dropOnDeck("one.wav", 0);
    dropOnDeck("last.wav", 11);
    frmMain& m = w();
    m.Text2[11]->setText("2");
    m.cmdPlay_Click(11);
    runUntil([&] { return m.Text2[11]->text().isEmpty(); });
    EXPECT_NEAR(seconds(), 1.05, 0.06);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
}

TEST_F(TransportTest, AnEarlierCutOffDoesNotBlockALaterSegue) {
    makeWindow();
    loadDecks({3.0, 2.0, 2.0});
    frmMain& m = w();
    m.Text2[0]->setText("1");
    m.chkSegue[2]->setChecked(true);
    m.cmdPlay_Click(0);
    runUntil([&] { return m.cmdPlay[1]->text() == "Pause 2"; });
    // Deck 2 ends by itself after deck 1; deck 3 has Segue and follows.
    runUntil([&] { return m.cmdPlay[2]->text() == "Pause 3"; });
    EXPECT_NEAR(seconds(), 4.0, 0.11);
    periods(3);
    EXPECT_NEAR(pitch(seconds() - 0.12), 900, 15);
}

TEST_F(TransportTest, FadeSilencesInTwentyOneTicksAndStopsOnTheTwentySecond) {
    makeWindow();
    loadDecks({10.0});
    frmMain& m = w();
    m.cmdPlay_Click(0);
    period();
    m.Command8_Click(0);
    EXPECT_EQ(backColor(m.Command8[0]), 120043);
    EXPECT_EQ(m.Decks[0].Fading, 1);
    EXPECT_EQ(m.Decks[0].FadeLevel, 100);
    periods(20);
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 5);
    EXPECT_EQ(m.Command8[0]->text(), "10");
    EXPECT_GT(level(seconds() - 0.05, seconds()), 0.0005);
    period();  // the 21st tick sets 0
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 0);
    render(50);
    EXPECT_LT(level(seconds() - 0.045, seconds()), 0.0001);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    m.Timer0_Timer(0);  // the 22nd stops the deck
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
    EXPECT_TRUE(m.Text3[0]->text().isEmpty());  // as at the end of a clip: no time left shown
    EXPECT_EQ(m.Command8[0]->text(), "F");
    EXPECT_EQ(backColor(m.Command8[0]), brisko::console::kButtonFace);
    EXPECT_EQ(m.Decks[0].Fading, 0);
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 100);
    periods(3);
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    EXPECT_LT(level(seconds() - 0.1, seconds()), 0.0001);
}

TEST_F(TransportTest, AFadeThatEndsHandsOverToTheNextDeckOnce) {
    makeWindow();
    loadDecks({10.0, 10.0});
    frmMain& m = w();
    m.chkSegue[1]->setChecked(true);
    m.Func()->Slider1->setValue(10);
    m.cmdPlay_Click(0);
    m.Command8_Click(0);
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    periods(4);
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    EXPECT_NEAR(pitch(seconds() - 0.12), 600, 10);
}

TEST_F(TransportTest, FadeTwiceKeepsFadingFromTheCurrentVolume) {
    makeWindow();
    loadDecks({10.0});
    frmMain& m = w();
    m.cmdPlay_Click(0);
    m.Command8_Click(0);
    periods(5);
    m.Command8_Click(0);
    EXPECT_EQ(m.Decks[0].Fading, 1);
    EXPECT_EQ(backColor(m.Command8[0]), 120043);
    EXPECT_EQ(m.Decks[0].FadeLevel, MediaChannel::getVolume("voice0"));
    // Play during a fade cancels it.
    m.cmdPlay_Click(0);
    m.cmdPlay_Click(0);
    EXPECT_EQ(m.Decks[0].Fading, 0);
    EXPECT_EQ(backColor(m.Command8[0]), brisko::console::kButtonFace);
}

TEST_F(TransportTest, FadesThatNeverComplete) {
    makeWindow();
    loadDecks({1.0, 10.0});
    frmMain& m = w();
    // Speed 0: the deck plays on at its volume to its end.
    m.Func()->Slider1->setValue(0);
    m.cmdPlay_Click(0);
    m.Command8_Click(0);
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_NEAR(seconds(), 1.0, 0.06);  // it played to its end
    EXPECT_GT(level(0.8, 0.95), 0.2);
    // From 96 at speed 10: 96, 86, ..., 6, then -4 is refused; the volume stays at 6.
    m.Func()->Slider1->setValue(10);
    m.cmdPlay_Click(1);
    MediaChannel::setVolume("voice1", "", 96);
    m.Command8_Click(1);
    EXPECT_EQ(m.Decks[1].FadeLevel, 96);
    periods(30);
    EXPECT_EQ(MediaChannel::getVolume("voice1"), 6);
    EXPECT_EQ(m.Command8[1]->text(), "6");
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    EXPECT_EQ(m.Decks[1].Fading, 1);
    EXPECT_GT(level(seconds() - 0.05, seconds()), 0.00001);  // still faintly on air
}

TEST_F(TransportTest, PostFadeLowersThePreviousDeckAndClosesIt) {
    makeWindow();
    loadDecks({20.0, 20.0});
    frmMain& m = w();
    m.chkPost[0]->setChecked(true);
    m.cmdPlay_Click(0);
    periods(2);
    const double alone = level(seconds() - 0.05, seconds());
    m.cmdPlay_Click(1);
    period();
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 95);
    periods(9);
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 50);
    // The previous deck's tone is fading under the new one.
    EXPECT_NEAR(pitch(seconds() - 0.1), 600, 40);
    runUntil([&] { return !m.chkPost[0]->isChecked(); });
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
    EXPECT_EQ(backColor(m.cmdPlay[0]), 49152);
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    EXPECT_EQ(MediaChannel::lengthMs("voice0"), -1);  // closed
    periods(2);
    EXPECT_NEAR(pitch(seconds() - 0.1), 600, 10);
    EXPECT_GT(alone, 0.2);
}

TEST_F(TransportTest, PostFadeOfAnIdleDeckTwelveWhenDeckOnePlays) {
    makeWindow();
    tone("one.wav", 10.0, 300);
    tone("twelve.wav", 10.0, 900);
    dropOnDeck("one.wav", 0);
    dropOnDeck("twelve.wav", 11);
    frmMain& m = w();
    // Deck 12 is loaded but idle; its Post box counts all the same (wrap from deck 1).
    m.chkPost[11]->setChecked(true);
    m.chkPost[4]->setChecked(true);
    m.chkSegue[3]->setVisible(false);
    m.chkSegue[4]->setVisible(false);
    m.cmdPlay_Click(0);
    period();
    EXPECT_EQ(MediaChannel::getVolume("voice11"), 95);
    runUntil([&] { return !m.chkPost[11]->isChecked(); });
    EXPECT_EQ(MediaChannel::lengthMs("voice11"), -1);  // closed: it must be loaded again
    EXPECT_EQ(m.Text1[11]->text(), "twelve");
    EXPECT_FALSE(m.CommandQuit->isEnabled());  // deck 1 still plays
    EXPECT_TRUE(m.Command2->isEnabled());
    // Segue boxes come back only on decks without Post.
    EXPECT_FALSE(m.chkSegue[3]->isHidden());
    EXPECT_TRUE(m.chkSegue[4]->isHidden());
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
}

TEST_F(TransportTest, SeguePauseGivesSilenceBetweenTheTones) {
    makeWindow();
    loadDecks({1.0, 2.0});
    frmMain& m = w();
    m.chkSegue[1]->setChecked(true);
    m.Func()->Slider7->setValue(2);
    m.cmdPlay_Click(0);
    runUntil([&] { return m.cmdPlay[1]->text() == "Pause 2"; });
    ASSERT_EQ(sleeps_, std::vector<int>{2000});
    periods(4);
    EXPECT_GT(level(0.5, 0.95), 0.2);
    const int64_t resumed = firstLoudFrame(mix_, static_cast<int64_t>(1.01 * rate()));
    ASSERT_GT(resumed, 0);
    const double gap = static_cast<double>(resumed) / rate() - 1.0;
    EXPECT_GE(gap, 2.0);
    EXPECT_LE(gap, 2.06);
    EXPECT_LT(level(1.01, 3.0), 0.0001);
    EXPECT_NEAR(pitch(seconds() - 0.15), 600, 10);
}

TEST_F(TransportTest, NaturalEndResetsTheDeckAndAutoDeleteClearsIt) {
    makeWindow();
    loadDecks({1.0, 1.0});
    frmMain& m = w();
    m.showMinimized();
    ASSERT_TRUE(m.windowState() & Qt::WindowMinimized);
    m.cmdPlay_Click(0);
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_FALSE(m.windowState() & Qt::WindowMinimized);  // brought back for the operator
    EXPECT_EQ(m.Text1[0]->text(), "deck1");
    EXPECT_TRUE(m.Text3[0]->text().isEmpty());
    EXPECT_TRUE(m.CommandQuit->isEnabled());
    EXPECT_EQ(m.Decks[0].DeckStarted, 0);
    EXPECT_FALSE(m.Timer0[0]->isEnabled());
    // The last tick saw 100 %: the bar goes back to 0 and hides, the percent label hides.
    EXPECT_EQ(m.ProgressBar1[0]->value(), 0);
    EXPECT_TRUE(m.ProgressBar1[0]->isHidden());
    EXPECT_TRUE(m.Label8[0]->isHidden());

    m.mnuAutoDOn_Click();
    m.cmdPlay_Click(1);
    runUntil([&] { return m.cmdPlay[1]->text() == "Play 2"; });
    EXPECT_TRUE(m.Text1[1]->text().isEmpty());
    EXPECT_TRUE(m.Decks[1].DeckFile.isEmpty());
    // Stop with Auto Delete on clears the deck as well.
    m.cmdPlay_Click(0);
    m.Command4_Click(0);
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
    EXPECT_EQ(m.cmrTime->text(), "00:00:00");
}

TEST_F(TransportTest, ANextDeckAlreadyPlayingIsNotPausedByTheSegue) {
    makeWindow();
    loadDecks({1.0, 5.0});
    frmMain& m = w();
    m.chkSegue[1]->setChecked(true);
    m.cmdPlay_Click(0);
    periods(5);
    m.cmdPlay_Click(1);  // the operator starts deck 2 early by hand
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_EQ(m.cmdPlay[1]->text(), "Pause 2");
    periods(2);
    EXPECT_NEAR(pitch(seconds() - 0.1), 600, 10);
}

TEST_F(TransportTest, StartTimesChainFromTheStartedDeck) {
    makeWindow();
    loadDecks({185.0, 64.0, 30.0});
    frmMain& m = w();
    m.cmdPlay_Click(0);
    EXPECT_EQ(m.StartTime[0]->text(), "10:00:00");
    EXPECT_EQ(m.StartTime[1]->text(), "10:03:05");
    EXPECT_EQ(m.StartTime[2]->text(), "10:04:09");
    EXPECT_TRUE(m.StartTime[3]->text().isEmpty());
    // Deck 11 started: deck 12 is not updated; deck 12 started: no start time at all.
    m.StartTime[10]->clear();
    m.UpdateStartTimes(11);
    EXPECT_TRUE(m.StartTime[11]->text().isEmpty());
    m.SpaceIndex = 1;
    setNowHook([] { return TimeOfDay{23, 59, 0}; });
    m.TimeRecal_Click();
    EXPECT_EQ(m.StartTime[1]->text(), "23:59:00");
    EXPECT_EQ(m.StartTime[2]->text(), "00:00:04");
}

TEST_F(TransportTest, PositionSliderSeeksAndPlaysFromThere) {
    makeWindow();
    loadDecks({4.0});
    frmMain& m = w();
    commands_.clear();
    m.HScroll1[0]->setValue(50);
    EXPECT_EQ(commands_, std::vector<std::string>{"play voice0"});
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    EXPECT_EQ(backColor(m.cmdPlay[0]), 255);
    EXPECT_EQ(m.Label8[0]->text(), "50%");
    EXPECT_EQ(m.ProgressBar1[0]->value(), 50);
    render(100);
    EXPECT_GT(level(0.0, 0.1), 0.2);
    // Its tick runs, so its end is seen and the deck resets.
    runUntil([&] { return m.cmdPlay[0]->text() == "Play 1"; });
    EXPECT_NEAR(seconds(), 2.1, 0.11);
    EXPECT_EQ(m.HScroll1[0]->value(), 50);
    m.Command4_Click(0);
    EXPECT_EQ(m.HScroll1[0]->value(), 0);
}

TEST_F(TransportTest, ClearAllLeavesAPlayingDeckPlaying) {
    makeWindow();
    loadDecks({5.0, 5.0});
    frmMain& m = w();
    m.chkSegue[1]->setChecked(true);
    m.SpaceIndex = 4;
    m.cmdPlay_Click(0);
    period();
    m.Command2_Click();
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
    EXPECT_TRUE(m.Text1[1]->text().isEmpty());
    EXPECT_FALSE(m.chkSegue[1]->isChecked());
    EXPECT_EQ(m.SpaceIndex, 0);
    EXPECT_EQ(m.cmrTime->text(), "00:00:00");
    EXPECT_FALSE(m.cmdPlay[0]->isEnabled());
    periods(2);
    EXPECT_GT(level(seconds() - 0.05, seconds()), 0.2);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
}

TEST_F(TransportTest, CommandLineFilePlaysAtOnceOnTheImmediateChannel) {
    // A name that is not UTF-8 plays as well: it is kept as bytes up to the open call.
    const std::string name = tone("on air \xE9t\xE9.wav", 3.0, 750);
    makeWindow(console::fileNameFromBytes(QByteArray::fromStdString(media_.file(name))));
    frmMain& m = w();
    EXPECT_FALSE(m.StopImmediate->isHidden());
    EXPECT_EQ(m.currentclip->text(),
              QString::fromStdString(media_.path()) + QString::fromUtf8("/on air \uFFFDt\uFFFD.wav"));
    render(200);
    EXPECT_NEAR(pitch(0.05), 750, 15);
    EXPECT_TRUE(messages_.isEmpty());
    // The immediate channel is opened without quotes around its (blank-free) short path.
    const std::string path = media_.file(name);
    EXPECT_EQ(commands_, (std::vector<std::string>{
                             "close voice2",
                             "open " + brisko::shortPath(path) + " type MPEGvideo alias voice2",
                             "play voice2"}));
    // Stop closes voice2 and the channel of the Space deck as well.
    tone("five.wav", 2.0);
    dropOnDeck("five.wav", 4);
    m.SpaceIndex = 4;
    ASSERT_EQ(MediaChannel::lengthMs("voice4"), 2000);
    m.StopImmediate->click();
    EXPECT_EQ(MediaChannel::lengthMs("voice4"), -1);
    EXPECT_TRUE(m.StopImmediate->isHidden());
    EXPECT_TRUE(m.currentclip->text().isEmpty());
    render(100);
    EXPECT_LT(level(seconds() - 0.05, seconds()), 0.0001);
}

TEST_F(TransportTest, CommandLineFileThatWillNotOpenIsReported) {
    std::filesystem::create_directory(media_.file("folder.wav"));
    ASSERT_EQ(::mkfifo(media_.file("pipe.wav").c_str(), 0600), 0);
    for (const std::string name : {"missing.wav", "folder.wav", "pipe.wav"}) {
        messages_.clear();
        frmMain& m = makeWindow(QString::fromStdString(media_.file(name)));
        ASSERT_EQ(messages_.size(), 1) << name;
        EXPECT_EQ(messages_[0], "Error opening file. Error #-1");
        // Nothing plays, so nothing claims to.
        EXPECT_TRUE(m.StopImmediate->isHidden()) << name;
        EXPECT_TRUE(m.currentclip->text().isEmpty()) << name;
        window_.reset();
    }
}

}  // namespace
}  // namespace brisko::test
