// The CD window's player on disc images: the transport buttons through the status texts and what
// is heard in the mix, the drive box choosing what plays, one-track and data discs, a broken
// image, and closing the window with a deck open.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cdripper/frmVBCDRip.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/cdripper/RipFixture.h"
#include "tests/support/ToneFiles.h"
#include "ui/Prompt.h"

namespace {

using brisko::test::DiscImage;

class PlayerTest : public RipFixture {
protected:
    void SetUp() override {
        int argc = 0;
        if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc, nullptr);
        ASSERT_TRUE(engine.startBackend("manual:44100"));
        brisko::ui::setMessageResponder([this](const brisko::ui::PromptRequest& r) {
            messages.push_back(r.text.toStdString());
            return brisko::ui::PromptAnswer::Ok;
        });
    }
    void TearDown() override {
        delete window;
        brisko::mci::mciSendString("close all");
        brisko::ui::setMessageResponder(nullptr);
    }
    void openWindow(const DiscImage& disc) { openWindow(std::vector<std::string>{disc.cue}); }
    void openWindow(const std::vector<std::string>& cues) {
        brisko::test::writeCdRipIni(brisko::programFolder() + "/cdrip.ini", cues);
        window = new frmVBCDRip;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window->Form_Load());
        window->Timer1->stop();  // the test runs the status update itself
        waitForDisc();
    }
    // The device looks at its drive on a thread of its own: once it has seen the disc, the
    // status update runs as the timer would run it.
    void waitForDisc() {
        std::string present;
        for (int i = 0; i < 100 && present != "true"; ++i) {
            brisko::mci::mciSendString("status cd media present", &present);
            if (present != "true") QTest::qWait(20);
        }
        window->StatusUpdate();
    }
    // Chooses drive box ENTRY with the arrow keys, as the operator would.
    void choose(int entry, bool withDisc = true) {
        while (window->cboDrives->currentIndex() < entry) QTest::keyClick(window->cboDrives, Qt::Key_Down);
        while (window->cboDrives->currentIndex() > entry) QTest::keyClick(window->cboDrives, Qt::Key_Up);
        if (withDisc) waitForDisc();
    }
    double frequency(const std::vector<float>& heard) const {
        return brisko::test::zeroCrossingFrequency(heard, 441, static_cast<int64_t>(heard.size() / 2) - 441, 44100);
    }
    void click(QPushButton* button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    std::vector<float> hear(double seconds) {
        std::vector<float> out(static_cast<std::size_t>(seconds * 44100) * 2);
        engine.renderManual(out.data(), static_cast<int>(out.size() / 2));
        window->StatusUpdate();
        return out;
    }
    std::string time() const { return window->timeWindow->text().toStdString(); }

    brisko::audio::Engine& engine = brisko::audio::Engine::instance();
    frmVBCDRip* window = nullptr;
    std::vector<std::string> messages;

private:
    std::unique_ptr<QApplication> app_;
};

TEST_F(PlayerTest, TransportThroughTheStatusTextsAndTheMix) {
    // Track 1 440 Hz 1 s, track 2 550 Hz 2 s, track 3 660 Hz 1.5 s.
    openWindow(brisko::test::makeToneDisc(dir.path(), "player", {1.0, 2.0, 1.5}));
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ("Tracks: 3  Total time: 00:04:38", window->totalplay->text().toStdString());
    EXPECT_EQ("[01] 00:00", time());
    EXPECT_EQ("Track time: 00:01:00", window->tracktime->text().toStdString());
    EXPECT_TRUE(window->eject->isEnabled());

    click(window->ftrack);
    EXPECT_EQ("[02] 00:00", time());
    EXPECT_EQ("Track time: 00:02:00", window->tracktime->text().toStdString());
    click(window->play);
    EXPECT_TRUE(window->playing());
    const std::vector<float> heard = hear(1.2);
    EXPECT_NEAR(550.0, brisko::test::zeroCrossingFrequency(heard, 4410, 44100, 44100), 10.0);
    EXPECT_EQ("[02] 00:01", time());
    EXPECT_TRUE(window->playing());

    // Five seconds either way leaves the disc: refused without a word, playing on.
    click(window->ff);
    click(window->rew);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ("[02] 00:01", time());
    EXPECT_TRUE(window->playing());

    // Previous track: first back to the start of this one, then to the one before, then round.
    click(window->btrack);
    EXPECT_EQ("[02] 00:00", time());
    click(window->btrack);
    EXPECT_EQ("[01] 00:00", time());
    EXPECT_NEAR(440.0, brisko::test::zeroCrossingFrequency(hear(0.3), 441, 8820, 44100), 10.0);
    EXPECT_EQ("[01] 00:00", time());
    click(window->btrack);  // within the first second: still 00:00, so round to the last track
    EXPECT_EQ("[03] 00:00", time());
    EXPECT_TRUE(window->playing());

    // Next track on the last track goes to track 1 and stops.
    click(window->ftrack);
    EXPECT_EQ("[01] 00:00", time());
    EXPECT_FALSE(window->playing());

    // A click on a row moves there and keeps playing when playing.
    click(window->play);
    hear(0.2);
    QTreeWidgetItem* row3 = window->lvwTracks->topLevelItem(2);
    QTest::mouseClick(window->lvwTracks->viewport(), Qt::LeftButton, {},
                      window->lvwTracks->visualItemRect(row3).center());
    EXPECT_EQ(3, window->currentTrack());
    EXPECT_NEAR(660.0, brisko::test::zeroCrossingFrequency(hear(0.3), 441, 8820, 44100), 10.0);
    EXPECT_EQ("[03] 00:00", time());
    EXPECT_TRUE(window->playing());
    EXPECT_FALSE(window->cmdRip->isEnabled()) << "no row is ticked";

    // Ticking a row's box is a click on the list too: Rip follows the ticks, and the player goes
    // to the selected row (still row 3: a tick does not select); unticking the last tick
    // disables Rip.
    QTreeWidgetItem* row2 = window->lvwTracks->topLevelItem(1);
    const QPoint box(window->lvwTracks->visualItemRect(row2).left() + 10, window->lvwTracks->visualItemRect(row2).center().y());
    QTest::mouseClick(window->lvwTracks->viewport(), Qt::LeftButton, {}, box);
    ASSERT_EQ(Qt::Checked, row2->checkState(0));
    EXPECT_TRUE(window->cmdRip->isEnabled());
    EXPECT_EQ(3, window->currentTrack());
    EXPECT_EQ("[03] 00:00", time());
    EXPECT_TRUE(window->playing());
    QTest::mouseClick(window->lvwTracks->viewport(), Qt::LeftButton, {}, box);
    ASSERT_EQ(Qt::Unchecked, row2->checkState(0));
    EXPECT_FALSE(window->cmdRip->isEnabled());
    QTest::mouseClick(window->lvwTracks->viewport(), Qt::LeftButton, {}, window->lvwTracks->visualItemRect(row3).center());
    hear(0.1);

    // Stop returns to the start of the current track; pause keeps the place.
    hear(1.0);
    EXPECT_EQ("[03] 00:01", time());
    click(window->pause);
    EXPECT_FALSE(window->playing());
    EXPECT_EQ("[03] 00:01", time());
    click(window->stopbtn);
    EXPECT_EQ("[03] 00:00", time());

    // An image has no tray: the operator is told, the player carries on.
    click(window->eject);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(brisko::mci::mciGetErrorString(brisko::mci::mciSendString("set cd door open")), messages[0]);
    EXPECT_TRUE(window->play->isEnabled());
}

