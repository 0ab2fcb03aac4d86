// The user picker: adding, refusing, removing and choosing users, with the files it writes.
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QtTest/QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmPickUser.h"
#include "platform/common/ProgramFolder.h"
#include "tests/clipplayer/ClipFixture.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;
using brisko::test::ClipTest;

namespace {
bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}
}  // namespace

TEST_F(ClipTest, AddingUsersCopiesTheTemplatesAndRefusesDuplicatesEmptyAndUnsafeNames) {
    // A shipped template in the program folder is what a new user gets, byte for byte.
    test::writeFile(home_.file("clipuserblank.nst"), "Jingles\r\nBeds\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nIDs\r\n");
    frmPickUser* picker = clip::userPicker();
    EXPECT_EQ(picker->windowTitle(), "Pick a Clip Player User");
    EXPECT_EQ(file("ClipUsers.dat"), "") << "the users file is created on opening";

    picker->txtNewUser->setText(QStringLiteral("studio"));
    picker->cmdAddUser->click();
    picker->txtNewUser->setText(QStringLiteral("Studio"));  // differs in case: a new user
    picker->cmdAddUser->click();
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    EXPECT_EQ(file("ClipUsers.dat"), "studio\r\nStudio\r\n");
    EXPECT_EQ(file("Studio.dat"), clip::blankClipList().toStdString()) << "no template there: the built-in blank";
    EXPECT_EQ(file("Studio.nst"), "Jingles\r\nBeds\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nIDs\r\n");
    EXPECT_EQ(picker->cmboUsers->count(), 2);

    // Refused: the same name again, an empty name, names that would reach outside the folder.
    const std::string before = file("ClipUsers.dat");
    // The program's own files are no user's, in any case: ClipUsers.dat, the two templates.
    for (const QString& name : {QStringLiteral("Studio"), QString(), QStringLiteral("../escape"),
                                QStringLiteral(".."), QStringLiteral("a/b"), QStringLiteral("ClipUsers"),
                                QStringLiteral("BlankClipList"), QStringLiteral("clipuserblank")}) {
        messages_.clear();
        picker->txtNewUser->setText(name);
        picker->cmdAddUser->click();
        ASSERT_EQ(messages_.size(), 1) << name.toStdString();
        if (name == "Studio" || name.isEmpty())
            EXPECT_EQ(messages_[0], "Name already exists. Please choose another");
        else
            EXPECT_TRUE(messages_[0].contains(QLatin1String("cannot be used"))) << messages_[0].toStdString();
    }
    EXPECT_EQ(file("ClipUsers.dat"), before);
    EXPECT_FALSE(exists(home_.file("BlankClipList.dat")));
    EXPECT_EQ(file("clipuserblank.nst"), "Jingles\r\nBeds\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nIDs\r\n");
    EXPECT_FALSE(exists(media_.path() + "/../escape.dat"));
    EXPECT_FALSE(exists(home_.path() + "/../escape.dat"));
    EXPECT_EQ(logLines(), QStringList({"Added user studio" + stamp(), "Added user Studio" + stamp()}));
}

