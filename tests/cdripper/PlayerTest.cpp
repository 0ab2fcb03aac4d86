// The CD window's player on a disc image: the transport buttons through the status texts and
// what is heard in the mix, a one-track disc, and closing the window with a deck open.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

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
    void openWindow(const DiscImage& disc) {
        brisko::test::writeCdRipIni(brisko::programFolder() + "/cdrip.ini", {disc.cue});
        window = new frmVBCDRip;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window->Form_Load());
        window->Timer1->stop();  // the test runs the status update itself
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

TEST_F(PlayerTest, OneTrackDiscKeepsTheTransportOff) {
    openWindow(brisko::test::makeToneDisc(dir.path(), "single", {1.0}));
    window->StatusUpdate();
    EXPECT_FALSE(window->play->isEnabled());
    EXPECT_FALSE(window->loaded());
    EXPECT_TRUE(window->totalplay->text().isEmpty());
    EXPECT_TRUE(window->eject->isEnabled());
    EXPECT_EQ(1, window->lvwTracks->topLevelItemCount()) << "the track list still offers it for ripping";
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
