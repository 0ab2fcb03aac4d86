// The clip file selector and the page-names window: what they change on the Clip Player window
// and what they write.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QtTest/QTest>
#include <random>
#include <sys/mount.h>
#include <sys/stat.h>

#include "clipplayer/ClipAliases.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "tests/support/ToneFiles.h"
#include "clipplayer/frmClipFileSelect.h"
#include "clipplayer/frmPageNames.h"
#include "clipplayer/frmPickUser.h"
#include "console/FileBrowser.h"
#include "media/MediaChannelTesting.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/MciErrors.h"
#include "tests/clipplayer/ClipFixture.h"

using namespace brisko;
using brisko::test::ClipTest;

namespace {

// Opens the selector for button B and clicks NAME in its file list, in FOLDER.
frmClipFileSelect& pick(frmClipPlay& w, int b, const QString& folder, const QString& name) {
    w.cmdAdd[b]->click();
    frmClipFileSelect& s = *w.fileSelector();
    EXPECT_TRUE(s.Dir1->setPath(folder));
    s.File1->setPath(folder);
    const auto items = s.File1->findItems(name, Qt::MatchExactly);
    EXPECT_EQ(items.size(), 1) << name.toStdString();
    if (items.size() == 1) {
        s.File1->scrollToItem(items[0]);
        QTest::mouseClick(s.File1->viewport(), Qt::LeftButton, {}, s.File1->visualItemRect(items[0]).center());
    }
    return s;
}

std::string modeOf(const std::string& alias) {
    std::string reply;
    if (mci::mciSendString("status " + alias + " mode", &reply) != 0) return "closed";
    return reply;
}

}  // namespace

TEST_F(ClipTest, ChoosingColouringRemovingAndSavingAClipWritesTheWholeList) {
    const QString folder = QString::fromStdString(media_.path());
    tone("sting.wav", 1, 440);
    frmClipPlay& w = openAs(QStringLiteral("sel"), clip::ClipTable{});
    frmClipFileSelect& s = pick(w, 5, folder, QStringLiteral("sting.wav"));
    EXPECT_EQ(s.windowTitle(), "Clip File Selector");
    EXPECT_EQ(w.cmdPlay[5]->text(), "sting");
    EXPECT_EQ(w.cmdPlay[5]->backColour(), clip::kButtonFace);
    EXPECT_EQ(w.Shape1[5]->colour(), clip::kGreen);

    s.Command[4]->click();  // light orange
    ui::setColorResponder([](const QString&) { return QColor(1, 2, 3); });
    s.cmdTextColor->click();
    s.cmdExit->click();
    EXPECT_FALSE(s.isVisible());
    QStringList expected = clip::textLines(clip::blankClipList());
    expected[48 + 5] = "1|5|" + folder + "|sting.wav|8438015|197121";
    EXPECT_EQ(file("sel.dat"), clip::crlfText(expected).toStdString());

    // A cancelled colour dialog changes nothing; removing answered Yes empties the slot, and
    // stops the clip when it sounds (its button and key are gone with it).
    ui::setColorResponder([](const QString&) { return QColor(); });
    QTest::keyClick(&w, Qt::Key_6);
    render(100, true);
    w.cmdAdd[5]->click();
    w.fileSelector()->cmdCustomColor->click();
    EXPECT_EQ(clip::clipState().Table.slot(1, 5).BackColour, 8438015.0);
    answers_ = {ui::PromptAnswer::Yes};
    w.fileSelector()->cmdRemoveClip->click();
    EXPECT_EQ(w.cmdAdd[5]->text(), "Add");
    EXPECT_FALSE(w.cmdPlay[5]->isEnabled());
    w.fileSelector()->cmdExit->click();
    render(200, true);
    EXPECT_LT(level(seconds() - 0.15, seconds()), 0.001);
    EXPECT_EQ(modeOf(clip::buttonAlias(5)), "closed");
    EXPECT_EQ(w.cmdAdd[5]->text(), "Add") << "no ticker writes over it";
    EXPECT_EQ(logLines().mid(1), QStringList({"Started sting.wav" + stamp(), "Stopped sting.wav" + stamp()}));
    EXPECT_EQ(file("sel.dat"), clip::blankClipList().toStdString());
}

