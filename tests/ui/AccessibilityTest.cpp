// Every window as a screen reader finds it: each interactive control has a name that says what it
// is and whose it is, unique in its window; values shown in captions are part of the names.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollBar>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "clipplayer/ClipFiles.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipFileSelect.h"
#include "clipplayer/frmClipPlay.h"
#include "clipplayer/frmPageNames.h"
#include "clipplayer/frmPickUser.h"
#include "console/DeckTimer.h"
#include "console/frmAbout.h"
#include "console/frmFunc.h"
#include "console/frmHelp.h"
#include "console/frmMain.h"
#include "console/frmSafety.h"
#include "console/frmSelDefault.h"
#include "console/frmSetIndex.h"
#include "encoder/frmVBLame.h"
#include "tests/support/AccessibleTree.h"
#include "ui/AccessibleNames.h"
#include "ui/Prompt.h"
#ifdef BRISKO_WITH_CDRIPPER
#include "cdripper/frmOptions.h"
#include "cdripper/frmVBCDRip.h"
#endif

namespace {

class Accessibility : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "ui_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        brisko::console::DeckTimer::setFrozen(true);
        // As with a screen reader listening: Qt then makes controls' accessible faces as soon as
        // they change, even while they are being built.
        QAccessible::setActive(true);
    }
    void SetUp() override {
        brisko::ui::setMessageResponder([](const brisko::ui::PromptRequest& r) {
            return r.buttons == brisko::ui::PromptButtons::Ok ? brisko::ui::PromptAnswer::Ok
                                                              : brisko::ui::PromptAnswer::No;
        });
        frmMain::setEndProgramHook([] {});
    }
    void TearDown() override {
        brisko::ui::setMessageResponder({});
        frmMain::setEndProgramHook({});
    }

    // Shows WINDOW and expects every control of it to be told apart.
    static void expectDistinct(QWidget* window, const char* what, int atLeast) {
        ASSERT_NE(window, nullptr) << what;
        window->show();
        QApplication::processEvents();
        const auto controls = brisko::test::accessibleControls(window);
        EXPECT_GE(controls.size(), atLeast) << what << ": the walk did not reach the controls";
        const QStringList problems = brisko::test::indistinctControls(window);
        EXPECT_TRUE(problems.isEmpty()) << what << ": " << problems.size() << " controls\n  "
                                        << problems.join(QStringLiteral("\n  ")).toStdString();
    }
};

TEST_F(Accessibility, EveryConsoleWindowNamesEachControlOnce) {
    frmMain main;
    // The advanced layout shows every deck control (position, Post, start time).
    main.Func()->Check4->setChecked(true);
    expectDistinct(&main, "main window", 12 * 9);
    expectDistinct(main.Func(), "Functions", 15);
    expectDistinct(main.Func()->selDefaultWindow(), "Select Default Directory", 14);
    expectDistinct(main.helpWindow(), "Help", 10);
    expectDistinct(main.setIndexWindow(), "Set Index", 2);
    frmAbout about;
    expectDistinct(&about, "About", 1);
    frmSafety safety(brisko::showlog::DeadAirSettings{});
    expectDistinct(&safety, "On-Air Safety", 5);

    // What the names say, where they carry a value.
    auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(main.Command4[2]), "Stop deck 3");
    EXPECT_EQ(name(main.Command8[2]), "Deck 3 fade, full volume");
    main.Command8[2]->setText(QStringLiteral("98"));
    EXPECT_EQ(name(main.Command8[2]), "Deck 3 fade, volume 98");
    EXPECT_EQ(name(main.HScroll1[2]), "Deck 3 position");
    main.Label4[2]->setText(QStringLiteral("03:12"));
    EXPECT_EQ(name(main.Label4[2]), "Deck 3 length, 03:12");
    EXPECT_EQ(name(main.cmrTime), "Total time, 00:00:00");
}

TEST_F(Accessibility, EveryClipWindowNamesEachControlOnce) {
    brisko::clip::ClipTable table;
    table.slot(1, 16).FileName = QStringLiteral("Station ID.wav");
    table.slot(1, 16).Directory = QStringLiteral("/nowhere/");
    brisko::clip::writeWhole(brisko::clip::clipListPath(QStringLiteral("ann")),
                             brisko::clip::formatClipList(table));
    brisko::clip::writeWhole(brisko::clip::pageNamesPath(QStringLiteral("ann")),
                             "News\r\nJingles\r\n");
    brisko::clip::writeWhole(brisko::clip::usersFilePath(), "ann\r\n");
    frmPickUser* picker = brisko::clip::userPicker();
    picker->Form_Load();
    expectDistinct(picker, "user picker", 5);
    picker->cmboUsers->setEditText(QStringLiteral("ann"));
    picker->cmdOK->click();
    frmClipPlay* clip = brisko::clip::clipWindow();
    expectDistinct(clip, "Clip Player", 48 * 4 + 10);

    auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(clip->cmdAdd[16]), "Clip 17 add or change, Stopped");
    EXPECT_EQ(name(clip->Command2[16]), "Clip 17 to the play list");
    EXPECT_TRUE(name(clip->cmdPlay[16]).startsWith(QStringLiteral("Clip 17, Station ID")))
        << name(clip->cmdPlay[16]).toStdString();
    EXPECT_EQ(name(clip->cmdPlay[15]), "Clip 16, empty");

    clip->cmdAdd_Click(16);
    expectDistinct(clip->fileSelector(), "clip file selector", 10);
    clip->cmdPageNames_Click();
    expectDistinct(clip->pageNamesWindow(), "page names", 12);
    brisko::clip::closeClipPlayer();
}

TEST_F(Accessibility, EncoderAndCdWindowsNameEachControlOnce) {
    frmVBLame* encoder = frmVBLame::showWindow();
    expectDistinct(encoder, "MP3 encoder", 6);
    encoder->close();
#ifdef BRISKO_WITH_CDRIPPER
    auto cd = std::make_unique<frmVBCDRip>();
    cd->setAttribute(Qt::WA_DeleteOnClose, false);
    cd->Form_Load();
    expectDistinct(cd.get(), "CD window", 15);
    frmOptions options;
    expectDistinct(&options, "CD options", 10);
    cd->close();
#endif
}

}  // namespace

