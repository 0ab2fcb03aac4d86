// The Functions window: sliders, value labels, the paired editor/temp boxes and the settings
// write behind "Select".
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "console/frmSelDefault.h"
#include "tests/dialogs/FakeMedia.h"
#include "tests/dialogs/ReadOnlyFolder.h"

using brisko::test::WithMainWindow;

TEST(FunctionsWindow, DesignRangesStepsAndLabelsBeforeStartUp) {
    brisko::test::dialogsApp();
    frmFunc f;
    EXPECT_EQ(f.windowTitle(), "Functions");
    const QSlider* sliders[8] = {f.Slider1, f.Slider2, f.Slider3, f.Slider4,
                                 f.Slider5, f.Slider6, f.Slider7, f.Slider8};
    const QLabel* labels[8] = {f.Label12, f.Label13, f.Label14, f.Label15,
                               f.Label16, f.Label17, f.Label18, f.Label19};
    const int ranges[8][2] = {{0, 10}, {0, 10}, {0, 10}, {100, 10000},
                              {1, 5},  {1, 100}, {0, 10}, {0, 99}};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(sliders[k]->minimum(), ranges[k][0]) << "Slider" << k + 1;
        EXPECT_EQ(sliders[k]->maximum(), ranges[k][1]) << "Slider" << k + 1;
        EXPECT_EQ(sliders[k]->singleStep(), 1) << "Slider" << k + 1;
        EXPECT_EQ(sliders[k]->pageStep(), k == 4 ? 1 : 5) << "Slider" << k + 1;
        EXPECT_EQ(labels[k]->text(), "0") << "Label" << 12 + k;
    }
    EXPECT_EQ(f.Slider4->value(), 100);
    EXPECT_EQ(f.Slider6->value(), 1);
    EXPECT_EQ(f.Slider7->value(), 0);
    EXPECT_EQ(f.Check3->text(), "Auto Segue");
    EXPECT_EQ(f.Check4->text(), "Check for &Advanced Layout");
    EXPECT_FALSE(f.Check3->isChecked());
    EXPECT_TRUE(f.Check5->isChecked());
    EXPECT_FALSE(f.Check6->isChecked());
    EXPECT_EQ(f.Frame1->title(), "Default Editor");
    EXPECT_EQ(f.Command4->text(), "Select Editor");
    EXPECT_FALSE(f.File1->isHidden());

    // Moving a slider shows its value; the others keep theirs.
    f.Slider4->setValue(2500);
    EXPECT_EQ(f.Label15->text(), "2500");
    f.Slider6->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(f.Label17->text(), "6");
    f.Slider5->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(f.Label16->text(), "4");
    EXPECT_EQ(f.Label18->text(), "0");
}

TEST(FunctionsWindow, EditorAndTempBoxesWorkAsAPair) {
    brisko::test::dialogsApp();
    frmFunc f;
    f.show();
    QTest::mouseClick(f.Check6, Qt::LeftButton, {}, QPoint(4, f.Check6->height() / 2));
    EXPECT_TRUE(f.Check6->isChecked());
    EXPECT_FALSE(f.Check5->isChecked());
    EXPECT_TRUE(f.File1->isHidden());
    EXPECT_EQ(f.Frame1->title(), "Default Temp Directory");
    EXPECT_EQ(f.Command4->text(), "Select Default Directory");

    QTest::mouseClick(f.Check5, Qt::LeftButton, {}, QPoint(4, f.Check5->height() / 2));
    EXPECT_TRUE(f.Check5->isChecked());
    EXPECT_FALSE(f.Check6->isChecked());
    EXPECT_FALSE(f.File1->isHidden());
    EXPECT_EQ(f.Frame1->title(), "Default Editor");
    EXPECT_EQ(f.Command4->text(), "Select Editor");

    // Unchecking a box by clicking it still applies that box's captions; the partner stays off.
    QTest::mouseClick(f.Check6, Qt::LeftButton, {}, QPoint(4, f.Check6->height() / 2));
    QTest::mouseClick(f.Check6, Qt::LeftButton, {}, QPoint(4, f.Check6->height() / 2));
    EXPECT_FALSE(f.Check6->isChecked());
    EXPECT_FALSE(f.Check5->isChecked());
    EXPECT_TRUE(f.File1->isHidden());
    EXPECT_EQ(f.Frame1->title(), "Default Temp Directory");
}