TEST_F(ClipTest, NamesAClipListCannotHoldAreRefused) {
    const std::string odd = media_.file("a|b");
    ASSERT_EQ(::mkdir(odd.c_str(), 0755), 0);
    test::ToneSpec spec;
    spec.seconds = 0.2;
    test::writeToneWav(odd + "/in.wav", spec);
    test::writeToneWav(media_.file("pipe|name.wav"), spec);
    frmClipPlay& w = openAs(QStringLiteral("pipes"), clip::ClipTable{});
    pick(w, 0, QString::fromStdString(media_.path()), QStringLiteral("pipe|name.wav"));
    pick(w, 1, QString::fromStdString(odd), QStringLiteral("in.wav"));
    ASSERT_EQ(messages_.size(), 2);
    EXPECT_TRUE(messages_[0].contains(QLatin1String("\"|\""))) << messages_[0].toStdString();
    EXPECT_TRUE(clip::clipState().Table.slot(1, 0).empty());
    EXPECT_TRUE(clip::clipState().Table.slot(1, 1).empty());
    EXPECT_TRUE(w.cmdPlay[0]->text().isEmpty());
}

TEST_F(ClipTest, PreviewPlaysStopsAndEndsWhenItsAliasStaysTaken) {
    tone("listen.wav", 2, 600);
    frmClipPlay& w = openAs(QStringLiteral("pre"), clip::ClipTable{});
    frmClipFileSelect& s = pick(w, 0, QString::fromStdString(media_.path()), QStringLiteral("listen.wav"));
    s.cmdPlay->click();
    EXPECT_EQ(s.cmdPlay->text(), "Stop");
    render(200);
    EXPECT_NEAR(frequency(0.05, 0.2), 600, 15);
    s.cmdPlay->click();
    EXPECT_EQ(s.cmdPlay->text(), "Play");
    EXPECT_EQ(modeOf(clip::kPreviewAlias), "closed");
    s.cmdPlay->click();
    s.close();  // closing the selector stops the preview
    EXPECT_EQ(modeOf(clip::kPreviewAlias), "closed");

    // With a cue output the preview is heard there only, and the Clip Player's log does not hear
    // of it.
    audio::Engine& engine = audio::Engine::instance();
    ASSERT_TRUE(engine.startCueOutput("manual"));
    struct NoCueAfter {
        ~NoCueAfter() { audio::Engine::instance().startCueOutput(""); }
    } noCueAfter;
    const QStringList logBefore = logLines();
    pick(w, 0, QString::fromStdString(media_.path()), QStringLiteral("listen.wav"));
    s.cmdPlay->click();
    EXPECT_EQ(s.cmdPlay->text(), "Stop");
    const double from = seconds();
    render(200);
    EXPECT_EQ(level(from, seconds()), 0.0);
    std::vector<float> cue(size_t(rate_ / 5) * 2);
    engine.renderCueManual(cue.data(), rate_ / 5);
    EXPECT_GT(test::rms(cue, 0, rate_ / 5), 0.1);
    s.close();
    EXPECT_EQ(modeOf(clip::kPreviewAlias), "closed");
    EXPECT_EQ(logLines(), logBefore);

    // An alias that closing never frees: the preview gives up and says why.
    int opens = 0;
    setMciSenderForTesting([&opens](const std::string& command, std::string* reply) -> mci::MciError {
        if (command.rfind("open ", 0) == 0) {
            ++opens;
            return mci::kErrAliasInUse;
        }
        return mci::mciSendString(command, reply);
    });
    pick(w, 0, QString::fromStdString(media_.path()), QStringLiteral("listen.wav"));
    s.cmdPlay->click();
    setMciSenderForTesting({});
    EXPECT_EQ(opens, 5);
    ASSERT_FALSE(messages_.isEmpty());
    EXPECT_TRUE(messages_.last().startsWith(QLatin1String("The spe"))) << messages_.last().toStdString();
    EXPECT_EQ(s.cmdPlay->text(), "Play");
}

