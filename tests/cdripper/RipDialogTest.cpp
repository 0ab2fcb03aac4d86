// Ripping ticked tracks from the CD window: files equal to the image's audio, Cancel during the
// second of three tracks, the overwrite question, errors that reach the operator, and a drive
// that takes seconds to answer while the window carries on.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "cdripper/frmRipDialog.h"
#include "cdripper/frmOptions.h"
#include "cdripper/frmVBCDRip.h"
#include "console/FileBrowser.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/cdripper/RipFixture.h"
#include "tests/dialogs/ReadOnlyFolder.h"
#include "ui/Prompt.h"

namespace {

using brisko::test::DiscImage;
using brisko::ui::PromptAnswer;
using brisko::ui::PromptRequest;

std::string wavAudio(const std::string& path) {
    const std::string file = brisko::test::readFile(path);
    return file.size() >= 46 ? file.substr(46) : std::string("<no wav>");
}

class RipWindowTest : public RipFixture {
protected:
    void SetUp() override {
        int argc = 0;
        if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc, nullptr);
        out = dir.file("out");
        ::mkdir(out.c_str(), 0755);
        brisko::ui::setMessageResponder([this](const PromptRequest& r) {
            messages.push_back(r.text.toStdString());
            return answer;
        });
    }
    void TearDown() override {
        brisko::ui::setMessageResponder(nullptr);
        delete window;
        brisko::mci::mciSendString("close cd");
    }

    // A CD window over DISC (the only drive besides the machine's own), rips going to OUT.
    void openWindow(const DiscImage& disc) {
        brisko::test::writeCdRipIni(brisko::programFolder() + "/cdrip.ini", {disc.cue});
        window = new frmVBCDRip;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window->Form_Load());
        ASSERT_TRUE(messages.empty()) << messages.front();
        window->cboDrives->setCurrentIndex(window->cboDrives->count() - 1);
        window->LoadTracks();
        ASSERT_TRUE(window->toc().has_value());
        ASSERT_TRUE(window->Dir1->setPath(QString::fromStdString(out)));
        messages.clear();
    }
    void tick(int row) {
        QTreeWidgetItem* item = window->lvwTracks->topLevelItem(row - 1);
        item->setCheckState(0, Qt::Checked);
    }
    void rip() {
        window->pnlCommands->setEnabled(true);
        window->cmdRip->setEnabled(true);
        QTest::mouseClick(window->cmdRip, Qt::LeftButton);
    }
    std::string file(int track) const { return out + "/Track 0" + std::to_string(track) + ".wav"; }

    std::string out;
    frmVBCDRip* window = nullptr;
    std::vector<std::string> messages;
    PromptAnswer answer = PromptAnswer::Yes;

private:
    std::unique_ptr<QApplication> app_;
};

TEST_F(RipWindowTest, TickedTracksBecomeWavFilesOfTheDiscsAudio) {
    const DiscImage disc = brisko::test::makeToneDisc(dir.path(), "five", {0.4, 0.6, 0.3, 0.5, 0.7});
    openWindow(disc);
    ASSERT_EQ(5, window->lvwTracks->topLevelItemCount());
    EXPECT_EQ("Track 02", window->lvwTracks->topLevelItem(1)->text(0).toStdString());
    EXPECT_EQ("0:02.24", window->lvwTracks->topLevelItem(1)->text(2).toStdString());  // sector 30 = 2 s + 30 frames
    EXPECT_EQ("0.10MB", window->lvwTracks->topLevelItem(1)->text(4).toStdString());
    tick(5);
    tick(2);
    rip();
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(disc.trackAudio[1], wavAudio(file(2)));
    EXPECT_EQ(disc.trackAudio[4], wavAudio(file(5)));
    EXPECT_NE(0, ::access(file(1).c_str(), F_OK));
    EXPECT_TRUE(window->pnlCommands->isEnabled());
    EXPECT_EQ(nullptr, window->ripDialog());

    // Overwrite: No keeps the old file and skips the track; Yes writes it again. An empty file
    // of the same name is replaced without a question.
    brisko::test::writeFile(file(2), "old");
    brisko::test::writeFile(file(5), "");
    answer = PromptAnswer::No;
    rip();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("The file " + file(2) + " already exists. Overwrite? ", messages[0]);
    EXPECT_EQ("old", brisko::test::readFile(file(2)));
    EXPECT_EQ(disc.trackAudio[4], wavAudio(file(5)));
    answer = PromptAnswer::Yes;
    rip();
    EXPECT_EQ(disc.trackAudio[1], wavAudio(file(2)));
}

