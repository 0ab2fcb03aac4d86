// The T key heard in the mix: a tone on the manual audio backend drops to the duck level and
// comes back.
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "console/DeckTimer.h"
#include "console/frmFunc.h"
#include "console/frmMain.h"
#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"
#include "tests/dialogs/FakeMedia.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"
#include "ui/Prompt.h"

namespace {

constexpr int kRate = 48000;

class DuckHeard : public ::testing::Test {
protected:
    void SetUp() override {
        brisko::test::dialogsApp();
        brisko::console::DeckTimer::setFrozen(true);
        ASSERT_TRUE(brisko::audio::Engine::instance().startBackend("manual:48000"));
        brisko::ui::setMessageResponder(
            [](const brisko::ui::PromptRequest&) { return brisko::ui::PromptAnswer::Ok; });
        main = std::make_unique<frmMain>();
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));

        brisko::test::ToneSpec tone;
        tone.seconds = 3.0;
        tone.frequency = 440.0;
        brisko::test::writeToneWav(files.file("tone.wav"), tone);
        ASSERT_TRUE(main->Dir1->setPath(QString::fromStdString(files.path())));
        main->File1->setPath(QString::fromStdString(files.path()));
        main->File1->setPattern("*.wav");
        main->File1->setCurrentItem(main->File1->findItems("tone.wav", Qt::MatchExactly).value(0));
        main->Text1_DragDrop(0);
        ASSERT_EQ(main->Text1[0]->text(), "tone");
    }
    void TearDown() override {
        main.reset();
        brisko::mci::mciSendString("close all");
        brisko::ui::setMessageResponder(nullptr);
    }

    // RMS of the next MS milliseconds of the mix, after letting LEADMS pass so that a volume
    // change has settled.
    double listen(int ms, int leadMs = 60) {
        std::vector<float> lead(static_cast<size_t>(leadMs) * kRate / 1000 * 2);
        brisko::audio::Engine::instance().renderManual(lead.data(), leadMs * kRate / 1000);
        std::vector<float> mix(static_cast<size_t>(ms) * kRate / 1000 * 2);
        brisko::audio::Engine::instance().renderManual(mix.data(), ms * kRate / 1000);
        return brisko::test::rms(mix, 0, ms * kRate / 1000);
    }

    brisko::test::TempDir files{"brisko-duck"};
    std::unique_ptr<frmMain> main;
};

}  // namespace

TEST_F(DuckHeard, TLowersTheCurrentDeckToTheDuckLevelAndRestoresIt) {
    main->cmdPlay_Click(0);
    const double full = listen(200);
    ASSERT_GT(full, 0.1);

    QTest::keyClick(main->currentclip, Qt::Key_T);
    const double ducked = listen(200);
    const double expected = full * brisko::audio::Engine::gainForVolume(200) /
                            brisko::audio::Engine::gainForVolume(1000);
    EXPECT_NEAR(ducked, expected, expected * 0.1);
    EXPECT_LT(ducked, full * 0.8);

    QTest::keyClick(main->currentclip, Qt::Key_T);
    EXPECT_NEAR(listen(200), full, full * 0.05);
}

TEST_F(DuckHeard, DuckLevelZeroIsSilence) {
    main->Func()->Slider8->setValue(0);
    main->cmdPlay_Click(0);
    const double full = listen(100);
    ASSERT_GT(full, 0.1);
    QTest::keyClick(main->currentclip, Qt::Key_T);
    EXPECT_LT(listen(100), 1e-4);
    QTest::keyClick(main->currentclip, Qt::Key_T);
    EXPECT_NEAR(listen(100), full, full * 0.05);
}