TEST_F(ClipTest, ASaveOnAFullDiskKeepsTheOldListAndTheSelectorOpen) {
    const std::string mount = media_.file("disk");
    ASSERT_EQ(::mkdir(mount.c_str(), 0755), 0);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=16k") != 0) GTEST_SKIP() << "no tmpfs (not root)";
    setProgramFolderForTesting(mount);
    tone("fill.wav", 1, 440);
    frmClipPlay& w = openAs(QStringLiteral("full"), clip::ClipTable{});
    const std::string old = test::readFile(mount + "/full.dat");
    test::writeFile(mount + "/filler", std::string(12 * 1024, 'x'));
    frmClipFileSelect& s = pick(w, 0, QString::fromStdString(media_.path()), QStringLiteral("fill.wav"));
    s.cmdExit->click();
    const std::string after = test::readFile(mount + "/full.dat");
    const bool open = s.isVisible();
    clip::closeClipPlayer();
    setProgramFolderForTesting(home_.path());
    ::umount(mount.c_str());
    EXPECT_EQ(after, old);
    EXPECT_TRUE(open);
    ASSERT_FALSE(messages_.isEmpty());
    EXPECT_TRUE(messages_.last().contains(QLatin1String("could not be saved"))) << messages_.last().toStdString();
}

TEST_F(ClipTest, PageNamesShowOnTheTabsAtOnceAndCancelKeepsThem) {
    frmClipPlay& w = openAs(QStringLiteral("names"), clip::ClipTable{});
    w.cmdPageNames->click();
    frmPageNames& n = *w.pageNamesWindow();
    EXPECT_EQ(n.Text1[2]->text(), "P3");
    n.Text1[2]->setText(QStringLiteral("Station IDs"));
    n.Text1[9]->clear();
    n.Command2->click();
    EXPECT_TRUE(n.isVisible());
    EXPECT_EQ(w.SSTab1->tabText(2), "Station IDs");
    EXPECT_EQ(w.SSTab1->tabText(9), "");
    EXPECT_EQ(file("names.nst"), "P1\r\nP2\r\nStation IDs\r\nP4\r\nP5\r\nP6\r\nP7\r\nP8\r\nP9\r\n\r\n");
    EXPECT_EQ(clip::clipState().PageNames[2], "Station IDs");

    n.Text1[0]->setText(QStringLiteral("never saved"));
    answers_ = {ui::PromptAnswer::Yes};
    n.cmdCancel->click();
    EXPECT_FALSE(n.isVisible());
    EXPECT_EQ(w.SSTab1->tabText(0), "P1");
    EXPECT_EQ(file("names.nst").substr(0, 4), "P1\r\n");
}

TEST_F(ClipTest, AClipListThatIsNotOneIsReportedAndReplacedOnlyWhenTheOperatorSaysSo) {
    std::mt19937 random(17);
    std::string junk(200 * 1024, '\0');
    for (char& c : junk) c = char(random() & 0xFF);
    test::writeFile(home_.file("junk.dat"), junk);
    test::writeFile(home_.file("junk.nst"), "");
    test::writeFile(home_.file("ClipUsers.dat"), "junk\r\n");
    clip::userPicker()->cmdOK->click();
    frmClipPlay& w = *clip::clipWindow();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains(QLatin1String("junk.dat is damaged"))) << messages_[0].toStdString();

    // "Exit & Save" asks; No writes nothing and keeps the selector open.
    w.cmdAdd[0]->click();
    answers_ = {ui::PromptAnswer::No};
    w.fileSelector()->cmdExit->click();
    EXPECT_EQ(file("junk.dat"), junk);
    EXPECT_TRUE(w.fileSelector()->isVisible());
    // Yes replaces it with what the window shows: 528 clip lines.
    answers_ = {ui::PromptAnswer::Yes};
    w.fileSelector()->cmdExit->click();
    EXPECT_EQ(clip::textLines(QByteArray::fromStdString(file("junk.dat"))).size(), clip::kClipLines);
    EXPECT_EQ(messages_.size(), 3);
    // Saved once, the list is the operator's: the next save asks nothing.
    w.cmdAdd[0]->click();
    w.fileSelector()->cmdExit->click();
    EXPECT_EQ(messages_.size(), 3);
}