TEST_F(RipWindowTest, CancelDuringTheSecondOfThreeTracks) {
    const DiscImage disc = brisko::test::makeToneDisc(dir.path(), "cancel", {1.0, 3.0, 1.0});
    openWindow(disc);
    tick(1);
    tick(2);
    tick(3);
    std::vector<std::string> infos;
    bool clicked = false;
    // Cancel is clicked, for real, once the second track is under way.
    auto watch = [&] {
        frmRipDialog* dialog = window->ripDialog();
        if (dialog == nullptr) return;
        QObject::connect(dialog->prgTrack, &QProgressBar::valueChanged, dialog, [&, dialog](int value) {
            infos.push_back(dialog->lblInfo->text().toStdString());
            if (!clicked && dialog->prgSelected->value() == 1 && value > 10) {
                clicked = true;
                QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
            }
        });
    };
    QTimer::singleShot(0, watch);
    rip();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(disc.trackAudio[0], wavAudio(file(1)));
    EXPECT_NE(0, ::access(file(2).c_str(), F_OK)) << "the cancelled track's file is deleted";
    EXPECT_NE(0, ::access(file(3).c_str(), F_OK)) << "the third track is not started";
    ASSERT_FALSE(infos.empty());
    EXPECT_EQ("Ripping track 2 (2 of 3) to " + file(2) + "...", infos.back());
    EXPECT_EQ(nullptr, window->ripDialog()) << "the dialog closes by itself";
    EXPECT_TRUE(window->pnlCommands->isEnabled());
}

TEST_F(RipWindowTest, RipErrorsReachTheOperatorAndKeepWhatWasDone) {
    const DiscImage disc = brisko::test::makeToneDisc(dir.path(), "errors", {0.5, 2.0});
    openWindow(disc);
    tick(1);

    // A folder that is gone or cannot be written.
    window->Dir1->setPath(QString::fromStdString(out));
    ::rmdir(out.c_str());
    rip();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("An error occurred during ripping: Unable to open file for writing.", messages[0]);
    ::mkdir(out.c_str(), 0755);
    {
        brisko::test::ReadOnlyFolder readOnly(out);
        if (readOnly.writesRefused()) {
            messages.clear();
            rip();
            ASSERT_EQ(1u, messages.size());
            EXPECT_EQ("An error occurred during ripping: Unable to open file for writing.", messages[0]);
        }
    }

    // The image taken away while track 2 is ripped: track 1 stays whole, track 2 is finalised
    // with what was read, and the operator is told.
    tick(2);
    messages.clear();
    QTimer::singleShot(0, [&] {
        frmRipDialog* dialog = window->ripDialog();
        QObject::connect(dialog->prgTrack, &QProgressBar::valueChanged, dialog, [&, dialog](int value) {
            if (dialog->prgSelected->value() == 1 && value > 20) ::unlink(disc.bin.c_str());
        });
    });
    rip();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("An error occurred during ripping: CDRip Error", messages[0]);
    EXPECT_EQ(disc.trackAudio[0], wavAudio(file(1)));
    const std::string partial = brisko::test::readFile(file(2));
    ASSERT_GT(partial.size(), 46u);
    EXPECT_EQ(disc.trackAudio[1].substr(0, partial.size() - 46), partial.substr(46));
    EXPECT_TRUE(window->pnlCommands->isEnabled());
    EXPECT_EQ(nullptr, window->ripDialog());
}

using Clock = std::chrono::steady_clock;

// The ticks of a 10 ms timer on the window's thread, from now until the object goes.
class TickWatch {
public:
    TickWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { ticks_.push_back(Clock::now()); });
        timer_.start();
    }
    // The longest time within [FROM, TO] that passed without a tick.
    double longestGapMs(Clock::time_point from, Clock::time_point to) const {
        double longest = 0;
        Clock::time_point last = from;
        for (const Clock::time_point tick : ticks_) {
            if (tick <= from) continue;
            if (tick >= to) break;
            longest = std::max(longest, std::chrono::duration<double, std::milli>(tick - last).count());
            last = tick;
        }
        return std::max(longest, std::chrono::duration<double, std::milli>(to - last).count());
    }

private:
    QTimer timer_;
    std::vector<Clock::time_point> ticks_;
};

// A drive that takes MS to answer: the library's drive reads are held from now and let go by
// another thread (so that a window that waits on its own thread cannot keep them held).
class SlowDrive {
public:
    explicit SlowDrive(int ms) : heldAt_(Clock::now()) {
        brisko::test::holdDrives(true);
        release_ = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            releasedAt_ = Clock::now();
            brisko::test::holdDrives(false);
        });
    }
    ~SlowDrive() { answered(); }
    // Waits for the drive to answer (if it has not yet); then the held span is known.
    void answered() {
        if (release_.joinable()) release_.join();
    }
    Clock::time_point heldAt() const { return heldAt_; }
    Clock::time_point releasedAt() const { return releasedAt_; }

