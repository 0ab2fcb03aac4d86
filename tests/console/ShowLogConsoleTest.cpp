// The console and the show log, heard in the engine's mix: a show that ends without a clean end
// comes back with one answer, the as-run row matches the mix, pre-listens stay out of it, and
// the dead-air alarm fires on silence inside a track but not on quiet music.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "console/BackColor.h"
#include "console/frmSafety.h"
#include "media/MediaChannel.h"
#include "platform/mci/Mci.h"
#include "showlog/LocalTime.h"
#include "showlog/ShowLog.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/ToneFiles.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/audio/Engine.h"
#endif

using brisko::MediaChannel;
using brisko::showlog::showLog;

namespace brisko::test {
namespace {

// Stereo 16-bit WAV at 44100 Hz from pieces: seconds, and the amplitude of a 440 Hz tone on each
// side (0 = digital silence).
struct Piece {
    double seconds;
    double left;
    double right;
};

void writePieces(const std::string& path, const std::vector<Piece>& pieces) {
    std::vector<int16_t> samples;
    double t = 0;
    for (const Piece& p : pieces) {
        const auto frames = static_cast<int64_t>(p.seconds * 44100);
        for (int64_t k = 0; k < frames; ++k, t += 1.0 / 44100) {
            const double s = std::sin(2 * M_PI * 440 * t);
            samples.push_back(static_cast<int16_t>(std::lround(32767 * p.left * s)));
            samples.push_back(static_cast<int16_t>(std::lround(32767 * p.right * s)));
        }
    }
    writePcmWav(path, samples, 2, 44100);
}

class ShowLogConsoleTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        // The show log's clock follows the mix, so positions and times agree with what was heard.
        showlog::setClockForTesting(
            [this] { return kBase + static_cast<int64_t>(std::llround(seconds() * 1000)); });
        ASSERT_TRUE(showLog().open(home_.path()));
    }
    void TearDown() override {
        showLog().close(false);
        showlog::setClockForTesting({});
        ConsoleTest::TearDown();
    }
    // The program dies: nothing is closed, the journal gets no clean end; then it starts again.
    void dieAndRestart() {
        showLog().flush();
        window_.reset();
        mci::mciSendString("close all");
        showLog().close(false);
        ASSERT_TRUE(showLog().open(home_.path()));
        makeWindow();
    }
    // Periods of 50 ms with the deck ticks and the clock tick, as the window runs them.
    void run(double secondsToRun) {
        for (double t = 0; t < secondsToRun; t += 0.05) {
            period();
            w().Timer1_Timer();
        }
    }
    std::vector<std::string> asRunRows() {
        showLog().flush();
        std::vector<std::string> rows;
        if (!std::filesystem::exists(home_.file("asrun"))) return rows;
        for (const auto& e : std::filesystem::directory_iterator(home_.file("asrun"))) {
            std::istringstream in(readFile(e.path().string()));
            std::string line;
            std::getline(in, line);  // the header
            while (std::getline(in, line)) rows.push_back(line);
        }
        return rows;
    }
    std::string incidents() {
        showLog().flush();
        return readFile(home_.file(showlog::kIncidentsName));
    }
    static constexpr int64_t kBase = 1'765'000'000'000;
};

