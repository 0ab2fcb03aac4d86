// The console's wiring to its keyboard and small dialogs: a key typed into any control reaches the
// dispatcher exactly once and still reaches the control; Set Index and About open modally.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "console/frmSetIndex.h"
#include "media/MediaChannel.h"
#include "platform/common/Clock.h"
#include "tests/console/ConsoleFixture.h"
#include "ui/StatusLine.h"

using brisko::MediaChannel;

namespace brisko::test {
namespace {

using KeyboardTest = ConsoleTest;

TEST_F(KeyboardTest, KeysTypedIntoAControlRunTheDeckCommandsOnce) {
    tone("one.wav", 5.0);
    tone("five.wav", 5.0);
    frmMain& m = makeWindow();
    dropOnDeck("one.wav", 0);
    dropOnDeck("five.wav", 4);
    m.show();
    m.activateWindow();
    MediaChannel::setVolume("voice4", "", 50);
    // "5" typed into deck 1's Cut Off box: the box gets it, and deck 5 goes up by one step.
    m.Text2[0]->setFocus();
    QTest::keyClick(m.Text2[0], Qt::Key_5);
    EXPECT_EQ(m.Text2[0]->text(), "5");
    EXPECT_EQ(MediaChannel::getVolume("voice4"), 52);
    // Shift+F1 is ignored by the text box and travels on to its parents: deck 1 is played once,
    // not played and paused again.
    QTest::keyClick(m.Text2[0], Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Pause 1");
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 98);  // and one volume-down step
    // Esc stops the current deck.
    QTest::keyClick(m.currentclip, Qt::Key_Escape);
    EXPECT_EQ(m.cmdPlay[0]->text(), "Play 1");
}

TEST_F(KeyboardTest, SetIndexChoosesTheSpaceDeck) {
    frmMain& m = makeWindow();
    m.show();
    QTimer::singleShot(0, [&] {
        frmSetIndex* dialog = m.setIndexWindow();
        dialog->Text1->setText("3");
        dialog->Command1->click();
    });
    m.cmdSetIndex->click();
    EXPECT_EQ(m.SpaceIndex, 2);
    EXPECT_EQ(m.focusWidget(), m.Text1[2]);
    // 13 addresses no deck; nothing breaks.
    QTimer::singleShot(0, [&] {
        m.setIndexWindow()->Text1->setText("13");
        m.setIndexWindow()->Command1->click();
    });
    m.cmdSetIndex_Click();
    EXPECT_EQ(m.SpaceIndex, 12);
    m.TimeRecal_Click();
}

TEST_F(KeyboardTest, TheSpaceDeckIsMarked) {
    frmMain& m = makeWindow();
    auto marked = [&] {
        QStringList numbers;
        for (QLabel* label : m.findChildren<QLabel*>())
            if (label->toolTip() == "The Space bar plays this deck next") numbers << label->text();
        return numbers;
    };
    EXPECT_EQ(marked(), QStringList{"1"});
    m.SpaceIndex = 3;
    m.Timer1_Timer();
    EXPECT_EQ(marked(), QStringList{"4"});
    m.SpaceIndex = 12;  // no deck: nothing is marked
    m.Timer1_Timer();
    EXPECT_TRUE(marked().isEmpty());
}

TEST_F(KeyboardTest, AboutOpensModallyAndCloses) {
    frmMain& m = makeWindow();
    m.show();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        seen = modal != nullptr && modal != &m;
        if (modal != nullptr) modal->close();
    });
    m.mnuabout->trigger();
    EXPECT_TRUE(seen);
}