private:
    Clock::time_point heldAt_;
    Clock::time_point releasedAt_;
    std::thread release_;
};

TEST_F(RipWindowTest, ASlowDriveLeavesTheWindowResponsive) {
    const DiscImage disc = brisko::test::makeToneDisc(dir.path(), "slow", {1.0, 1.0});
    openWindow(disc);
    TickWatch ticks;

    // Refresh on a drive that takes 600 ms to answer: events go on being handled, a close asked
    // for meanwhile waits for the answer, and the list is then built.
    {
        bool visibleWhileAsked = false;
        QTimer::singleShot(100, window, [this] { window->close(); });
        QTimer::singleShot(300, window, [&] { visibleWhileAsked = window->isVisible(); });
        SlowDrive drive(600);
        QTest::mouseClick(window->cmdRefresh, Qt::LeftButton);
        const Clock::time_point returned = Clock::now();
        drive.answered();
        EXPECT_TRUE(returned >= drive.releasedAt()) << "the list waited for the drive";
        EXPECT_LT(ticks.longestGapMs(drive.heldAt(), drive.releasedAt()), 200.0);
        EXPECT_EQ(2, window->lvwTracks->topLevelItemCount());
        EXPECT_TRUE(visibleWhileAsked) << "not closed while the drive was asked";
        QTest::qWait(200);
        EXPECT_FALSE(window->isVisible()) << "closed once the answer came";
        window->show();
    }

    // A rip whose second chunk takes 600 ms: the window is as responsive, and the file whole.
    tick(1);
    std::unique_ptr<SlowDrive> drive;
    QTimer::singleShot(0, [&] {
        frmRipDialog* dialog = window->ripDialog();
        QObject::connect(dialog->prgTrack, &QProgressBar::valueChanged, dialog, [&](int value) {
            if (!drive && value > 0) drive = std::make_unique<SlowDrive>(600);
        });
    });
    rip();
    ASSERT_NE(nullptr, drive);
    drive->answered();
    EXPECT_LT(ticks.longestGapMs(drive->heldAt(), drive->releasedAt()), 200.0);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(disc.trackAudio[0], wavAudio(file(1)));
}

}  // namespace

namespace {

TEST_F(RipWindowTest, OptionsShowAndStoreTheDrivesValues) {
    const DiscImage a = brisko::test::makeToneDisc(dir.path(), "opt-a", {0.2});
    const DiscImage b = brisko::test::makeToneDisc(dir.path(), "opt-b", {0.2});
    brisko::cdripper::cCDRip& lib = library({a.cue, b.cue});
    const int32_t first = lib.CDDriveCount() - 1;  // 1-based index of image a
    frmOptions options;
    options.setCRRip(&lib);
    ASSERT_EQ(lib.CDDriveCount(), options.cboDrives->count());
    ASSERT_EQ(20, options.cboDriveType->count());
    EXPECT_EQ("CUSTOMDRIVE", options.cboDriveType->itemText(19).toStdString());

    // Edit drive a, switch to drive b (a's values are stored), edit b, OK.
    options.cboDrives->setCurrentIndex(first - 1);
    options.txtReadSectors->setText("13");
    options.cboDriveType->setCurrentIndex(14);
    options.cboDrives->setCurrentIndex(first);
    EXPECT_EQ("26", options.txtReadSectors->text().toStdString()) << "drive b shows its own values";
    options.txtRetries->setText("abc");
    QTest::mouseClick(options.cmdOK, Qt::LeftButton);
    ASSERT_EQ(1u, messages.size()) << "text that is not a number is refused";
    EXPECT_EQ("Retries must be a whole number from 0 to 1000.", messages[0]);
    EXPECT_EQ(QDialog::Rejected, options.result());
    options.txtRetries->setText("5");
    QTest::mouseClick(options.cmdOK, Qt::LeftButton);
    EXPECT_EQ(QDialog::Accepted, options.result());

    EXPECT_EQ(13, lib.CDDrive(first).ReadSectors());
    EXPECT_EQ(14, lib.CDDrive(first).DriveType());
    EXPECT_EQ(5, lib.CDDrive(first + 1).Retries());
    EXPECT_EQ(26, lib.CDDrive(first + 1).ReadSectors());
}

}  // namespace