TEST(FunctionsWindow, FolderListRefusesMissingFoldersAndFileListFollowsPattern) {
    brisko::test::dialogsApp();
    brisko::test::TempDir dir;
    brisko::test::writeFile(dir.file("a.wav"), "x");
    brisko::test::writeFile(dir.file("B.WAV"), "x");
    brisko::test::writeFile(dir.file("c.mid"), "x");
    brisko::test::writeFile(dir.file("d.midi"), "x");
    QDir(QString::fromStdString(dir.path())).mkdir("sub");
    frmFunc f;
    ASSERT_TRUE(f.Dir1->setPath(QString::fromStdString(dir.path())));
    EXPECT_EQ(f.File1->path(), QString::fromStdString(dir.path()));
    EXPECT_FALSE(f.Dir1->setPath(QString::fromStdString(dir.file("missing"))));
    EXPECT_EQ(f.Dir1->path(), QString::fromStdString(dir.path()));
    EXPECT_FALSE(f.Dir1->setPath(QString::fromStdString(dir.file("a.wav"))));
    // Enter on a row opens it; ".." goes back up, and the file list follows each move.
    f.Dir1->setCurrentItem(f.Dir1->findItems("sub", Qt::MatchExactly).value(0));
    QTest::keyClick(f.Dir1, Qt::Key_Return);
    EXPECT_EQ(f.Dir1->path(), QString::fromStdString(dir.file("sub")));
    EXPECT_EQ(f.File1->path(), QString::fromStdString(dir.file("sub")));
    EXPECT_EQ(f.File1->count(), 0);
    f.Dir1->setCurrentItem(f.Dir1->findItems("..", Qt::MatchExactly).value(0));
    QTest::keyClick(f.Dir1, Qt::Key_Return);
    EXPECT_EQ(f.Dir1->path(), QString::fromStdString(dir.path()));
    f.File1->setPattern(" *.wav ;;*.midi");
    EXPECT_EQ(f.File1->names(), (QStringList{"a.wav", "B.WAV", "d.midi"}));
}

TEST_F(WithMainWindow, StartUpValuesOfTheFunctionsWindow) {
    frmFunc* f = main->Func();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->isVisible());
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
    // Advance speed is 100 but its label reads "0" until the slider moves.
    EXPECT_EQ(f->Slider4->value(), 100);
    EXPECT_EQ(f->Label15->text(), "0");
    EXPECT_EQ(main->advanceSpeed(), 100);
    f->Slider8->setValue(35);
    EXPECT_EQ(main->duckLevel(), 35);
}

TEST_F(WithMainWindow, FirstShowTakesTheStoredEditorAndTempFolder) {
    writeIni("/m\r\n*.wav\r\nsimple\r\n/opt/editor\r\n/var/tmp\r\n");
    main = &makeWindow();
    frmFunc* f = main->Func();
    EXPECT_FALSE(f->Check4->isChecked());  // simple start
    f->show();
    EXPECT_EQ(f->Label8->text(), "/opt/editor");
    EXPECT_EQ(f->Label9->text(), "/var/tmp");
    // Its buttons: the default-directory window opens; Close only hides.
    QTest::mouseClick(f->cmdSetDefault, Qt::LeftButton);
    EXPECT_TRUE(f->selDefaultWindow()->isVisible());
    QTest::mouseClick(f->Command1, Qt::LeftButton);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(main->Func(), f);
}

TEST_F(WithMainWindow, AutoSegueBoxSetsAndClearsEveryDecksSegue) {
    frmFunc* f = main->Func();
    main->chkSegue[2]->setChecked(true);
    f->Check3->setChecked(true);
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(main->chkSegue[i]->isChecked()) << i;
    main->chkSegue[4]->setChecked(false);
    EXPECT_TRUE(f->Check3->isChecked());  // the box does not follow single decks
    main->chkSegue[4]->setChecked(true);
    f->Check3->setChecked(false);
    for (int i = 0; i < 12; ++i) EXPECT_FALSE(main->chkSegue[i]->isChecked()) << i;
}