TEST_F(ClipTest, RemovingAUserWithNoKeepsTheFilesAndAKeptListSurvivesAddingTheNameAgain) {
    test::writeFile(home_.file("ClipUsers.dat"), "Morning\r\nEvening\r\n");
    test::writeFile(home_.file("Morning.dat"), "kept clips\r\n");
    test::writeFile(home_.file("Morning.nst"), "kept names\r\n");
    test::writeFile(home_.file("Evening.dat"), "x");
    test::writeFile(home_.file("Evening.nst"), "x");
    frmPickUser* picker = clip::userPicker();
    ASSERT_EQ(picker->cmboUsers->currentText(), "Morning");

    answers_ = {ui::PromptAnswer::No};
    picker->cmdRemoveUser->click();
    EXPECT_EQ(file("ClipUsers.dat"), "Evening\r\n");
    EXPECT_EQ(file("Morning.dat"), "kept clips\r\n");
    EXPECT_EQ(picker->cmboUsers->currentText(), "Evening");

    // Adding the name back finds the kept files and leaves them as they are.
    picker->txtNewUser->setText(QStringLiteral("Morning"));
    picker->cmdAddUser->click();
    EXPECT_EQ(file("Morning.dat"), "kept clips\r\n");
    EXPECT_EQ(file("ClipUsers.dat"), "Evening\r\nMorning\r\n");

    // A typed name that is no entry removes no other user from the list.
    picker->cmboUsers->setEditText(QStringLiteral("Nobody"));
    answers_ = {ui::PromptAnswer::Yes};
    picker->cmdRemoveUser->click();
    EXPECT_EQ(file("ClipUsers.dat"), "Evening\r\nMorning\r\n");

    // Yes deletes the chosen user's two files.
    picker->cmboUsers->setCurrentIndex(0);
    answers_ = {ui::PromptAnswer::Yes};
    picker->cmdRemoveUser->click();
    EXPECT_FALSE(exists(home_.file("Evening.dat")));
    EXPECT_FALSE(exists(home_.file("Evening.nst")));
    EXPECT_EQ(file("ClipUsers.dat"), "Morning\r\n");

    // A hand-edited users file with a name that is a path, or that of a template: the entry
    // goes, no file is deleted.
    test::writeFile(home_.file("victim.dat"), "precious");
    test::writeFile(home_.file("blankcliplist.dat"), "template");
    for (const QString& name : {QStringLiteral("../") + QString::fromStdString(home_.path()).section('/', -1) + "/victim",
                                QStringLiteral("blankcliplist")}) {
        picker->cmboUsers->addItem(name);
        picker->cmboUsers->setCurrentIndex(1);
        answers_ = {ui::PromptAnswer::Yes};
        picker->cmdRemoveUser->click();
    }
    EXPECT_EQ(file("victim.dat"), "precious");
    EXPECT_EQ(file("blankcliplist.dat"), "template");
    EXPECT_EQ(file("ClipUsers.dat"), "Morning\r\n");
    EXPECT_EQ(logLines().filter("Removed user ").size(), 5);
}

TEST_F(ClipTest, ChoosingAUserOpensTheirPagesAndSaysWhatIsWrongWithTheirFiles) {
    clip::ClipTable table;
    put(table, 1, 0, tone("one.wav", 0.5, 440));
    frmClipPlay& w = openAs(QStringLiteral("Studio"), table);
    EXPECT_FALSE(clip::userPicker()->isVisible());
    EXPECT_EQ(w.windowTitle(), "Clip Player");
    EXPECT_EQ(w.cmdPlay[0]->text(), "one");
    EXPECT_EQ(w.SSTab1->tabText(2), "P3");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    EXPECT_EQ(logLines().last(), "Loaded user Studio" + stamp());

    // "Load Different User", then a user whose files were deleted: the window opens empty and
    // the operator is told.
    w.cmdLoadUser->click();
    EXPECT_TRUE(clip::userPicker()->isVisible());
    clip::userPicker()->cmboUsers->setEditText(QStringLiteral("Gone"));
    const QPointer<frmClipPlay> first(&w);
    clip::userPicker()->cmdOK->click();
    frmClipPlay* gone = clip::clipWindow();
    ASSERT_NE(gone, nullptr);
    // The first window is gone (the new one may well be built at its address).
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(gone->cmdPlay[0]->text().isEmpty());
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains(QLatin1String("Gone.dat"))) << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].contains(QLatin1String("Gone.nst"))) << messages_[0].toStdString();

    // An unsafe typed name, or one whose clip list would be the users file, is refused:
    // nothing opens, nothing is logged.
    const int logged = int(logLines().size());
    clip::showUserPicker();
    clip::userPicker()->cmboUsers->setEditText(QStringLiteral("../../etc/passwd"));
    clip::userPicker()->cmdOK->click();
    clip::userPicker()->cmboUsers->setEditText(QStringLiteral("clipusers"));
    clip::userPicker()->cmdOK->click();
    EXPECT_EQ(messages_.size(), 3);
    EXPECT_EQ(clip::clipState().CurrentUser, "Gone");
    EXPECT_EQ(logLines().size(), logged);
}

