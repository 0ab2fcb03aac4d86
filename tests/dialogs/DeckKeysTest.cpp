// The deck console's keyboard, driven by real key events on the main window's controls.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "console/DeckKeys.h"
#include "console/frmHelp.h"
#include "media/MediaChannel.h"
#include "tests/dialogs/FakeMedia.h"

using brisko::MediaChannel;

namespace {

class DeckKeys : public brisko::test::WithMainWindow {
protected:
    void SetUp() override {
        WithMainWindow::SetUp();
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }
    // A key press on a control of the main window, as the operator types it.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QWidget* on = nullptr) {
        QTest::keyClick(on != nullptr ? on : main->currentclip, static_cast<Qt::Key>(key),
                        modifiers);
    }
    int64_t volume(int i) { return deck(i)->volume; }
};

}  // namespace

TEST(DeckKeyMath, PercentRoundsHalvesToEvenAndNeedsALength) {
    using brisko::console::percentPlayed;
    EXPECT_EQ(percentPlayed(1, 200), 0);    // 0.5 goes to the even 0
    EXPECT_EQ(percentPlayed(3, 200), 2);    // 1.5 goes to the even 2
    EXPECT_EQ(percentPlayed(-1, -1), 100);  // failed queries read -1 each
    EXPECT_EQ(percentPlayed(10, 0), -1);
}

