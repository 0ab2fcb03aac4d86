// Pre-listening from the console, driven by real key and mouse events on the shown window: what
// the operator hears on the cue output, and that nothing of it reaches the air or a deck.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "console/FitLabel.h"
#include "console/PreListen.h"
#include "media/MediaChannel.h"
#include "media/PreListen.h"
#include "platform/audio/Engine.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ToneFiles.h"

using brisko::MediaChannel;

namespace brisko::test {
namespace {

class PreListenTest : public ConsoleTest {
protected:
    void TearDown() override {
        ConsoleTest::TearDown();
        audio::Engine::instance().startCueOutput("");
    }
    // A tone at the engine's rate, so that what a voice plays is the file's samples themselves.
    std::string tone48(const std::string& name, double seconds, double frequency) {
        ToneSpec spec;
        spec.seconds = seconds;
        spec.frequency = frequency;
        spec.sampleRate = 48000;
        writeToneWav(media_.file(name), spec);
        return name;
    }
    frmMain& shownWindow() {
        frmMain& m = makeWindow();
        m.show();
        m.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m));
        return m;
    }
    // MS milliseconds of the cue mix (the air's are rendered into the fixture's capture alongside,
    // so both outputs move on together).
    std::vector<float> renderBoth(int ms, size_t* airStart) {
        *airStart = mix_.size() / 2;
        render(ms);
        const int frames = ms * rate() / 1000;
        std::vector<float> cue(static_cast<size_t>(frames) * 2);
        audio::Engine::instance().renderCueManual(cue.data(), frames);
        return cue;
    }
    double airLevel(size_t firstFrame, int ms) const { return rms(mix_, int64_t(firstFrame), ms * rate() / 1000); }
    static void keypadEnter(QWidget* on) { QTest::keyClick(on, Qt::Key_Enter, Qt::KeypadModifier); }
    // Opens WIDGET's context menu with a right click at AT and chooses its first entry with the
    // keys, as the operator would; returns that entry's check state before the choice.
    static bool chooseFirstEntry(QWidget* widget, QPoint at) {
        // Through the window, as a real click comes: the window turns it into the context menu event.
        QTest::mouseClick(widget->window()->windowHandle(), Qt::RightButton, Qt::NoModifier,
                          widget->mapTo(widget->window(), at));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr) << "no context menu";
        if (menu == nullptr) return false;
        QAction* first = menu->actions().first();
        EXPECT_EQ(first->text(), "Pre-listen");
        const bool checked = first->isChecked();
        QTest::keyClick(menu, Qt::Key_Down);
        EXPECT_EQ(menu->activeAction(), first);
        QTest::keyClick(menu, Qt::Key_Return);
        return checked;
    }
};

// Keypad Enter pre-listens the file under the cursor wherever the focus is, on the cue and never
// on air; the file list's own Enter, which loads a deck, does not see it. Again on the same file
// it stops; on another file the pre-listen moves there; at the end of the sound the channel goes.
TEST_F(PreListenTest, KeypadEnterTogglesThePreListenOfTheFileUnderTheCursorOnTheCueOnly) {
    ASSERT_TRUE(audio::Engine::instance().startCueOutput("manual"));
    tone48("jingle.wav", 0.5, 440.0);
    tone48("bed.wav", 5.0, 1000.0);
    frmMain& m = shownWindow();
    select("jingle.wav");
    m.File1->setFocus();
    keypadEnter(m.File1);
    EXPECT_EQ(m.preListen()->file(), qs(media_.file("jingle.wav")));
    EXPECT_EQ(m.FillPointer, 0) << "keypad Enter loaded a deck";
    EXPECT_TRUE(m.Text1[0]->text().isEmpty());
    size_t air = 0;
    std::vector<float> cue = renderBoth(200, &air);
    EXPECT_GT(rms(cue, 0, 200 * 48), 0.3);
    EXPECT_EQ(airLevel(air, 200), 0.0);

    // From a text box too, which keeps its text.
    m.Text2[3]->setText("7");
    m.Text2[3]->setFocus();
    keypadEnter(m.Text2[3]);
    EXPECT_TRUE(m.preListen()->file().isEmpty());
    EXPECT_EQ(MediaChannel::mode(kPreListenAlias), "ERROR") << "the channel is still open";
    cue = renderBoth(100, &air);
    EXPECT_EQ(rms(cue, 0, 100 * 48), 0.0);
    EXPECT_EQ(m.Text2[3]->text(), "7");

    // Moving the cursor and pressing again moves the pre-listen to the other file.
    keypadEnter(m.Text2[3]);
    select("bed.wav");
    keypadEnter(m.File1);
    EXPECT_EQ(m.preListen()->file(), qs(media_.file("bed.wav")));
    cue = renderBoth(100, &air);
    EXPECT_GT(rms(cue, 0, 100 * 48), 0.3);
    EXPECT_EQ(airLevel(air, 100), 0.0);

    // The main keyboard's Enter still loads the file into the next deck and pre-listens nothing
    // new.
    QTest::keyClick(m.File1, Qt::Key_Return);
    EXPECT_EQ(m.Text1[0]->text(), "bed");
    EXPECT_EQ(m.preListen()->file(), qs(media_.file("bed.wav")));

    // At its end the pre-listen lets its channel go.
    select("jingle.wav");
    keypadEnter(m.File1);
    renderBoth(600, &air);
    for (int k = 0; k < 50 && !m.preListen()->file().isEmpty(); ++k) QTest::qWait(20);
    EXPECT_TRUE(m.preListen()->file().isEmpty());
    EXPECT_EQ(MediaChannel::mode(kPreListenAlias), "ERROR");
}

