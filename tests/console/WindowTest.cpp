// The main window as the operator first sees it: captions, colours, tooltips, menus, start-up
// from brisko.ini, Quit, Advanced Mode, the operator-setting change rules and resizing.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>

#include <filesystem>

#include "console/BackColor.h"
#include "console/DeckTimer.h"
#include "console/FitLabel.h"
#include "console/Settings.h"
#include "console/frmFunc.h"
#include "console/frmHelp.h"
#include "media/MediaChannel.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/TempDir.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/audio/Engine.h"
#include "tests/platform/audio/TestSources.h"
#endif

using brisko::MediaChannel;
using brisko::console::backColor;
using brisko::console::kButtonFace;

namespace brisko::test {
namespace {

using WindowTest = ConsoleTest;

TEST_F(WindowTest, DecksStartWithTheirCaptionsColoursAndTooltips) {
    frmMain& m = makeWindow();
    for (int i = 0; i < frmMain::kDecks; ++i) {
        const QString n = QString::number(i + 1);
        EXPECT_EQ(m.cmdPlay[i]->text(), "Play " + n);
        EXPECT_EQ(backColor(m.cmdPlay[i]), 49152);
        EXPECT_EQ(backColor(m.Text1[i]), 65280);
        EXPECT_EQ(m.Command4[i]->text(), "Stop");
        EXPECT_EQ(m.Command4[i]->toolTip(), "Stop " + n);
        EXPECT_EQ(m.Command5[i]->toolTip(), "Clear " + n);
        EXPECT_EQ(m.Command8[i]->text(), "F");
        EXPECT_EQ(m.Command8[i]->toolTip(), "Fade " + n + " to 0 and stop.");
        EXPECT_EQ(backColor(m.Command8[i]), kButtonFace);
        EXPECT_EQ(m.Text2[i]->toolTip(), "Cut Off " + n);
        EXPECT_EQ(m.Label2[i]->text(), "Segue");
        EXPECT_EQ(m.Label4[i]->toolTip(), "Total clip play length.");
        EXPECT_EQ(m.StartTime[i]->toolTip(), "Time clip was started or time clip will start.");
        EXPECT_FALSE(m.Timer0[i]->isEnabled());
        EXPECT_EQ(m.Timer0[i]->interval(), 50);
        // Advanced controls start hidden; every control carries its name and index.
        EXPECT_TRUE(m.HScroll1[i]->isHidden());
        EXPECT_TRUE(m.chkPost[i]->isHidden());
        EXPECT_TRUE(m.StartTime[i]->isHidden());
        EXPECT_EQ(m.findChild<QPushButton*>("cmdPlay_" + QString::number(i)), m.cmdPlay[i]);
        EXPECT_EQ(m.findChild<QLineEdit*>("Text1_" + QString::number(i)), m.Text1[i]);
    }
    EXPECT_EQ(m.chkPost[5]->toolTip(), "Segue Fade 6");
    EXPECT_EQ(m.chkPost[4]->toolTip(), "When clicked this clip will fade out when next clip is started.");
    EXPECT_TRUE(m.chkSegue[0]->toolTip().startsWith("If checked this clip will play immediatly"));
    EXPECT_EQ(m.CommandQuit->text(), "&Quit");
    EXPECT_EQ(m.CommandQuit->toolTip(), "Press to Quit");
    EXPECT_EQ(m.Command2->text(), "&Clear All");
    EXPECT_EQ(m.StopImmediate->text(), "&Stop");
    EXPECT_TRUE(m.StopImmediate->isHidden());
    EXPECT_EQ(m.TimeRecal->text(), "Time Re-cal");
    EXPECT_EQ(m.cmdSetIndex->text(), "Set Index");
    EXPECT_EQ(m.cmdHelp->text(), "HELP");
    EXPECT_EQ(m.cmdClipShow->text(), "Clip Player");
    EXPECT_EQ(m.CD_Play->text(), "CD Play/Rip");
    EXPECT_EQ(m.cmdEncoder->text(), "MP3 Encoder");
    EXPECT_EQ(m.Label1->text(), "Total Time");
    EXPECT_EQ(m.cmrTime->text(), "00:00:00");
    EXPECT_EQ(m.cmrTime->toolTip(), "Displays total time of all clips.");
    EXPECT_EQ(m.Label6->text(), "10:00:00");  // the clock, from the fixed time of day
    EXPECT_EQ(m.Label6->toolTip(), "Current time.");
    EXPECT_EQ(m.currentclip->toolTip(), "Shows what is currently being played, Deck and name.");
    EXPECT_TRUE(m.Label5->isHidden());
    EXPECT_TRUE(m.Timer1->isEnabled());
    EXPECT_EQ(frmMain::instance(), &m);
}

TEST_F(WindowTest, MenuBarInItsOrderWithAutoDeleteOffMarked) {
    frmMain& m = makeWindow();
    QStringList top;
    for (QAction* a : m.menuBar()->actions()) top << a->text();
    EXPECT_EQ(top, (QStringList{"&File", "&Options", "&Refresh Directory", "Ad&vanced Mode", "&About"}));
    QStringList options;
    for (QAction* a : m.mnuOptions->actions()) options << a->text();
    EXPECT_EQ(options, (QStringList{"Functions", "Auto Delete On", "Auto Delete Off", "On-Air &Safety..."}));
    EXPECT_EQ(m.mnuFile->actions().value(0), m.mnuExit);
    EXPECT_EQ(m.mnuExit->text(), "E&xit");
    EXPECT_FALSE(m.mnuAutoDOn->isChecked());
    EXPECT_TRUE(m.mnuAutoDOff->isChecked());
    // Triggering an entry moves the mark; triggering it again keeps it.
    m.mnuAutoDOn->trigger();
    EXPECT_TRUE(m.mnuAutoDOn->isChecked());
    EXPECT_FALSE(m.mnuAutoDOff->isChecked());
    m.mnuAutoDOn->trigger();
    EXPECT_TRUE(m.mnuAutoDOn->isChecked());
    m.mnuAutoDOff->trigger();
    EXPECT_FALSE(m.mnuAutoDOn->isChecked());
    EXPECT_TRUE(m.mnuAutoDOff->isChecked());
}

TEST_F(WindowTest, PaintsTheColoursItReports) {
    frmMain& m = makeWindow();
    m.show();
    brisko::console::setBackColor(m.Text1[0], frmMain::kColorPlaying);
    const QImage image = m.Text1[0]->grab().toImage();
    const QColor inside = image.pixelColor(image.width() - 6, image.height() / 2);
    EXPECT_GT(inside.red(), 200);
    EXPECT_LT(inside.green(), 60);
    EXPECT_LT(inside.blue(), 60);
}

TEST_F(WindowTest, OperatorSettingsStartValues) {
    frmMain& m = makeWindow();
    frmFunc* f = m.Func();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isHidden());
    EXPECT_EQ(f->Slider1->value(), 5);
    EXPECT_EQ(f->Label12->text(), "5");
    EXPECT_EQ(f->Slider2->value(), 2);
    EXPECT_EQ(f->Label13->text(), "2");
    EXPECT_EQ(f->Slider3->value(), 2);
    EXPECT_EQ(f->Label14->text(), "2");
    EXPECT_EQ(f->Slider5->value(), 3);
    EXPECT_EQ(f->Label16->text(), "3");
    EXPECT_EQ(f->Slider8->value(), 20);
    EXPECT_EQ(f->Label19->text(), "20");
    EXPECT_EQ(f->Slider4->value(), 100);
    EXPECT_EQ(f->Slider7->value(), 0);
    EXPECT_EQ(m.fadeSpeed(), 5);
    EXPECT_EQ(m.duckLevel(), 20);
    // The console reads the sliders at the moment of use.
    f->Slider1->setValue(9);
    EXPECT_EQ(m.fadeSpeed(), 9);
    // Program folder and start-up folder.
    EXPECT_EQ(m.settingsFile(), QString::fromStdString(home_.file("brisko.ini")));
    EXPECT_EQ(m.SettingsDir, QDir::currentPath());
}

TEST_F(WindowTest, MissingIniKeepsTheBrowserDefaults) {
    frmMain& m = makeWindow();
    EXPECT_EQ(m.Dir1->path(), QDir::currentPath());
    EXPECT_EQ(m.File1->path(), QDir::currentPath());
    EXPECT_FALSE(m.Func()->Check4->isChecked());
    EXPECT_TRUE(m.DefaultDir.isEmpty());
}

TEST_F(WindowTest, CompleteIniOpensTheFolderWithItsPatternInSimpleMode) {
    tone("a.wav", 0.2);
    tone("C.WAV", 0.2);
    writeFile(media_.file("b.mp3"), "x");
    writeFile(media_.file("notes.txt"), "x");
    writeIni(media_.path() + "\r\n*.wav\r\nsimple\r\n/usr/bin/editor\r\n/tmp\r\n");
    frmMain& m = makeWindow();
    EXPECT_EQ(m.Dir1->path(), QString::fromStdString(media_.path()));
    EXPECT_EQ(m.File1->names(), (QStringList{"a.wav", "C.WAV"}));  // case does not matter
    EXPECT_FALSE(m.Func()->Check4->isChecked());
    EXPECT_EQ(m.StartMode, "simple");
    EXPECT_EQ(m.DefaultEditor, "/usr/bin/editor");
    EXPECT_EQ(m.TempDir, "/tmp");
    EXPECT_TRUE(m.HScroll1[0]->isHidden());
}

TEST_F(WindowTest, AdvancedStartShowsTheAdvancedControls) {
    writeIni(media_.path() + "\r\n*.wav\r\nadvanced\r\n\r\n\r\n");
    frmMain& m = makeWindow();
    EXPECT_TRUE(m.Func()->Check4->isChecked());
    for (int i = 0; i < frmMain::kDecks; ++i) {
        EXPECT_FALSE(m.HScroll1[i]->isHidden());
        EXPECT_FALSE(m.chkPost[i]->isHidden());
        EXPECT_FALSE(m.StartTime[i]->isHidden());
    }
    // The menu state is separate: the first click shows what is shown, the second hides.
    EXPECT_EQ(m.AdvancedMode, 0);
    m.advmode_Click();
    EXPECT_EQ(m.AdvancedMode, -1);
    EXPECT_FALSE(m.HScroll1[3]->isHidden());
    m.advmode_Click();
    EXPECT_EQ(m.AdvancedMode, 0);
    EXPECT_TRUE(m.HScroll1[3]->isHidden());
    EXPECT_TRUE(m.StartTime[3]->isHidden());
}

TEST_F(WindowTest, StartModeIsReadWithoutRegardToCase) {
    writeIni("\r\n\r\nSiMpLe\r\n\r\n\r\n");
    EXPECT_FALSE(makeWindow().Func()->Check4->isChecked());
    window_.reset();
    writeIni("\r\n\r\nsimple mode\r\n\r\n\r\n");  // anything but SIMPLE is advanced
    EXPECT_TRUE(makeWindow().Func()->Check4->isChecked());
}

TEST_F(WindowTest, EmptyLinesGiveTheHomeFolderAndTheDefaultPattern) {
    writeIni("\r\n\r\nsimple\r\n\r\n\r\n");
    frmMain& m = makeWindow();
    EXPECT_EQ(m.Dir1->path(), QDir::cleanPath(QDir::homePath()));
    EXPECT_EQ(m.File1->pattern(), brisko::console::defaultFilePattern());
    EXPECT_EQ(m.File1->pattern().count("*.mov"), 2);
    EXPECT_EQ(m.File1->pattern().count("*.asf"), 2);
}

TEST_F(WindowTest, ShortIniStoresWhatWasReadButAppliesNothing) {
    writeIni(media_.path() + "\r\n*.wav\r\nadvanced\r\n/ed\r\n");
    frmMain& m = makeWindow();
    EXPECT_EQ(m.DefaultDir, QString::fromStdString(media_.path()));
    EXPECT_EQ(m.StartMode, "advanced");
    EXPECT_EQ(m.DefaultEditor, "/ed");
    EXPECT_EQ(m.Dir1->path(), QDir::currentPath());
    EXPECT_FALSE(m.Func()->Check4->isChecked());
}

TEST_F(WindowTest, VanishedDefaultFolderSkipsTheRestOfTheSettings) {
    writeIni(media_.file("gone") + "\r\n*.wav\r\nadvanced\r\n\r\n\r\n");
    frmMain& m = makeWindow();
    EXPECT_EQ(m.Dir1->path(), QDir::currentPath());
    EXPECT_FALSE(m.Func()->Check4->isChecked());
    EXPECT_NE(m.File1->pattern(), "*.wav");
}

TEST_F(WindowTest, OddPatternEntriesStillListTheFiles) {
    tone("one.wav", 0.1);
    tone("two.MP3.wav", 0.1);
    writeFile(media_.file("three.mp3"), "x");
    writeFile(media_.file("skip.ogg"), "x");
    writeIni(media_.path() + "\r\n;;*.WAV;; *.mp3 ;*.[;\r\nsimple\r\n\r\n\r\n");
    frmMain& m = makeWindow();
    EXPECT_EQ(m.File1->names(), (QStringList{"one.wav", "three.mp3", "two.MP3.wav"}));
    // The entry that is no wildcard lists nothing and is named to the operator, once, after the
    // start-up.
    EXPECT_TRUE(messages_.isEmpty());
    QApplication::processEvents();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains("*.[")) << messages_[0].toStdString();
    m.refdir_Click();
    EXPECT_EQ(messages_.size(), 1);
    // Sets, single characters and exact names.
    writeFile(media_.file("take1.ogg"), "x");
    writeFile(media_.file("takeB.ogg"), "x");
    writeFile(media_.file("Jingle"), "x");
    m.File1->setPattern("take[0-9].ogg;*.?p3;JINGLE");
    EXPECT_EQ(m.File1->names(), (QStringList{"Jingle", "take1.ogg", "three.mp3"}));
    m.File1->setPattern("take[!0-9].ogg");
    EXPECT_EQ(m.File1->names(), (QStringList{"takeB.ogg"}));
    QApplication::processEvents();
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(WindowTest, WriteSettingsGoesToTheProgramFolderAndReadsBack) {
    frmMain& m = makeWindow();
    m.DefaultDir = QString::fromStdString(media_.path());
    m.FilePattern = "*.wav";
    m.StartMode = "advanced";
    m.DefaultEditor = "/opt/ed, the editor";
    m.TempDir = "/tmp";
    QString error;
    ASSERT_TRUE(m.WriteSettings(&error)) << error.toStdString();
    window_.reset();
    // A save cut short by a kill left its temporary file: the next start removes it.
    writeFile(home_.file("brisko.ini.saving-Xy12Ab"), "/half");
    frmMain& again = makeWindow();
    EXPECT_FALSE(std::filesystem::exists(home_.file("brisko.ini.saving-Xy12Ab")));
    EXPECT_EQ(again.DefaultEditor, "/opt/ed, the editor");
    EXPECT_EQ(again.Dir1->path(), QString::fromStdString(media_.path()));
    EXPECT_TRUE(again.Func()->Check4->isChecked());
}

TEST_F(WindowTest, QuitClosesEveryChannelThenAsks) {
    tone("q.wav", 1.0);
    frmMain& m = makeWindow();
    dropOnDeck("q.wav", 0);
    ASSERT_EQ(MediaChannel::lengthMs("voice0"), 1000);
    bool ended = false;
    frmMain::setEndProgramHook([&] { ended = true; });

    answers_ = {ui::PromptAnswer::No};
    m.CommandQuit_Click();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], "Brisko will now close. Choose Yes to QUIT or No to restart. ");
    EXPECT_FALSE(ended);
    // The deck still shows its title, but its channel is closed.
    EXPECT_EQ(m.Text1[0]->text(), "q");
    EXPECT_EQ(MediaChannel::lengthMs("voice0"), -1);

    answers_ = {ui::PromptAnswer::Yes};
    m.mnuExit->trigger();
    EXPECT_EQ(messages_.size(), 2);
    EXPECT_TRUE(ended);
}