TEST_F(DeckKeys, ShiftFunctionKeyPlaysThatDeckAndThenLowersItsVolume) {
    loadDeck(2, "three.wav");
    press(Qt::Key_F3, Qt::ShiftModifier, main->Text1[0]);
    EXPECT_EQ(deck(2)->mode, "playing");
    EXPECT_EQ(main->cmdPlay[2]->text(), "Pause 3");
    EXPECT_EQ(main->CurrentDeck, 2);
    EXPECT_EQ(volume(2), 980);
    EXPECT_EQ(main->Command8[2]->text(), "100");
    // Again: pause, and one more step down.
    press(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(deck(2)->mode, "paused");
    EXPECT_EQ(main->cmdPlay[2]->text(), "Resume 3");
    EXPECT_EQ(volume(2), 960);
    EXPECT_EQ(main->Command8[2]->text(), "98");
}

TEST_F(DeckKeys, CtrlFunctionKeyStopsThenStepsDown) {
    loadDeck(4, "five.wav");
    main->cmdPlay_Click(4);
    ASSERT_EQ(deck(4)->mode, "playing");
    press(Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(deck(4)->mode, "stopped");
    EXPECT_EQ(main->cmdPlay[4]->text(), "Play 5");
    EXPECT_EQ(volume(4), 980);  // stop set 100, then one step down
}

TEST_F(DeckKeys, AllThreeModifiersOnlyStepTheVolume) {
    loadDeck(0, "one.wav");
    press(Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(deck(0)->mode, "stopped");
    EXPECT_EQ(main->cmdPlay[0]->text(), "Play 1");
    EXPECT_FALSE(main->chkSegue[0]->isChecked());
    EXPECT_EQ(volume(0), 980);
    EXPECT_EQ(main->Command8[0]->text(), "100");
}

TEST_F(DeckKeys, FocusKeysAndTheSegueToggle) {
    press(Qt::Key_F4, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->Text1[3]);

    press(Qt::Key_F2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(main->chkSegue[1]->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), main->chkSegue[1]);
    press(Qt::Key_F2, Qt::ShiftModifier | Qt::ControlModifier, main->chkSegue[1]);
    EXPECT_FALSE(main->chkSegue[1]->isChecked());

    main->Func()->Check4->setChecked(true);  // start-time boxes are shown in this layout only
    main->Text3[5]->clear();
    press(Qt::Key_F6, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->StartTime[5]);
    main->Text3[5]->setText("01:10");
    press(Qt::Key_F6, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->Text3[5]);

    press(Qt::Key_P, Qt::ControlModifier | Qt::AltModifier, main->Text1[0]);
    EXPECT_EQ(QApplication::focusWidget(), main->currentclip);
    press(Qt::Key_F, Qt::NoModifier, main->Text1[0]);
    EXPECT_EQ(QApplication::focusWidget(), main->File1);
    press(Qt::Key_D);
    EXPECT_EQ(QApplication::focusWidget(), main->Dir1);
    press(Qt::Key_G);
    EXPECT_EQ(QApplication::focusWidget(), main->Drive1);
}

TEST_F(DeckKeys, ShiftAltFadesAndCtrlHShowsHelp) {
    loadDeck(1, "two.wav");
    main->cmdPlay_Click(1);
    press(Qt::Key_F2, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(main->Decks[1].Fading, 1);
    EXPECT_EQ(main->Decks[1].FadeLevel, 100);  // read before the key's own step down
    press(Qt::Key_H, Qt::ControlModifier);
    ASSERT_NE(main->helpWindow(), nullptr);
    EXPECT_TRUE(main->helpWindow()->isVisible());
}

TEST_F(DeckKeys, VolumeUpKeysReachTheirDecksAndDoNotClamp) {
    const std::pair<int, int> keys[] = {
        {Qt::Key_1, 0}, {Qt::Key_5, 4}, {Qt::Key_9, 8}, {Qt::Key_0, 9},
        {Qt::Key_Q, 10}, {Qt::Key_W, 11}, {Qt::Key_Minus, 10}, {Qt::Key_Equal, 11}};
    for (int i = 0; i < 12; ++i) loadDeck(i, "deck" + std::to_string(i) + ".wav");
    for (const auto& [key, i] : keys) {
        MediaChannel::setVolume(main->deckAlias(i), "", 50);
        press(key);
        EXPECT_EQ(volume(i), 520) << "key " << key << " deck " << i + 1;
        EXPECT_EQ(main->Command8[i]->text(), "50");
    }
    // At full volume a raise changes nothing and shows "F"; at 99 it is refused, not clamped.
    MediaChannel::setVolume(main->deckAlias(0), "", 100);
    press(Qt::Key_1);
    EXPECT_EQ(volume(0), 1000);
    EXPECT_EQ(main->Command8[0]->text(), "F");
    MediaChannel::setVolume(main->deckAlias(0), "", 99);
    press(Qt::Key_1);
    EXPECT_EQ(volume(0), 990);
    EXPECT_EQ(main->Command8[0]->text(), "99");
    // The step comes from the Volume Up slider at the moment of the press.
    main->Func()->Slider3->setValue(7);
    MediaChannel::setVolume(main->deckAlias(11), "", 10);
    press(Qt::Key_Equal);
    EXPECT_EQ(volume(11), 170);
}

TEST_F(DeckKeys, VolumeDownIsRefusedBelowZero) {
    loadDeck(6, "seven.wav");
    MediaChannel::setVolume(main->deckAlias(6), "", 1);
    press(Qt::Key_F7);
    EXPECT_EQ(volume(6), 10);
    EXPECT_EQ(main->Command8[6]->text(), "1");
    main->Func()->Slider2->setValue(10);
    MediaChannel::setVolume(main->deckAlias(6), "", 60);
    press(Qt::Key_F7);
    EXPECT_EQ(volume(6), 500);
    // An empty deck answers -1: nothing is sent and the caption shows it.
    press(Qt::Key_F8);
    EXPECT_EQ(main->Command8[7]->text(), "-1");
}

TEST_F(DeckKeys, TDucksTheCurrentDeckAndRestoresIt) {
    loadDeck(3, "four.wav");
    main->cmdPlay_Click(3);
    ASSERT_EQ(main->CurrentDeck, 3);
    press(Qt::Key_T);
    EXPECT_TRUE(main->Ducked);
    EXPECT_EQ(main->DuckSavedVolume, 100);
    EXPECT_EQ(volume(3), 200);
    EXPECT_EQ(main->Command8[3]->text(), "20");
    press(Qt::Key_T);
    EXPECT_FALSE(main->Ducked);
    EXPECT_EQ(volume(3), 1000);
    EXPECT_EQ(main->Command8[3]->text(), "F");

    // A lowered deck comes back to its own volume; the level comes from the duck slider.
    MediaChannel::setVolume(main->deckAlias(3), "", 64);
    main->Func()->Slider8->setValue(0);
    press(Qt::Key_T);
    EXPECT_EQ(volume(3), 0);
    EXPECT_EQ(main->Command8[3]->text(), "0");
    press(Qt::Key_T);
    EXPECT_EQ(volume(3), 640);
    EXPECT_EQ(main->Command8[3]->text(), "64");

    // The restore goes to the deck that is current at the second press.
    main->Func()->Slider8->setValue(20);
    loadDeck(5, "six.wav");
    press(Qt::Key_T);
    EXPECT_EQ(volume(3), 200);
    main->cmdPlay_Click(5);
    MediaChannel::setVolume(main->deckAlias(5), "", 90);
    press(Qt::Key_T);
    EXPECT_EQ(volume(5), 640);
    EXPECT_EQ(main->Command8[5]->text(), "64");
    EXPECT_EQ(volume(3), 200);
    EXPECT_FALSE(main->Ducked);
}

TEST_F(DeckKeys, TheFocusedControlStillReceivesTheKey) {
    loadDeck(0, "one.wav");
    main->cmdPlay_Click(0);
    main->Text2[0]->setFocus();
    main->Text2[0]->clear();
    press(Qt::Key_T, Qt::NoModifier, main->Text2[0]);
    EXPECT_EQ(main->Text2[0]->text().toLower(), "t");
    EXPECT_TRUE(main->Ducked);
    EXPECT_EQ(volume(0), 200);
}

TEST_F(DeckKeys, SpacePlaysTheIndexDeckAndMovesOnOnlyWhenItHoldsAFile) {
    loadDeck(0, "one.wav");
    main->SpaceIndex = 0;
    press(Qt::Key_Space);
    EXPECT_EQ(deck(0)->mode, "playing");
    EXPECT_EQ(main->SpaceIndex, 1);
    press(Qt::Key_Space);  // deck 2 is empty
    EXPECT_EQ(main->SpaceIndex, 1);
    EXPECT_EQ(main->cmdPlay[1]->text(), "Play 2");
    for (int index : {-1, 12, 13}) {
        main->SpaceIndex = static_cast<int16_t>(index);
        press(Qt::Key_Space);
        EXPECT_EQ(main->SpaceIndex, index);
    }
}

TEST_F(DeckKeys, KeypadPlusShowsPercentAndSkipsOnlyInTheAdvancedLayout) {
    loadDeck(0, "one.wav", 60000);
    main->cmdPlay_Click(0);
    main->SpaceIndex = 0;
    deck(0)->position = 30000;
    deck(0)->log.clear();
    main->Func()->Check4->setChecked(false);
    press(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(main->Label8[0]->text(), "50%");
    EXPECT_TRUE(deck(0)->log.empty());
    EXPECT_EQ(deck(0)->position, 30000);

    main->Func()->Check4->setChecked(true);
    main->Func()->Slider4->setValue(2500);
    press(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(main->HScroll1[0]->value(), 50);
    EXPECT_EQ(main->HScroll1[0]->maximum(), 100);
    EXPECT_EQ(deck(0)->position, 32500);
    EXPECT_EQ(deck(0)->mode, "playing");
    ASSERT_FALSE(deck(0)->log.empty());
    EXPECT_EQ(deck(0)->log.back(), "play -1 -1");  // continue from the new position

    // Index deck and current deck differ: the index deck shows its percent and is moved on
    // (and stopped by the seek); the play command goes to the current deck.
    loadDeck(1, "two.wav", 40000);
    main->cmdPlay_Click(1);
    deck(0)->position = 15000;
    deck(0)->log.clear();
    deck(1)->log.clear();
    press(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(main->Label8[0]->text(), "25%");
    EXPECT_EQ(main->HScroll1[0]->value(), 25);
    EXPECT_EQ(deck(0)->position, 17500);
    EXPECT_EQ(deck(0)->mode, "stopped");
    ASSERT_FALSE(deck(1)->log.empty());
    EXPECT_EQ(deck(1)->log.back(), "play -1 -1");
}

TEST_F(DeckKeys, KeypadMinusSeeksTheIndexDeckAndPlaysTheCurrentOne) {
    loadDeck(0, "one.wav", 60000);
    loadDeck(1, "two.wav", 60000);
    main->cmdPlay_Click(1);
    main->SpaceIndex = 0;
    deck(0)->position = 20000;
    main->Func()->Slider4->setValue(1000);
    press(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(deck(0)->position, 19000);
    EXPECT_EQ(deck(0)->mode, "stopped");
    EXPECT_EQ(deck(1)->log.back(), "play -1 -1");
    // The main keyboard's minus is a volume key, not a rewind.
    deck(0)->log.clear();
    press(Qt::Key_Minus);
    EXPECT_TRUE(deck(0)->log.empty());
}

TEST_F(DeckKeys, SpeedHomeEndAndEscapeActOnTheCurrentDeck) {
    loadDeck(5, "six.wav", 60000);
    main->cmdPlay_Click(5);
    press(Qt::Key_PageDown);
    EXPECT_EQ(deck(5)->speed, 900);
    press(Qt::Key_PageUp);
    press(Qt::Key_PageUp);
    EXPECT_EQ(deck(5)->speed, 1100);
    press(Qt::Key_Insert);
    EXPECT_EQ(deck(5)->speed, 1000);

    deck(5)->position = 40000;
    press(Qt::Key_Home);
    EXPECT_EQ(deck(5)->position, 0);
    EXPECT_EQ(deck(5)->mode, "playing");

    press(Qt::Key_End);
    EXPECT_EQ(deck(5)->position, 55000);
    EXPECT_EQ(deck(5)->mode, "playing");

    press(Qt::Key_Escape);
    EXPECT_EQ(deck(5)->mode, "stopped");
    EXPECT_EQ(main->cmdPlay[5]->text(), "Play 6");
}

TEST_F(DeckKeys, EndOnAShortClipStillPlays) {
    loadDeck(2, "short.wav", 3000);
    main->cmdPlay_Click(2);
    deck(2)->position = 1000;
    deck(2)->log.clear();
    press(Qt::Key_End);
    EXPECT_EQ(deck(2)->position, 1000);  // the seek to -2000 is refused
    ASSERT_EQ(deck(2)->log.size(), 1u);
    EXPECT_EQ(deck(2)->log[0], "play -1 -1");
}

TEST_F(DeckKeys, EveryPressIsPreviewedEvenRightAfterAModifierPress) {
    // A modifier press and the key after it are separate events that may share an address (the
    // platform frees one before it allocates the next; QTest builds both on the stack). The key
    // preview must still hand the second one to the dispatcher.
    loadDeck(2, "three.wav");
    QTest::keyPress(main->Text1[0], Qt::Key_Shift);
    QTest::keyPress(main->Text1[0], Qt::Key_F3, Qt::ShiftModifier);
    QTest::keyRelease(main->Text1[0], Qt::Key_F3, Qt::ShiftModifier);
    QTest::keyRelease(main->Text1[0], Qt::Key_Shift);
    EXPECT_EQ(deck(2)->mode, "playing");
    EXPECT_EQ(volume(2), 980);
}

TEST_F(DeckKeys, AltLettersRunTheTablesBeforeAccessKeysAndMenus) {
    // Alt+Q: deck 11 goes up one step first, then the "&Quit" button's access key acts.
    loadDeck(10, "eleven.wav");
    MediaChannel::setVolume(main->deckAlias(10), "", 50);
    press(Qt::Key_Q, Qt::AltModifier, main->Text1[0]);
    EXPECT_EQ(volume(10), 520);
    EXPECT_EQ(main->Command8[10]->text(), "50");
    EXPECT_TRUE(prompts_.empty());  // the button's click comes after its pressed look
    for (int k = 0; k < 50 && prompts_.empty(); ++k) QTest::qWait(20);
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_TRUE(prompts_[0].text.startsWith("Brisko will now close."));

    // Alt+F: the focus moves to the file list, then the "&File" menu opens.
    main->Text1[0]->setFocus();
    press(Qt::Key_F, Qt::AltModifier, main->Text1[0]);
    for (int k = 0; k < 50 && QApplication::activePopupWidget() == nullptr; ++k) QTest::qWait(20);
    EXPECT_EQ(QApplication::activePopupWidget(), static_cast<QWidget*>(main->mnuFile));
    // Esc closes the menu, a second Esc leaves the menu bar: the focus goes back to where the
    // dispatcher had put it.
    QTest::keyClick(main->mnuFile, Qt::Key_Escape);
    QTest::keyClick(main->menuBar(), Qt::Key_Escape);
    EXPECT_EQ(main->focusWidget(), main->File1) << main->focusWidget()->metaObject()->className();
}

TEST_F(DeckKeys, FThenEnterLoadsTheRowUnderTheCursor) {
    loadDeck(0, "aaa.wav");  // lists the folder; the drop filled deck 1 by hand
    main->File1->clearSelection();
    main->File1->setCurrentItem(nullptr);
    main->FillPointer = 3;
    main->currentclip->setFocus();
    press(Qt::Key_F);
    ASSERT_EQ(QApplication::focusWidget(), main->File1);
    press(Qt::Key_Return, Qt::NoModifier, main->File1);
    EXPECT_EQ(main->Text1[3]->text(), "aaa");
    EXPECT_EQ(main->FillPointer, 4);
}
