// A fixture for the Clip Player's windows: a private program folder, the manual audio backend
// with the mix captured, answered message boxes, a fixed log clock, and a user with tone clips.
#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "clipplayer/ClipFiles.h"
#include "clipplayer/frmClipPlay.h"
#include "tests/support/TempDir.h"
#include "ui/Prompt.h"

namespace brisko::test {

class ClipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A tone clip in the media folder; returns its full path.
    QString tone(const std::string& name, double seconds, double frequency);
    // Writes USER's clip list with TABLE and names "P1".."P10", then chooses USER in the picker.
    frmClipPlay& openAs(const QString& user, const clip::ClipTable& table);
    // Puts PATH into slot (PAGE, B) of TABLE with colours BACK and TEXT.
    static void put(clip::ClipTable& table, int page, int b, const QString& path, double back = 255,
                    double text = 0);

    // Mixes MS milliseconds into the capture; with TICK, runs the tickers that are on every 50 ms.
    void render(int ms, bool tick = false);
    double level(double from, double to) const;          // RMS between two times (s)
    double frequency(double from, double to) const;      // dominant frequency between two times
    double seconds() const;

    std::string file(const QString& name) const;         // bytes of a file in the program folder
    QStringList logLines() const;                        // clip_player.log, without line ends
    QString stamp() const;                               // " at " + date + " " + time of the log

    TempDir media_{"brisko-clipmedia"};
    TempDir home_{"brisko-clipprog"};
    frmClipPlay* window_ = nullptr;
    std::vector<float> mix_;
    int rate_ = 48000;
    QStringList messages_;
    std::vector<ui::PromptAnswer> answers_;
    QDateTime clock_;
};

}  // namespace brisko::test