TEST_F(WindowTest, RefusesEveryOtherWayOfClosing) {
    frmMain& m = makeWindow();
    m.show();
    EXPECT_FALSE(m.close());
    EXPECT_TRUE(m.isVisible());
    EXPECT_FALSE(m.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(WindowTest, AdvancedModeTogglesAndHidesPercentLabels) {
    frmMain& m = makeWindow();
    m.Label8[2]->setVisible(true);
    m.advmode_Click();
    EXPECT_EQ(m.AdvancedMode, -1);
    EXPECT_FALSE(m.ProgressBar1[2]->isHidden());
    EXPECT_FALSE(m.HScroll1[2]->isHidden());
    EXPECT_FALSE(m.chkPost[2]->isHidden());
    EXPECT_FALSE(m.StartTime[2]->isHidden());
    m.advmode->trigger();
    EXPECT_EQ(m.AdvancedMode, 0);
    EXPECT_TRUE(m.Label8[2]->isHidden());
    EXPECT_TRUE(m.ProgressBar1[2]->isHidden());
}

TEST_F(WindowTest, AutoSegueAndAdvancedLayoutBoxesDriveEveryDeck) {
    frmMain& m = makeWindow();
    m.chkSegue[4]->setChecked(true);
    m.Func()->Check3->setChecked(true);
    for (int i = 0; i < frmMain::kDecks; ++i) EXPECT_TRUE(m.chkSegue[i]->isChecked());
    m.Func()->Check3->setChecked(false);
    for (int i = 0; i < frmMain::kDecks; ++i) EXPECT_FALSE(m.chkSegue[i]->isChecked());
    m.Func()->Check4->setChecked(true);
    EXPECT_FALSE(m.StartTime[11]->isHidden());
    EXPECT_TRUE(m.ProgressBar1[11]->isHidden());  // not one of the layout box's controls
    m.Func()->Check4->setChecked(false);
    EXPECT_TRUE(m.StartTime[11]->isHidden());
}

TEST_F(WindowTest, ResizingScalesEveryControlAndItsFont) {
    frmMain& m = makeWindow();
    m.show();
    QApplication::processEvents();
    const QSize before = m.centralWidget()->size();
    const QRect name = m.Text1[7]->geometry();
    const double points = m.Text1[7]->font().pointSizeF();
    m.resize(m.width() / 2, m.height() / 2);
    QApplication::processEvents();
    const QSize after = m.centralWidget()->size();
    ASSERT_LT(after.width(), before.width());
    const double fx = double(after.width()) / before.width();
    const double fy = double(after.height()) / before.height();
    EXPECT_NEAR(m.Text1[7]->geometry().x(), name.x() * fx, 2);
    EXPECT_NEAR(m.Text1[7]->geometry().width(), name.width() * fx, 2);
    EXPECT_NEAR(m.Text1[7]->geometry().y(), name.y() * fy, 2);
    EXPECT_NEAR(m.Text1[7]->font().pointSizeF(), points * fy, 0.3);
    // Controls never overlap their neighbours after scaling.
    EXPECT_LE(m.Text1[7]->geometry().right(), m.Label4[7]->geometry().left());
}

TEST_F(WindowTest, TheIncidentLineShowsALongIncidentWholeAtAnyWindowSize) {
    frmMain& m = makeWindow();
    m.show();
    QApplication::processEvents();
    auto* line = m.findChild<console::FitLabel*>("healthLine");
    ASSERT_NE(line, nullptr);
    const QString incident =
        "23:20:09 The sound device stopped: what played is paused; restart Brisko for sound";
    for (const QSize size : {m.size(), m.size() * 3 / 4}) {
        m.resize(size);
        QApplication::processEvents();
        line->setText(incident);
        const QFont drawn = line->fittedFont();
        EXPECT_LT(drawn.pointSizeF(), QFontInfo(line->font()).pointSizeF());
        const QRect box = line->contentsRect();
        const QRect needed = QFontMetrics(drawn).boundingRect(box, int(line->alignment()) | Qt::TextWordWrap, incident);
        EXPECT_LE(needed.height(), box.height());
        EXPECT_LE(needed.width(), box.width());
    }
    line->setText("23:20:09 A gap in the sound");
    EXPECT_EQ(line->fittedFont(), line->font());
}

// Incidents of the sound path reach the line on the clock tick, each once; over a long run of
// incidents (a medium that keeps failing) the tooltip keeps only the latest ones.
TEST_F(WindowTest, EachSoundIncidentReachesTheIncidentLineOnceAndItsTooltipKeepsTheLatest) {
#ifndef BRISKO_MCI_WITH_ENGINE
    GTEST_SKIP() << "built without the sound engine";
#else
    frmMain& m = makeWindow();
    auto* line = m.findChild<console::FitLabel*>("healthLine");
    ASSERT_NE(line, nullptr);
    m.Timer1_Timer();  // what earlier tests left in the engine's counters is told now
    audio::Engine& engine = audio::Engine::instance();
    auto failingVoice = [&] {
        auto control = std::make_shared<SourceControl>();
        control->failAt.store(rate() / 2);
        std::string error;
        const audio::VoiceId v = engine.openSource(std::make_unique<TestSource>(rate(), rate(), control), &error);
        ASSERT_GE(v, 0) << error;
        ASSERT_TRUE(engine.play(v, 0, -1));
        render(600);
        engine.close(v);
    };
    failingVoice();
    m.Timer1_Timer();
    EXPECT_TRUE(line->text().endsWith("Playback stopped early: the test medium failed")) << line->text().toStdString();
    const QString told = line->toolTip();
    m.Timer1_Timer();
    EXPECT_EQ(line->toolTip(), told);

    for (int k = 0; k < 30; ++k) {
        failingVoice();
        m.Timer1_Timer();
    }
    const QStringList lines = line->toolTip().split('\n');
    EXPECT_EQ(lines.size(), 20);
    EXPECT_EQ(lines.last(), line->text());
#endif
}

TEST_F(WindowTest, LaunchButtonsOfWindowsNotBuiltSaySo) {
    frmMain& m = makeWindow();
    m.cmdClipShow->click();
    m.CD_Play->click();
    m.cmdEncoder->click();
    ASSERT_EQ(messages_.size(), 3);
    EXPECT_TRUE(messages_[0].contains("Clip Player"));
    EXPECT_TRUE(messages_[1].contains("CD Play/Rip"));
    EXPECT_TRUE(messages_[2].contains("MP3 Encoder"));
    m.cmdHelp->click();
    ASSERT_NE(m.helpWindow(), nullptr);
    EXPECT_TRUE(m.helpWindow()->isVisible());
    m.mnuFunctions->trigger();
    EXPECT_TRUE(m.Func()->isVisible());
}

TEST_F(WindowTest, ThirteenthSlotAndOtherIndexesAreHarmless) {
    frmMain& m = makeWindow();
    for (int i : {12, -1, 13, 1000}) {
        m.cmdPlay_Click(i);
        m.Command4_Click(i);
        m.Command5_Click(i);
        m.Command8_Click(i);
        m.HScroll1_Change(i);
        m.UpdateStartTimes(i);
        m.ToggleDeckTimer(i);
        m.Timer0_Timer(i);
        m.Text1_DragDrop(i);
    }
    EXPECT_EQ(m.CurrentDeck, 0);
    EXPECT_TRUE(m.CommandQuit->isEnabled());
    EXPECT_EQ(m.Decks[12].DeckStarted, 1);  // the data slot exists
    // Segue on an empty deck 12 passes the press past the last deck: nothing plays.
    m.chkSegue[11]->setChecked(true);
    m.cmdPlay_Click(11);
    EXPECT_EQ(m.cmdPlay[11]->text(), "Play 12");
    EXPECT_TRUE(m.CommandQuit->isEnabled());
}

}  // namespace
}  // namespace brisko::test
