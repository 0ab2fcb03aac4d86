// The Clip Player test fixture.
#include "tests/clipplayer/ClipFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmPickUser.h"
#include "console/DeckTimer.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {

void ClipTest::SetUpTestSuite() {
    if (QApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "clipplayer_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    console::DeckTimer::setFrozen(true);
}

void ClipTest::SetUp() {
    setProgramFolderForTesting(home_.path());
    ASSERT_TRUE(audio::Engine::instance().startBackend("manual:48000"));
    ui::setMessageResponder([this](const ui::PromptRequest& request) {
        messages_ << request.text;
        if (!answers_.empty()) {
            const ui::PromptAnswer answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        }
        return request.buttons == ui::PromptButtons::Ok ? ui::PromptAnswer::Ok : ui::PromptAnswer::Yes;
    });
    clock_ = QDateTime(QDate(2026, 12, 6), QTime(13, 35, 7));
    clip::setLogClockForTesting([this] { return clock_; });
}

void ClipTest::TearDown() {
    clip::closeClipPlayer();
    mci::mciSendString("close all");
    ui::setMessageResponder({});
    ui::setColorResponder({});
    clip::setLogClockForTesting({});
}

QString ClipTest::tone(const std::string& name, double seconds, double frequency) {
    ToneSpec spec;
    spec.seconds = seconds;
    spec.frequency = frequency;
    writeToneWav(media_.file(name), spec);
    return QString::fromStdString(media_.file(name));
}

void ClipTest::put(clip::ClipTable& table, int page, int b, const QString& path, double back, double text) {
    clip::ClipSlot& slot = table.slot(page, b);
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    slot.Directory = path.left(cut + 1);
    slot.FileName = path.mid(cut + 1);
    slot.BackColour = back;
    slot.TextColour = text;
}

frmClipPlay& ClipTest::openAs(const QString& user, const clip::ClipTable& table) {
    writeFile(clip::clipListPath(user).toStdString(), clip::formatClipList(table).toStdString());
    std::string names;
    for (int k = 1; k <= 10; ++k) names += "P" + std::to_string(k) + "\r\n";
    writeFile(clip::pageNamesPath(user).toStdString(), names);
    writeFile(clip::usersFilePath().toStdString(), user.toStdString() + "\r\n");
    frmPickUser* picker = clip::userPicker();
    picker->Form_Load();
    picker->cmboUsers->setEditText(user);
    picker->cmdOK->click();
    window_ = clip::clipWindow();
    EXPECT_NE(window_, nullptr);
    window_->activateWindow();
    return *window_;
}

void ClipTest::render(int ms, bool tick) {
    const int step = tick ? 50 : ms;
    for (int done = 0; done < ms; done += step) {
        const int part = std::min(step, ms - done);
        const int frames = part * rate_ / 1000;
        const size_t start = mix_.size();
        mix_.resize(start + size_t(frames) * 2);
        audio::Engine::instance().renderManual(mix_.data() + start, frames);
        if (tick && window_ != nullptr)
            for (int b = 0; b < frmClipPlay::kButtons; ++b)
                if (window_->Timer1[b]->isEnabled()) window_->Timer1_Timer(b);
    }
}

double ClipTest::level(double from, double to) const {
    const auto first = int64_t(from * rate_);
    const auto last = std::min<int64_t>(int64_t(to * rate_), int64_t(mix_.size() / 2));
    return last > first ? rms(mix_, first, last - first) : 0.0;
}

double ClipTest::frequency(double from, double to) const {
    const auto first = int64_t(from * rate_);
    const auto last = std::min<int64_t>(int64_t(to * rate_), int64_t(mix_.size() / 2));
    return last > first ? zeroCrossingFrequency(mix_, first, last - first, rate_) : 0.0;
}

double ClipTest::seconds() const { return double(mix_.size() / 2) / rate_; }

std::string ClipTest::file(const QString& name) const { return readFile(home_.file(name.toStdString())); }

QStringList ClipTest::logLines() const {
    return clip::textLines(QByteArray::fromStdString(file(QStringLiteral("clip_player.log"))));
}

QString ClipTest::stamp() const { return clip::logStamp(clock_); }

}  // namespace brisko::test