TEST_F(ClipTest, NamesThatAreNotUtf8AndCrOnlyLinesSurviveUseAndAnUnchangedSave) {
    // A user "Zo\xEB" whose clip list, with CR-only line ends, holds a clip in the folder "caf\xE9".
    const std::string zo = "Zo\xEB";
    const std::string cafe = media_.path() + "/caf\xE9";
    ASSERT_EQ(::mkdir(cafe.c_str(), 0755), 0);
    test::ToneSpec spec;
    spec.seconds = 2;
    spec.frequency = 440;
    test::writeToneWav(cafe + "/bed.wav", spec);
    std::string list, saved;
    for (int page = 0; page < 11; ++page)
        for (int b = 0; b < 48; ++b) {
            const std::string line = page == 1 && b == 0 ? "1|0|" + cafe + "/|bed.wav|255|0"
                                                         : std::to_string(page) + "|" + std::to_string(b) + "| | |0|0";
            list += line + "\r";
            saved += line + "\r\n";
        }
    test::writeFile(home_.path() + "/" + zo + ".dat", list);
    test::writeFile(home_.path() + "/" + zo + ".nst", "P1\rP2\rP3\rP4\rP5\rP6\rP7\rP8\rP9\rP10\r");
    test::writeFile(home_.file("ClipUsers.dat"), zo + "\r\n");

    frmPickUser* picker = clip::userPicker();
    picker->cmdOK->click();
    frmClipPlay* w = clip::clipWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
    EXPECT_EQ(w->SSTab1->tabText(1), "P2");
    EXPECT_TRUE(w->cmdPlay[0]->isEnabled()) << "the clip is found";
    w->activateWindow();
    QTest::keyClick(w, Qt::Key_1);
    render(200, true);
    EXPECT_NEAR(frequency(0.05, 0.2), 440, 15);
    EXPECT_EQ(file("clip_player.log").substr(0, 18), "Loaded user " + zo + " at");

    // An unchanged "Exit & Save" writes the same clips back, with CR LF line ends.
    w->cmdAdd[7]->click();
    w->fileSelector()->cmdExit->click();
    EXPECT_EQ(test::readFile(home_.path() + "/" + zo + ".dat"), saved);

    // Adding another user keeps Zo's name as it was.
    clip::showUserPicker();
    picker->txtNewUser->setText(QStringLiteral("Ann"));
    picker->cmdAddUser->click();
    EXPECT_EQ(file("ClipUsers.dat"), zo + "\r\nAnn\r\n");
}

TEST_F(ClipTest, AFullDiskLeavesNoHalfMadeUserAndTheLogSaysOnceThatItCannotWrite) {
    const std::string mount = media_.file("disk");
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs (not root)";
    setProgramFolderForTesting(mount);
    frmPickUser* picker = clip::userPicker();
    // Room for the new user's two files, none left for the users file.
    auto pages = [](qsizetype bytes) { return (bytes + 4095) / 4096; };
    struct statvfs disk {};
    ASSERT_EQ(::statvfs(mount.c_str(), &disk), 0);
    const qsizetype room = (pages(clip::templateBytes(QStringLiteral("blankcliplist.dat")).size()) +
                            pages(clip::templateBytes(QStringLiteral("clipuserblank.nst")).size())) * 4096;
    test::writeFile(mount + "/filler", std::string(size_t(qsizetype(disk.f_bavail * disk.f_bsize) - room), 'x'));
    picker->txtNewUser->setText(QStringLiteral("Fresh"));
    picker->cmdAddUser->click();
    const bool listLeft = exists(mount + "/Fresh.dat"), namesLeft = exists(mount + "/Fresh.nst");
    const std::string users = test::readFile(mount + "/ClipUsers.dat");
    const int listed = picker->cmboUsers->count();
    const QStringList addMessages = messages_;

    // The disk full: choosing a user twice cannot log, and says so once.
    ASSERT_EQ(::statvfs(mount.c_str(), &disk), 0);
    test::writeFile(mount + "/filler2", std::string(size_t(disk.f_bavail * disk.f_bsize), 'x'));
    messages_.clear();
    for (int k = 0; k < 2; ++k) {
        clip::showUserPicker();
        picker->cmboUsers->setEditText(QStringLiteral("Nobody"));
        picker->cmdOK->click();
    }
    const QStringList full = messages_.filter(QStringLiteral("clip_player.log"));
    // With room again, the next line is written whole after nothing of the failed ones.
    ::unlink((mount + "/filler2").c_str());
    clip::showUserPicker();
    picker->cmdOK->click();
    const std::string log = test::readFile(mount + "/clip_player.log");
    clip::closeClipPlayer();
    setProgramFolderForTesting(home_.path());
    ::umount(mount.c_str());

    EXPECT_EQ(addMessages.size(), 1);
    EXPECT_FALSE(listLeft);
    EXPECT_FALSE(namesLeft);
    EXPECT_EQ(users, "");
    EXPECT_EQ(listed, 0);
    EXPECT_EQ(full.size(), 1) << messages_.join('|').toStdString();
    EXPECT_EQ(log, ("Loaded user Nobody" + stamp() + "\r\n").toStdString());
}
