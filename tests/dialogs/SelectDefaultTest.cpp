// The default-directory window: the file pattern from the type boxes, the simple-mode box, the
// "Select Directory" rules and its coupling with the main window's browser.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTest>

#include "console/frmSelDefault.h"
#include "tests/dialogs/FakeMedia.h"
#include "tests/dialogs/ReadOnlyFolder.h"

using brisko::test::WithMainWindow;

namespace {

void click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
}

const char* kNoTypes =
    "No Audio File types have been selected. Please Select at least one type of file to recognize";

}  // namespace

TEST(SelectDefault, CaptionsAndFirstState) {
    brisko::test::dialogsApp();
    frmSelDefault w;
    EXPECT_EQ(w.windowTitle(), "Select Default Directory");
    EXPECT_EQ(w.Label1->text(), "Recognize These File Types");
    EXPECT_EQ(w.Command1->text(), "Select Directory");
    EXPECT_EQ(w.Check1->text(), "Start In Simple Mode");
    EXPECT_EQ(w.Check8->text(), "AIF or AIFF");
    EXPECT_EQ(w.Check13->text(), "All File Types");
    EXPECT_TRUE(w.Check2->isChecked());
    EXPECT_TRUE(w.Check1->isChecked());
    for (QCheckBox* b : {w.Check3, w.Check4, w.Check5, w.Check6, w.Check7, w.Check8, w.Check9,
                         w.Check10, w.Check12, w.Check13})
        EXPECT_FALSE(b->isChecked()) << b->text().toStdString();
    EXPECT_EQ(w.buildFilePattern(), "*.wav");
}

TEST(SelectDefault, PatternFromTheTypeBoxes) {
    brisko::test::dialogsApp();
    frmSelDefault w;
    w.show();
    click(w.Check3);  // MP3 beside Wave
    EXPECT_EQ(w.buildFilePattern(), "*.wav;*.mp3");
    click(w.Check2);  // Wave off
    click(w.Check3);  // MP3 off
    click(w.Check8);
    EXPECT_EQ(w.buildFilePattern(), "*.aif;*.aiff");
    for (QCheckBox* b : {w.Check2, w.Check3, w.Check4, w.Check5, w.Check6, w.Check7, w.Check9,
                         w.Check10, w.Check12})
        click(b);
    EXPECT_EQ(w.buildFilePattern(),
              "*.wav;*.mp3;*.mp2;*.snd;*.wma;*.au;*.aif;*.aiff;*.wmv;*.midi;*.mpeg");
}

TEST(SelectDefault, AllTypesAndSingleTypesExcludeEachOther) {
    brisko::test::dialogsApp();
    frmSelDefault w;
    w.show();
    click(w.Check13);  // All File Types clears Wave
    EXPECT_TRUE(w.Check13->isChecked());
    EXPECT_FALSE(w.Check2->isChecked());
    EXPECT_EQ(w.buildFilePattern(), brisko::console::allTypesPattern());
    EXPECT_EQ(brisko::console::allTypesPattern(),
              "*.mov;*.wav;*.avi;*.asf;*.mov;*.snd;*.mpg;*.mpa;*.mpv;*.enc;*.m1v;*.mp2;*.mp3;*.mpe;"
              "*.mpeg;*.mpm;*.au;*.aif;*.aifc;*.wmv;*.wma;*.midi;*.mid;*.rmi;*.asf");
    click(w.Check3);  // MP3 clears All File Types
    EXPECT_FALSE(w.Check13->isChecked());
    EXPECT_EQ(w.buildFilePattern(), "*.mp3");
    // Wave does not clear All File Types; the all-types pattern wins over what the boxes build.
    click(w.Check13);
    EXPECT_FALSE(w.Check3->isChecked());
    click(w.Check2);
    EXPECT_TRUE(w.Check13->isChecked());
    EXPECT_EQ(w.buildFilePattern(), brisko::console::allTypesPattern());
    // Clicking All File Types off still clears the single boxes.
    click(w.Check13);
    EXPECT_FALSE(w.Check13->isChecked());
    EXPECT_FALSE(w.Check2->isChecked());
    EXPECT_EQ(w.buildFilePattern(), "");
}

TEST_F(WithMainWindow, FirstSelectStoresWaveAndSimpleWhateverTheFileHeld) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    main->DefaultEditor = "/bin/ed";
    main->TempDir = "/var/tmp";
    main->FilePattern = "*.mp3";
    main->StartMode = "advanced";
    w->show();
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.path())));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(main->DefaultDir, qs(media_.path()));
    EXPECT_EQ(main->FilePattern, "*.wav");
    EXPECT_EQ(main->StartMode, "simple");
    EXPECT_EQ(main->File1->pattern(), "*.wav");
    EXPECT_EQ(brisko::test::readFile(iniPath().toStdString()),
              media_.path() + "\r\n*.wav\r\nsimple\r\n/bin/ed\r\n/var/tmp\r\n");
    EXPECT_TRUE(prompts_.empty());

    // Simple mode off gives "advanced" on the next Select; the window keeps its boxes.
    w->show();
    click(w->Check1);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(main->StartMode, "advanced");
    EXPECT_FALSE(w->Check1->isChecked());
}

