// The encoder window as an operator uses it: the name check, the presets, an encode with its bar,
// Cancel pressed during a run, an error shown, and the window closed in the middle of a run.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "encoder/frmVBLame.h"
#include "tests/encoder/Mp3Check.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"
#include "ui/Prompt.h"

using namespace brisko::test;
namespace fs = std::filesystem;

namespace {

class EncoderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "encoder_window_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        brisko::ui::setMessageResponder([this](const brisko::ui::PromptRequest& r) {
            messages.push_back(r.text);
            return brisko::ui::PromptAnswer::Ok;
        });
        window = frmVBLame::showWindow();
    }
    void TearDown() override {
        if (window) window->close();
        QApplication::processEvents();
        brisko::ui::setMessageResponder(nullptr);
    }
    QString path(const std::string& name) const { return QString::fromStdString(dir.file(name)); }
    void names(const QString& source, const QString& output) {
        window->txtSourceFile->setText(source);
        window->txtOutputMp3File->setText(output);
    }

    TempDir dir;
    QPointer<frmVBLame> window;
    std::vector<QString> messages;
};

}  // namespace

TEST_F(EncoderWindow, LoadsWithPresetsAndChecksNames) {
    EXPECT_EQ(window->windowTitle(), "Brisko LAME MP3 Encoder");
    ASSERT_EQ(window->cboOption->count(), 16);
    EXPECT_EQ(window->cboOption->currentIndex(), 3);
    EXPECT_EQ(window->m_cEncoder->EncodingPreset(), 6);
    window->cboOption->setCurrentIndex(1);
    EXPECT_EQ(window->m_cEncoder->EncodingPreset(), 3);
    window->cboOption->setCurrentIndex(0);
    EXPECT_EQ(window->m_cEncoder->EncodingPreset(), -1);
    EXPECT_EQ(window->cboOption->itemData(13).toInt(), 5);
    EXPECT_FALSE(window->cmdEncode->isEnabled());
    EXPECT_EQ(window->cmdEncode->text(), "&Encode");

    writePcmWav(dir.file("in.wav"), rampSamples(5000, 2), 2, 44100);
    writeFile(dir.file("taken.mp3"), "x");
    struct Case { QString source, output; bool enabled; };
    for (const Case& c : {Case{path("in.wav"), path("a.mp3"), true}, Case{path("in.wav"), path("ab"), false},
                          Case{path("in.wav"), path("nofolder/a.mp3"), false}, Case{path("in.wav"), path("taken.mp3"), false},
                          Case{path("missing.wav"), path("a.mp3"), false}, Case{QString(dir.path().c_str()), path("a.mp3"), false},
                          Case{path("in.wav"), "a.mp3", false}}) {
        names(c.source, c.output);
        EXPECT_EQ(window->cmdEncode->isEnabled(), c.enabled) << c.source.toStdString() << " -> " << c.output.toStdString();
    }
}

TEST_F(EncoderWindow, EncodesWithProgressAndTakesCancelDuringARun) {
    const int64_t frames = 2 * 44100;
    writePcmWav(dir.file("in.wav"), rampSamples(frames, 2), 2, 44100);
    names(path("in.wav"), path("out.mp3"));
    ASSERT_TRUE(window->cmdEncode->isEnabled());
    QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window->cmdEncode->text(), "&Encode");
    EXPECT_EQ(window->progressBar.Text, "Encoding 100.0%");
    EXPECT_EQ(decodeWithFfmpeg(dir.file("out.mp3")).size(), static_cast<size_t>(frames * 2));
    // The bar was drawn: its left end in the highlight colour.
    const QImage bar = window->picEncode->pixmap().toImage();
    ASSERT_FALSE(bar.isNull());
    EXPECT_EQ(bar.pixelColor(2, bar.height() - 2), window->progressBar.BarColor);

    // A 48 kHz source is encoded at its own rate: same length, same pitch.
    writePcmWav(dir.file("in48.wav"), rampSamples(48000, 2), 2, 48000);
    names(path("in48.wav"), path("out48.mp3"));
    QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
    EXPECT_EQ(scanMp3Frames(dir.file("out48.mp3")).sampleRate, 48000);
    EXPECT_EQ(decodeWithFfmpeg(dir.file("out48.mp3")).size(), 48000u * 2);

    // Typed into the output box during a run: a letter and a backspace name the run's own output
    // again, which exists by now. The name check waits for the run to end (the button keeps
    // reading "Cancel" and taking presses), then applies.
    const auto typeDuringTheRun = [&](bool thenCancel) {
        int seen = 0;
        bool enabledAfterTyping = false;
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [&] {
            if (window->cmdEncode->text() != "Cancel" || ++seen != 1) return;
            QTest::keyClick(window->txtOutputMp3File, Qt::Key_X);
            QTest::keyClick(window->txtOutputMp3File, Qt::Key_Backspace);
            // Browse picks the run's own output: it is not deleted under the run.
            brisko::ui::setPathResponder([&](const QString&) { return path("second.mp3"); });
            QTest::mouseClick(window->cmdPickMp3File, Qt::LeftButton);
            brisko::ui::setPathResponder(nullptr);
            enabledAfterTyping = window->cmdEncode->isEnabled();
            if (thenCancel) QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
        });
        presser.start(0);
        QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
        presser.stop();
        EXPECT_GE(seen, 1);
        EXPECT_TRUE(enabledAfterTyping);
        EXPECT_EQ(window->cmdEncode->text(), "&Encode");
    };
    names(path("in.wav"), path("second.mp3"));
    typeDuringTheRun(true);
    EXPECT_EQ(window->progressBar.Text, "Encoding Cancelled");
    EXPECT_EQ(window->progressBar.Percent(), 100.0);
    EXPECT_FALSE(fs::exists(dir.file("second.mp3")));
    // The cancelled run's output is gone: the name is free again.
    EXPECT_TRUE(window->cmdEncode->isEnabled());

    typeDuringTheRun(false);
    EXPECT_EQ(window->progressBar.Text, "Encoding 100.0%");
    EXPECT_TRUE(fs::exists(dir.file("second.mp3")));
    EXPECT_FALSE(window->cmdEncode->isEnabled());  // checked once idle: the output exists now
}

TEST_F(EncoderWindow, ShowsErrorsAndSurvivesBeingClosedDuringARun) {
    writePcmWav(dir.file("mono.wav"), rampSamples(5000, 1), 1, 44100);
    names(path("mono.wav"), path("out.mp3"));
    QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Only stereo 16 bit wave files supported.");
    EXPECT_EQ(window->cmdEncode->text(), "&Encode");

    writePcmWav(dir.file("in.wav"), rampSamples(2 * 44100, 2), 2, 44100);
    names(path("in.wav"), path("closed.mp3"));
    QTimer::singleShot(0, window, [this] { window->close(); });
    QTest::mouseClick(window->cmdEncode, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());  // closed (and unloaded) once the run had stopped
    EXPECT_FALSE(fs::exists(dir.file("closed.mp3")));
}