// The readout keys write their sentence into the readout line, which a screen reader reads as a
// status whose name and text are that sentence; the deck keys do nothing more on them.
TEST_F(KeyboardTest, ReadoutKeysSayTheTimesInTheStatusLine) {
    tone("one.wav", 75.0);
    tone("two.wav", 200.0);
    setNowHook([] { return TimeOfDay{10, 45, 30}; });
    frmMain& m = makeWindow();
    dropOnDeck("one.wav", 0);
    dropOnDeck("two.wav", 1);
    m.show();
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    auto spoken = [&m] {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(m.readoutLine);
        EXPECT_EQ(face->role(), QAccessible::StatusBar);
        EXPECT_EQ(face->textInterface()->text(0, -1), face->text(QAccessible::Name));
        return face->text(QAccessible::Name).toStdString();
    };
    m.File1->setFocus();
    QTest::keyClick(m.File1, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spoken(), "Deck 1 is not playing");
    QTest::keyClick(m.File1, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spoken(), "Next: deck 1, one, 1 minute 15 seconds");
    QTest::keyClick(m.File1, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spoken(), "14 minutes 30 seconds to the top of the hour");

    m.cmdPlay_Click(0);
    render(3000);
    // From a text box: the keys are not typed into it and start no deck key.
    m.Text2[0]->setFocus();
    QTest::keyClick(m.Text2[0], Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spoken(), "Deck 1, 1 minute 12 seconds left");
    QTest::keyClick(m.Text2[0], Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spoken(), "Deck 1, 3 seconds played");
    EXPECT_EQ(m.Text2[0]->text(), "");
    EXPECT_EQ(m.Command8[0]->text(), "F");
    EXPECT_EQ(MediaChannel::getVolume("voice0"), 100);
    EXPECT_EQ(MediaChannel::mode("voice0"), "playing");
    EXPECT_EQ(MediaChannel::mode("voice1"), "stopped");

    // The outro warning (off by default): said once when the current deck has that much left.
    EXPECT_EQ(m.outroWarningSeconds(), 0);
    m.setOutroWarningSeconds(10);
    render(60000);
    QTest::qWait(300);
    EXPECT_EQ(spoken(), "Deck 1, 3 seconds played") << "warned too early";
    render(2500);
    QTest::qWait(300);
    EXPECT_EQ(spoken(), "Deck 1 ends in 10 seconds");
    m.readoutLine->say(QString());
    render(2000);
    QTest::qWait(300);
    EXPECT_EQ(m.readoutLine->sentence(), "") << "the warning is said once";
}

// Tab walks the main window deck by deck in the order the eye reads it, and comes back round.
TEST_F(KeyboardTest, TabFollowsTheDecksInScreenOrder) {
    frmMain& m = makeWindow();
    m.show();
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    m.Text1[0]->setFocus();
    std::vector<QWidget*> seen{QApplication::focusWidget()};
    for (int k = 0; k < 400; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget());
        if (seen.back() == m.Text1[0]) break;
    }
    ASSERT_EQ(seen.back(), m.Text1[0]) << "Tab never came back round: a focus trap";
    auto at = [&seen](QWidget* w) { return std::find(seen.begin(), seen.end(), w) - seen.begin(); };
    for (int i = 0; i < frmMain::kDecks; ++i) {
        // Within a deck, left to right, top row first; each deck before the next.
        EXPECT_LT(at(m.Text1[i]), at(m.cmdPlay[i])) << i;
        EXPECT_LT(at(m.cmdPlay[i]), at(m.chkSegue[i])) << i;
        EXPECT_LT(at(m.chkSegue[i]), at(m.Text2[i])) << i;
        if (i + 1 < frmMain::kDecks) {
            EXPECT_LT(at(m.Text2[i]), at(m.Text1[i + 1])) << i;
        }
    }
    for (QWidget* w : {static_cast<QWidget*>(m.Drive1), static_cast<QWidget*>(m.Dir1),
                       static_cast<QWidget*>(m.File1), static_cast<QWidget*>(m.Command2),
                       static_cast<QWidget*>(m.CommandQuit)})
        EXPECT_LT(at(w), static_cast<long>(seen.size())) << w->objectName().toStdString();
}

}  // namespace
}  // namespace brisko::test
