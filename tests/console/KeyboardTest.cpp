// The console's wiring to its keyboard and small dialogs: a key typed into any control reaches the
// dispatcher exactly once and still reaches the control; Set Index and About open modally.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "console/frmSetIndex.h"
#include "media/MediaChannel.h"
#include "tests/console/ConsoleFixture.h"

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

}  // namespace
}  // namespace brisko::test