// A deck's "Pre-listen" plays its file from the start on a channel of its own: the deck plays on
// where it was, on air, at its volume. The file list's entry shows the pre-listen checked and,
// chosen again, stops it.
TEST_F(PreListenTest, TheContextMenusPreListenADeckFromItsStartAndLeaveTheDeckAlone) {
    ASSERT_TRUE(audio::Engine::instance().startCueOutput("manual"));
    tone48("song.wav", 5.0, 440.0);
    frmMain& m = shownWindow();
    dropOnDeck("song.wav", 2);
    m.cmdPlay_Click(2);
    size_t air = 0;
    renderBoth(300, &air);
    const std::vector<float> deckStart(mix_.begin() + int64_t(air) * 2, mix_.begin() + int64_t(air + 4800) * 2);

    EXPECT_FALSE(chooseFirstEntry(m.Text1[2], m.Text1[2]->rect().center()));
    EXPECT_EQ(m.preListen()->file(), qs(media_.file("song.wav")));
    const std::vector<float> cue = renderBoth(100, &air);
    for (size_t k = 0; k < deckStart.size(); ++k) ASSERT_EQ(cue[k], deckStart[k]) << k;
    EXPECT_EQ(MediaChannel::position("voice2"), 400);
    EXPECT_EQ(MediaChannel::mode("voice2"), "playing");
    EXPECT_EQ(MediaChannel::getVolume("voice2"), 100);
    EXPECT_EQ(m.cmdPlay[2]->text(), "Pause 3");

    // The file list's menu acts on the row clicked, and shows that it pre-listens.
    select("song.wav");
    QListWidgetItem* row = m.File1->currentItem();
    m.File1->setCurrentItem(nullptr);
    EXPECT_TRUE(chooseFirstEntry(m.File1->viewport(), m.File1->visualItemRect(row).center()));
    EXPECT_TRUE(m.preListen()->file().isEmpty());
    EXPECT_EQ(rms(renderBoth(100, &air), 0, 100 * 48), 0.0);
    EXPECT_EQ(MediaChannel::mode("voice2"), "playing");
}

// Without a cue output nothing changes: keypad Enter is the Enter it always was (the file list
// loads the file into the next deck), the deck's menu is the text box's own, nothing sounds.
TEST_F(PreListenTest, WithoutACueOutputTheKeysAndMenusAreWhatTheyWere) {
    tone48("jingle.wav", 2.0, 440.0);
    frmMain& m = shownWindow();
    select("jingle.wav");
    m.File1->setFocus();
    keypadEnter(m.File1);
    EXPECT_EQ(m.Text1[0]->text(), "jingle");
    EXPECT_TRUE(m.preListen()->file().isEmpty());
    EXPECT_EQ(MediaChannel::mode(kPreListenAlias), "ERROR");
    auto* line = m.findChild<console::FitLabel*>("healthLine");
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->text().contains("Pre-listen")) << line->text().toStdString();
    render(200);
    EXPECT_EQ(level(0, seconds()), 0.0);

    QTest::mouseClick(m.windowHandle(), Qt::RightButton, Qt::NoModifier,
                      m.Text1[0]->mapTo(&m, QPoint(5, 5)));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (const QAction* action : menu->actions()) EXPECT_NE(action->text(), "Pre-listen");
    menu->close();
}

}  // namespace
}  // namespace brisko::test
