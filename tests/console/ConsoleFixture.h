// The one fixture for tests of the deck console's windows: the real main window with a private
// program folder, frozen window timers, recorded and answered message boxes, the console's own
// command strings recorded, a fixed clock and a sleep hook that keeps the sound going while the
// console "sleeps". With the audio engine built, it runs on the manual backend and the mix can
// be listened to.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "console/frmFunc.h"
#include "console/frmMain.h"
#include "tests/support/TempDir.h"
#include "ui/Prompt.h"

namespace brisko::test {

class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Builds the main window (runs its start-up order); a window built before goes first.
    frmMain& makeWindow(const QString& commandLine = QString());
    frmMain& w() { return *window_; }

    // brisko.ini in the program folder; writeIni writes it (bytes as given).
    QString iniPath() const;
    void writeIni(const std::string& bytes);
    static QString qs(const std::string& s) { return QString::fromStdString(s); }

    // A tone file in the media folder; returns its file name.
    std::string tone(const std::string& name, double seconds, double frequency = 440.0);
    // Points the window's browser at the media folder and selects NAME in File1.
    void select(const std::string& name);
    // Drops NAME from the file list on deck I, through a real drop event on Text1(I).
    void dropOnDeck(const std::string& name, int i);

    // The mix (with the audio engine only). Mixes MS milliseconds into the capture buffer.
    void render(int ms);
    // One 50 ms period: render, then run the tick of every deck whose tick is enabled.
    void period();
    void periods(int count);
    // Level of the capture between two times (seconds).
    double level(double from, double to) const;
    double seconds() const;  // captured so far
    int rate() const { return rate_; }

    TempDir media_{"brisko-media"};
    TempDir home_{"brisko-prog"};
    std::unique_ptr<frmMain> window_;
    std::vector<float> mix_;
    int rate_ = 48000;
    QStringList messages_;                        // texts of the message boxes shown
    std::vector<ui::PromptRequest> prompts_;      // the same message boxes, whole
    std::vector<ui::PromptAnswer> answers_;       // answers given in order (then Ok/Yes)
    std::vector<int> sleeps_;                     // sleep requests in milliseconds
    std::vector<std::string> commands_;           // command strings the console composed itself

private:
    std::string previousProgramFolder_;
};

}  // namespace brisko::test