TEST_F(PlayerTest, PlaysTheChosenDriveAndEveryDiscWithAudio) {
    // Drive A: one audio track (440 Hz). B: three tracks (440, 550, 660 Hz). C: one data track.
    // D: a cue sheet whose data file is gone.
    const DiscImage a = brisko::test::makeToneDisc(dir.path(), "a", {1.0});
    const DiscImage b = brisko::test::makeToneDisc(dir.path(), "b", {1.0, 1.0, 1.0});
    const std::string c = brisko::test::makeDataDisc(dir.path(), "c", 150);
    const DiscImage d = brisko::test::makeToneDisc(dir.path(), "d", {1.0});
    ::unlink(d.bin.c_str());
    openWindow({a.cue, b.cue, c, d.cue});
    const int first = window->cboDrives->count() - 4;
    choose(first);

    // A disc whose only track is audio plays.
    EXPECT_EQ(first + 1, window->cdDrive());
    EXPECT_TRUE(window->loaded());
    EXPECT_EQ("Tracks: 1  Total time: 00:01:00", window->totalplay->text().toStdString());
    click(window->play);
    EXPECT_NEAR(440.0, frequency(hear(0.3)), 10.0);

    // Another drive chosen: its tracks are listed, and its disc is what plays.
    choose(first + 1);
    EXPECT_EQ(first + 2, window->cdDrive());
    EXPECT_EQ(3, window->lvwTracks->topLevelItemCount());
    EXPECT_EQ("Tracks: 3  Total time: 00:03:00", window->totalplay->text().toStdString());
    EXPECT_FALSE(window->playing()) << "the first drive stopped when another was chosen";
    click(window->ftrack);
    EXPECT_EQ("[02] 00:00", time());
    click(window->play);
    EXPECT_NEAR(550.0, frequency(hear(0.3)), 10.0);

    // A disc without audio keeps the transport off; its track is still listed for ripping.
    choose(first + 2);
    EXPECT_FALSE(window->play->isEnabled());
    EXPECT_FALSE(window->loaded());
    EXPECT_TRUE(window->totalplay->text().isEmpty());
    EXPECT_TRUE(window->eject->isEnabled());
    EXPECT_EQ(1, window->lvwTracks->topLevelItemCount());
    EXPECT_LT(brisko::test::rms(hear(0.2), 0, 8820), 0.001) << "the other drive's sound stopped";

    // A broken image: no disc, and which of its files is missing.
    choose(first + 3, false);
    ASSERT_EQ(2, window->lvwTracks->topLevelItemCount());
    EXPECT_EQ("No CD In Drive", window->lvwTracks->topLevelItem(0)->text(0).toStdString());
    EXPECT_EQ("The data file " + d.bin + " of the disc image " + d.cue + " does not exist.",
              window->lvwTracks->topLevelItem(1)->text(0).toStdString());
    EXPECT_FALSE(window->eject->isEnabled());
    EXPECT_FALSE(window->cmdRip->isEnabled());
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(PlayerTest, ClosingTheWindowLeavesTheDecksOnAir) {
    const std::string tone = dir.file("deck.wav");
    brisko::test::writeToneWav(tone, {});
    ASSERT_EQ(0u, brisko::mci::mciSendString("open " + tone + " type mpegvideo alias voice0"));
    ASSERT_EQ(0u, brisko::mci::mciSendString("play voice0"));
    openWindow(brisko::test::makeToneDisc(dir.path(), "close", {1.0, 1.0}));
    window->close();
    std::string mode;
    EXPECT_EQ(0u, brisko::mci::mciSendString("status voice0 mode", &mode));
    EXPECT_EQ("playing", mode);
    EXPECT_NE(0u, brisko::mci::mciSendString("status cd mode", &mode)) << "the CD's own alias is closed";
}

}  // namespace