TEST_F(ShowLogConsoleTest, AShowThatDiedComesBackWithOneYes) {
    makeWindow();
    dropOnDeck(tone("first.wav", 10, 300), 0);
    dropOnDeck(tone("second.wav", 20, 600), 1);
    dropOnDeck(tone("gone.wav", 5, 900), 2);
    dropOnDeck(tone("gone too.wav", 5, 900), 4);
    w().chkSegue[1]->setChecked(true);
    w().Text2[0]->setText(QStringLiteral("5"));
    w().SpaceIndex = 2;
    w().cmdPlay_Click(1);
    run(3.2);
    // End moves the deck on air to 5 s before its end; the program dies before the next
    // half-second position line, so only the move itself can have told the journal.
    QTest::keyClick(w().currentclip, Qt::Key_End);
    std::filesystem::remove(media_.file("gone.wav"));
    std::filesystem::remove(media_.file("gone too.wav"));
    const std::string diedAt = showlog::localClock(kBase + 3200);
    dieAndRestart();
    messages_.clear();
    w().offerRestore();

    ASSERT_GE(prompts_.size(), 2u);
    EXPECT_EQ(prompts_[prompts_.size() - 2].text.toStdString(),
              "Brisko did not end normally. Restore the decks as they were at " + diedAt + "?");
    // The files that are gone: one message for both.
    EXPECT_TRUE(messages_.back().contains(QStringLiteral("gone.wav")));
    EXPECT_TRUE(messages_.back().contains(QStringLiteral("gone too.wav")));
    EXPECT_EQ(w().Text1[0]->text(), QStringLiteral("first"));
    EXPECT_EQ(w().Text1[1]->text(), QStringLiteral("second"));
    EXPECT_TRUE(w().Text1[2]->text().isEmpty());
    EXPECT_TRUE(w().chkSegue[1]->isChecked());
    EXPECT_EQ(w().Text2[0]->text(), QStringLiteral("5"));
    EXPECT_EQ(w().SpaceIndex, 2);
    EXPECT_EQ(w().CurrentDeck, 1);
    // The deck that was on air: stopped where it was (within a second), marked, not sounding.
    EXPECT_EQ(w().cmdPlay[1]->text(), QStringLiteral("Play 2"));
    EXPECT_NE(console::backColor(w().Text1[1]), frmMain::kColorLoaded);
    EXPECT_NEAR(MediaChannel::position("voice1"), 15000, 1000);
    const double restartedAt = seconds();
    render(500);
    EXPECT_LT(level(restartedAt, seconds()), 0.001);
    // Its Play continues the show from there.
    w().cmdPlay_Click(1);
    const double playedAt = seconds();
    run(1.0);
    EXPECT_GT(level(playedAt, seconds()), 0.1);
    EXPECT_NEAR(MediaChannel::position("voice1"), 16000, 1000);
    EXPECT_NE(incidents().find("Restored 2 decks"), std::string::npos);
    // The sound the program ended under is on record as ended by the restart.
    const auto rows = asRunRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0].find(",Deck 2,"), std::string::npos);
    EXPECT_NE(rows[0].find(",restore\r"), std::string::npos);

    // No starts empty, and the next start after another death asks nothing. (Another file is
    // loaded first: a second death with the same last file would set the crash-loop guard.)
    dropOnDeck(tone("third.wav", 5, 500), 3);
    dieAndRestart();
    answers_ = {ui::PromptAnswer::No};
    prompts_.clear();
    w().offerRestore();
    ASSERT_EQ(prompts_.size(), 1u) << messages_.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(w().Text1[0]->text().isEmpty());
    dieAndRestart();
    prompts_.clear();
    w().offerRestore();
    EXPECT_TRUE(prompts_.empty());
}

// The row's start is when the first sample of the deck reached the mix, its length what played.
// A pre-listen on the cue output never goes in.
TEST_F(ShowLogConsoleTest, AsRunRowMatchesTheMixAndPreListensStayOut) {
    ASSERT_TRUE(audio::Engine::instance().startCueOutput("manual"));
    makeWindow();
    dropOnDeck(tone("song.wav", 2.0, 440), 0);
    dropOnDeck(tone("cue.wav", 1.0, 880), 1);
    ASSERT_EQ(mci::mciSendString("set voice1 output cue"), 0u);
    w().cmdPlay_Click(1);
    render(200);
    const double before = seconds();
    w().cmdPlay_Click(0);
    run(2.5);
    audio::Engine::instance().startCueOutput("");

    const auto rows = asRunRows();
    ASSERT_EQ(rows.size(), 1u);
    const int64_t firstSampleMs = kBase + std::llround(firstLoudFrame(mix_, 0) * 1000.0 / rate());
    const int64_t playMs = kBase + std::llround(before * 1000);
    EXPECT_LE(std::abs(firstSampleMs - playMs), 20);
    EXPECT_EQ(rows[0].substr(0, 29), showlog::isoLocal(playMs).substr(0, 29));
    EXPECT_NE(rows[0].find(",Deck 1,"), std::string::npos);
    EXPECT_NE(rows[0].find(",2000,end\r"), std::string::npos) << rows[0];
}

// The command line's file plays on air at once and is on record like any other sound.
TEST_F(ShowLogConsoleTest, TheCommandLineFileIsOnRecord) {
    makeWindow(qs(media_.file(tone("start.wav", 1.0, 550))));
    run(1.5);
    const auto rows = asRunRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].find(",Command line,"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("start.wav"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find(",end\r"), std::string::npos) << rows[0];
}