TEST_F(WithMainWindow, NoTypeChosenShowsTheMessageAndWritesNothing) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    const std::string old = "/old\r\n*.mp3\r\nadvanced\r\n\r\n\r\n";
    brisko::test::writeFile(iniPath().toStdString(), old);
    w->show();
    click(w->Check2);  // Wave off: nothing chosen
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.path())));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].text, kNoTypes);
    EXPECT_EQ(prompts_[0].buttons, brisko::ui::PromptButtons::Ok);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(brisko::test::readFile(iniPath().toStdString()), old);
    // The folder is taken into memory before the check.
    EXPECT_EQ(main->DefaultDir, qs(media_.path()));
}

TEST_F(WithMainWindow, MidiListsOnlyMidiFilesInTheMainWindow) {
    for (const char* name : {"a.midi", "b.mid", "c.wav", "D.MIDI"})
        brisko::test::writeFile(media_.file(name), "x");
    main->Dir1->setPath(qs(media_.path()));
    main->File1->setPath(qs(media_.path()));
    frmSelDefault* w = main->Func()->selDefaultWindow();
    w->show();
    click(w->Check2);
    click(w->Check10);
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.path())));
    w->Command1_Click();
    EXPECT_EQ(main->FilePattern, "*.midi");
    EXPECT_EQ(main->File1->names(), (QStringList{"a.midi", "D.MIDI"}));
}

TEST_F(WithMainWindow, SimpleModeBoxShowsOrHidesSlidersAndPostBoxesOnly) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    w->show();
    click(w->Check1);  // now unchecked: advanced controls shown
    for (int i = 0; i < 12; ++i) {
        EXPECT_FALSE(main->HScroll1[i]->isHidden()) << i;
        EXPECT_FALSE(main->chkPost[i]->isHidden()) << i;
        EXPECT_TRUE(main->StartTime[i]->isHidden()) << i;
    }
    click(w->Check1);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(main->HScroll1[i]->isHidden()) << i;
        EXPECT_TRUE(main->chkPost[i]->isHidden()) << i;
    }
    EXPECT_EQ(main->StartMode, "");  // changes only on Select Directory
}

TEST_F(WithMainWindow, FolderAndDriveChangesMoveTheMainBrowser) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    w->show();
    QDir(qs(media_.path())).mkdir("inner");
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.file("inner"))));
    EXPECT_EQ(main->Dir1->path(), qs(media_.file("inner")));

    // Another readable mount point, if the machine has one.
    QString other;
    const QString here = brisko::console::driveOfPath(qs(media_.path()));
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QFileInfo info(v.rootPath());
        if (v.rootPath() != here && info.isDir() && info.isReadable() &&
            w->Drive1->findText(v.rootPath()) >= 0) {
            other = v.rootPath();
            break;
        }
    }
    if (other.isEmpty()) GTEST_SKIP() << "only one drive on this machine";
    w->Drive1->setCurrentIndex(w->Drive1->findText(other));
    EXPECT_EQ(w->Dir1->path(), other);
    EXPECT_EQ(main->Drive1->drive(), other);
    EXPECT_EQ(main->Dir1->path(), other);
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(WithMainWindow, FailedSelectDirectoryWriteIsReportedAndKeepsTheOldFile) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    const std::string old = "/old\r\n*.mp3\r\nadvanced\r\n\r\n\r\n";
    brisko::test::writeFile(iniPath().toStdString(), old);
    w->show();
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.path())));
    {
        brisko::test::ReadOnlyFolder locked(QFileInfo(iniPath()).absolutePath().toStdString());
        if (!locked.writesRefused()) GTEST_SKIP() << "this machine lets the test write anyway";
        w->Command1_Click();
    }
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_NE(prompts_[0].text, kNoTypes);
    EXPECT_EQ(brisko::test::readFile(iniPath().toStdString()), old);
    EXPECT_EQ(main->FilePattern, "*.wav");  // the choice holds in memory for this run
}

TEST_F(WithMainWindow, FirstShowMovesOnlyTheDriveListToTheStoredFolder) {
    main->DefaultDir = qs(media_.path());
    frmSelDefault* w = main->Func()->selDefaultWindow();
    const QString before = w->Dir1->path();
    w->show();
    const QString drive = brisko::console::driveOfPath(qs(media_.path()));
    EXPECT_EQ(w->Drive1->drive(), drive);
    // The folder list moves only when the drive changed, and then to the drive itself.
    EXPECT_EQ(w->Dir1->path(), brisko::console::driveOfPath(before) == drive ? before : drive);
}

TEST_F(WithMainWindow, UnreadableDriveIsReportedAndBothBrowsersStay) {
    frmSelDefault* w = main->Func()->selDefaultWindow();
    w->show();
    ASSERT_TRUE(w->Dir1->setPath(qs(media_.path())));
    ASSERT_EQ(main->Dir1->path(), qs(media_.path()));
    // After the refusal the drive list shows the drive of the folder still listed.
    const QString driveBefore = brisko::console::driveOfPath(qs(media_.path()));
    w->Drive1->addItem("/no-such-drive");
    w->Drive1->setCurrentIndex(w->Drive1->findText("/no-such-drive"));
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_TRUE(prompts_[0].text.contains("/no-such-drive"));
    EXPECT_EQ(w->Dir1->path(), qs(media_.path()));
    EXPECT_EQ(w->Drive1->drive(), driveBefore);
    EXPECT_EQ(w->Drive1->currentText(), driveBefore);
    EXPECT_EQ(main->Dir1->path(), qs(media_.path()));
}
