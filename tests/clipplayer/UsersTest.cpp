// The user picker: adding, refusing, removing and choosing users, with the files it writes.
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <sys/stat.h>

#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmPickUser.h"
#include "tests/clipplayer/ClipFixture.h"

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
    for (const QString& name : {QStringLiteral("Studio"), QString(), QStringLiteral("../escape"),
                                QStringLiteral(".."), QStringLiteral("a/b")}) {
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

    // A hand-edited users file with a name that is a path: the entry goes, no file is deleted.
    test::writeFile(home_.file("victim.dat"), "precious");
    picker->cmboUsers->addItem(QStringLiteral("../") + QString::fromStdString(home_.path()).section('/', -1) + "/victim");
    picker->cmboUsers->setCurrentIndex(1);
    answers_ = {ui::PromptAnswer::Yes};
    picker->cmdRemoveUser->click();
    EXPECT_EQ(file("victim.dat"), "precious");
    EXPECT_EQ(file("ClipUsers.dat"), "Morning\r\n");
    EXPECT_EQ(logLines().filter("Removed user ").size(), 4);
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

    // An unsafe typed name is refused: nothing opens, nothing is logged.
    const int logged = int(logLines().size());
    clip::showUserPicker();
    clip::userPicker()->cmboUsers->setEditText(QStringLiteral("../../etc/passwd"));
    clip::userPicker()->cmdOK->click();
    EXPECT_EQ(messages_.size(), 2);
    EXPECT_EQ(clip::clipState().CurrentUser, "Gone");
    EXPECT_EQ(logLines().size(), logged);
}
