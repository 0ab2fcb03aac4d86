// Deck keys heard in the mix, on the manual audio backend: T drops a tone to the duck level and
// brings it back; the position keys move a playing deck's sound without a gap or a click.
#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <cmath>

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

// The largest step between neighbouring samples of the left channel in frames [from, to).
double largestStep(const std::vector<float>& mix, int64_t from, int64_t to) {
    double step = 0.0;
    for (int64_t f = std::max<int64_t>(from, 1); f < to; ++f)
        step = std::max(step, double(std::fabs(mix[size_t(f) * 2] - mix[size_t(f - 1) * 2])));
    return step;
}

// The longest run of frames in [from, to) in which no sample passes 1 % of full scale.
int64_t longestSilence(const std::vector<float>& mix, int64_t from, int64_t to) {
    int64_t longest = 0;
    int64_t run = 0;
    for (int64_t f = from; f < to; ++f) {
        run = std::fabs(mix[size_t(f) * 2]) > 0.01f ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

// The last frame in [from, to) that is not silent; FROM when none.
int64_t lastSounding(const std::vector<float>& mix, int64_t from, int64_t to) {
    int64_t last = from;
    for (int64_t f = from; f < to; ++f)
        if (mix[size_t(f) * 2] != 0.0f) last = f;
    return last;
}

// Keypad minus and plus 40 ms apart, Home and End on a playing deck: the tone never stops, never
// jumps by more than its own largest step, and sounds exactly as long as its length plus what
// the keys moved it back. End 5 s before the end of a shorter sound is refused and changes nothing.
TEST_F(DuckHeard, PositionKeysMoveAPlayingDeckWithoutAGapOrAClick) {
    frmMain& m = w();
    tone("long.wav", 8.0, 300.0);
    dropOnDeck("long.wav", 2);
    m.Func()->Check4->setChecked(true);
    m.Func()->Slider4->setValue(250);
    m.SpaceIndex = 2;
    m.cmdPlay_Click(2);
    const int64_t start = static_cast<int64_t>(seconds() * rate());
    render(3000);
    const double own = largestStep(mix_, start + 10, static_cast<int64_t>(seconds() * rate()));
    ASSERT_GT(own, 0.01);
    for (int k = 0; k < 10; ++k) {
        QTest::keyClick(m.currentclip, Qt::Key_Minus, Qt::KeypadModifier);
        render(40);
    }
    for (int k = 0; k < 4; ++k) {
        QTest::keyClick(m.currentclip, Qt::Key_Plus, Qt::KeypadModifier);
        render(40);
    }
    QTest::keyClick(m.currentclip, Qt::Key_Home);
    render(500);
    QTest::keyClick(m.currentclip, Qt::Key_End);
    render(5200);
    const int64_t sounding =
        lastSounding(mix_, start, static_cast<int64_t>(seconds() * rate())) - start;
    // 3 s + 10 × 40 ms + 4 × 40 ms + 500 ms, then the last 5 s from End.
    EXPECT_NEAR(double(sounding) / rate(), 3.0 + 0.4 + 0.16 + 0.5 + 5.0, 0.02);
    EXPECT_LT(longestSilence(mix_, start + 10, start + sounding - 10), 64);
    // The seams lie between the first key and the tone's last moments (the resampler's own
    // edges at the very start and end of the file are not seams); 1 % for the resampler's phase.
    EXPECT_LE(largestStep(mix_, start + 3 * rate(), start + sounding - 100), own * 1.01);

    tone("short.wav", 3.0, 300.0);
    dropOnDeck("short.wav", 3);
    m.cmdPlay_Click(3);
    const int64_t shortStart = static_cast<int64_t>(seconds() * rate());
    render(890);
    QTest::keyClick(m.currentclip, Qt::Key_End);  // 3 s - 5 s: the seek is refused
    render(2500);
    const int64_t last = lastSounding(mix_, shortStart, static_cast<int64_t>(seconds() * rate()));
    EXPECT_NEAR(double(last - shortStart) / rate(), 3.0, 0.01);
    EXPECT_LT(longestSilence(mix_, shortStart + 10, last - 10), 64);
}

}  // namespace
}  // namespace brisko::test