TEST_F(ShowLogConsoleTest, DeadAirAlarmsOnSilenceInsideATrackNotOnQuietMusic) {
    makeWindow();
    const double quiet = std::pow(10.0, -45.0 / 20.0);
    writePieces(media_.file("gap.wav"), {{3, 0.5, 0.5}, {15, 0, 0}, {3, 0.5, 0.5}});
    writePieces(media_.file("quiet intro.wav"), {{14, quiet, quiet}, {2, 0.5, 0.5}});
    writePieces(media_.file("one side.wav"), {{14, 0.5, 0}});

    dropOnDeck("quiet intro.wav", 0);
    w().cmdPlay_Click(0);
    run(16.5);
    dropOnDeck("one side.wav", 1);
    w().cmdPlay_Click(1);
    run(14.5);
    EXPECT_EQ(incidents().find("Dead air"), std::string::npos);

    dropOnDeck("gap.wav", 2);
    w().cmdPlay_Click(2);
    run(12.9);
    EXPECT_FALSE(w().deadAirAlarmed());
    run(0.3);  // 10 s of silence after the first 3 s
    EXPECT_TRUE(w().deadAirAlarmed());
    EXPECT_TRUE(w().findChild<QLabel*>(QStringLiteral("healthLine"))
                    ->text()
                    .contains(QStringLiteral("Dead air")));
    run(5);  // the sound returns at 18 s
    EXPECT_FALSE(w().deadAirAlarmed());
    const std::string log = incidents();
    EXPECT_NE(log.find("Dead air: 10 s of silence below -50 dBFS while playing"),
              std::string::npos);
    EXPECT_NE(log.find("Sound is back on air"), std::string::npos);
    EXPECT_EQ(log.find("Dead air", log.find("Dead air") + 1), std::string::npos);  // once
}

// The settings window writes a file of its own (brisko.ini stays as it was) and the alarm follows
// it: a shorter hold, and the index deck started as Space would start it.
TEST_F(ShowLogConsoleTest, SafetySettingsLiveInTheirOwnFile) {
    const std::string ini = "/music\r\n*.mp3\r\nSIMPLE\r\n\r\n/tmp\r\n";
    writeIni(ini);
    makeWindow();
    QTimer::singleShot(0, [this] {
        auto* dialog = w().findChild<frmSafety*>();
        ASSERT_NE(dialog, nullptr);
        dialog->txtHold->setValue(4);
        dialog->chkStartIndex->setChecked(true);
        dialog->txtOutro->setValue(15);
        dialog->accept();
    });
    EXPECT_EQ(w().outroWarningSeconds(), 0);
    w().mnuSafety->trigger();
    EXPECT_EQ(w().outroWarningSeconds(), 15);  // the outro warning's lead is kept there too
    EXPECT_EQ(readFile(home_.file("brisko.ini")), ini);
    EXPECT_NE(readFile(home_.file("brisko-safety.ini")).find("HoldSeconds=4\r\n"),
              std::string::npos);
    writePieces(media_.file("gap.wav"), {{1, 0.5, 0.5}, {6, 0, 0}});
    dropOnDeck("gap.wav", 0);
    dropOnDeck(tone("rescue.wav", 5, 700), 1);
    w().cmdPlay_Click(0);
    w().SpaceIndex = 1;
    run(4.9);
    EXPECT_FALSE(w().deadAirAlarmed());
    EXPECT_EQ(w().cmdPlay[1]->text(), QStringLiteral("Play 2"));
    run(0.3);
    // The alarm started the index deck, and its sound ended the alarm.
    EXPECT_EQ(w().cmdPlay[1]->text(), QStringLiteral("Pause 2"));
    EXPECT_EQ(w().SpaceIndex, 2);
    const double rescued = seconds();
    run(0.5);
    EXPECT_GT(level(rescued, seconds()), 0.1);
    EXPECT_FALSE(w().deadAirAlarmed());
    const std::string log = incidents();
    EXPECT_NE(log.find("Dead air: starting the index deck, Deck 2"), std::string::npos);
    EXPECT_NE(log.find("Sound is back on air"), std::string::npos);
}

}  // namespace
}  // namespace brisko::test
