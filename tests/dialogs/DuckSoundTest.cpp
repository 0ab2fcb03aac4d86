// The T key heard in the mix: a tone on the manual audio backend drops to the duck level and
// comes back.
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "platform/audio/Engine.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/dialogs/FakeMedia.h"

namespace brisko::test {
namespace {

class DuckHeard : public ConsoleTest {
protected:
    void SetUp() override {
        dialogsApp();
        ConsoleTest::SetUp();
        frmMain& m = makeWindow();
        m.show();
        m.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
        tone("tone.wav", 3.0, 440.0);
        dropOnDeck("tone.wav", 0);
        ASSERT_EQ(m.Text1[0]->text(), "tone");
    }
    // Level of the next MS milliseconds of the mix, after letting 60 ms pass so that a volume
    // change has settled.
    double listen(int ms) {
        render(60);
        const double from = seconds();
        render(ms);
        return level(from, seconds());
    }
};

TEST_F(DuckHeard, TLowersTheCurrentDeckToTheDuckLevelAndRestoresIt) {
    w().cmdPlay_Click(0);
    const double full = listen(200);
    ASSERT_GT(full, 0.1);

    QTest::keyClick(w().currentclip, Qt::Key_T);
    const double ducked = listen(200);
    const double expected =
        full * audio::Engine::gainForVolume(200) / audio::Engine::gainForVolume(1000);
    EXPECT_NEAR(ducked, expected, expected * 0.1);
    EXPECT_LT(ducked, full * 0.8);

    QTest::keyClick(w().currentclip, Qt::Key_T);
    EXPECT_NEAR(listen(200), full, full * 0.05);
}

TEST_F(DuckHeard, DuckLevelZeroIsSilence) {
    w().Func()->Slider8->setValue(0);
    w().cmdPlay_Click(0);
    const double full = listen(100);
    ASSERT_GT(full, 0.1);
    QTest::keyClick(w().currentclip, Qt::Key_T);
    EXPECT_LT(listen(100), 1e-4);
    QTest::keyClick(w().currentclip, Qt::Key_T);
    EXPECT_NEAR(listen(100), full, full * 0.05);
}

}  // namespace
}  // namespace brisko::test