TEST_F(WithMainWindow, AdvancedLayoutBoxShowsAndHidesTheAdvancedDeckControls) {
    frmFunc* f = main->Func();
    f->Check4->setChecked(true);
    for (int i = 0; i < 12; ++i) {
        EXPECT_FALSE(main->HScroll1[i]->isHidden()) << i;
        EXPECT_FALSE(main->chkPost[i]->isHidden()) << i;
        EXPECT_FALSE(main->StartTime[i]->isHidden()) << i;
    }
    EXPECT_TRUE(main->advancedLayout());
    f->Check4->setChecked(false);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(main->HScroll1[i]->isHidden()) << i;
        EXPECT_TRUE(main->chkPost[i]->isHidden()) << i;
        EXPECT_TRUE(main->StartTime[i]->isHidden()) << i;
    }
}

TEST_F(WithMainWindow, SelectStoresTheEditorOrTheTempFolderAndRewritesTheFile) {
    frmFunc* f = main->Func();
    brisko::test::writeFile(media_.file("editor.bin"), "x");
    brisko::test::writeFile(media_.file("wavedit"), "x");
    main->DefaultDir = "/music";
    main->FilePattern = "*.wav";
    main->StartMode = "simple";
    f->show();
    ASSERT_TRUE(f->Dir1->setPath(qs(media_.path())));
    // Every file is offered, also a program without an extension.
    EXPECT_EQ(f->File1->names(), (QStringList{"editor.bin", "wavedit"}));
    f->File1->setCurrentItem(f->File1->findItems("editor.bin", Qt::MatchExactly).value(0));
    QTest::mouseClick(f->Command4, Qt::LeftButton);
    const QString editor = qs(media_.path()) + "/editor.bin";
    EXPECT_EQ(main->DefaultEditor, editor);
    EXPECT_EQ(f->Label8->text(), editor);
    EXPECT_EQ(brisko::test::readFile(iniPath().toStdString()),
              "/music\r\n*.wav\r\nsimple\r\n" + editor.toStdString() + "\r\n\r\n");

    // Temp Directory: only the folder is stored; the editor label keeps the editor.
    QTest::mouseClick(f->Check6, Qt::LeftButton, {}, QPoint(4, f->Check6->height() / 2));
    QDir(qs(media_.path())).mkdir("tmp");
    ASSERT_TRUE(f->Dir1->setPath(qs(media_.file("tmp"))));
    QTest::mouseClick(f->Command4, Qt::LeftButton);
    EXPECT_EQ(main->TempDir, qs(media_.file("tmp")));
    EXPECT_EQ(main->DefaultEditor, editor);
    EXPECT_EQ(f->Label9->text(), qs(media_.file("tmp")));
    EXPECT_EQ(f->Label8->text(), editor);

    // Neither box checked: the file is still rewritten and both labels refreshed.
    QTest::mouseClick(f->Check6, Qt::LeftButton, {}, QPoint(4, f->Check6->height() / 2));
    ASSERT_FALSE(f->Check5->isChecked());
    main->DefaultEditor = "/bin/ed";
    QFile::remove(iniPath());
    f->Command4_Click();
    EXPECT_EQ(f->Label8->text(), "/bin/ed");
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(WithMainWindow, SelectWithNoFileChosenStoresTheFolderWithItsSeparator) {
    frmFunc* f = main->Func();
    ASSERT_TRUE(f->Dir1->setPath(qs(media_.path())));
    f->File1->setPattern("*.none");
    f->Command4_Click();
    EXPECT_EQ(main->DefaultEditor, qs(media_.path()) + "/");
}

TEST_F(WithMainWindow, FailedWriteIsReportedAndLeavesTheOldFileWhole) {
    frmFunc* f = main->Func();
    const std::string old = "/old\r\n*.wav\r\nsimple\r\n/old/editor\r\n/old/tmp\r\n";
    brisko::test::writeFile(iniPath().toStdString(), old);
    ASSERT_TRUE(f->Dir1->setPath(qs(media_.path())));
    {
        brisko::test::ReadOnlyFolder locked(QFileInfo(iniPath()).absolutePath().toStdString());
        if (!locked.writesRefused()) GTEST_SKIP() << "this machine lets the test write anyway";
        f->Command4_Click();
    }
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_FALSE(prompts_[0].text.isEmpty());
    EXPECT_EQ(brisko::test::readFile(iniPath().toStdString()), old);
    // The window carries on: the label shows the value held in memory.
    EXPECT_EQ(f->Label8->text(), main->DefaultEditor);
}
