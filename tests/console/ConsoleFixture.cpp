// The one console test fixture.
#include "tests/console/ConsoleFixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <algorithm>

#include "console/ConsoleCommands.h"
#include "console/DeckTimer.h"
#include "console/frmFunc.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/audio/Engine.h"
#endif
#include "platform/common/Clock.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {

void ConsoleTest::SetUpTestSuite() {
    if (QApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "console_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    // Ticks run only when a test runs them (period()), so every step is where the test says.
    console::DeckTimer::setFrozen(true);
}

void ConsoleTest::SetUp() {
    previousProgramFolder_ = programFolder();
    setProgramFolderForTesting(home_.path());
#ifdef BRISKO_MCI_WITH_ENGINE
    ASSERT_TRUE(audio::Engine::instance().startBackend("manual:48000"));
#endif
    rate_ = 48000;
    ui::setMessageResponder([this](const ui::PromptRequest& request) {
        messages_ << request.text;
        prompts_.push_back(request);
        if (!answers_.empty()) {
            const ui::PromptAnswer answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        }
        return request.buttons == ui::PromptButtons::Ok ? ui::PromptAnswer::Ok
                                                         : ui::PromptAnswer::Yes;
    });
    setNowHook([] { return TimeOfDay{10, 0, 0}; });
    // The console blocks while it waits; the engine's sound goes on meanwhile.
    setSleepHook([this](int ms) {
        sleeps_.push_back(ms);
        if (ms > 0) render(ms);
    });
    frmMain::setEndProgramHook([] {});
    console::setCommandTapForTesting([this](const std::string& c) { commands_.push_back(c); });
}

void ConsoleTest::TearDown() {
    window_.reset();
    mci::mciSendString("close all");
    ui::setMessageResponder({});
    setNowHook({});
    setSleepHook({});
    frmMain::setEndProgramHook({});
    console::setCommandTapForTesting({});
    setProgramFolderForTesting(previousProgramFolder_);
}

frmMain& ConsoleTest::makeWindow(const QString& commandLine) {
    window_.reset();
    window_ = std::make_unique<frmMain>(commandLine);
    return *window_;
}

QString ConsoleTest::iniPath() const { return qs(home_.file("brisko.ini")); }

void ConsoleTest::writeIni(const std::string& bytes) { writeFile(home_.file("brisko.ini"), bytes); }

std::string ConsoleTest::tone(const std::string& name, double seconds, double frequency) {
    ToneSpec spec;
    spec.seconds = seconds;
    spec.frequency = frequency;
    writeToneWav(media_.file(name), spec);
    return name;
}

void ConsoleTest::select(const std::string& name) {
    const QString folder = QString::fromStdString(media_.path());
    if (w().Dir1->path() != folder) {
        ASSERT_TRUE(w().Dir1->setPath(folder));
    }
    w().refdir_Click();
    const auto items = w().File1->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name << " is not listed";
    w().File1->setCurrentItem(items.first());
}

void ConsoleTest::dropOnDeck(const std::string& name, int i) {
    select(name);
    QMimeData mime;
    mime.setData(QStringLiteral("application/x-brisko-library-file"),
                 QByteArray::fromStdString(name));
    QLineEdit* target = w().Text1[i];
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void ConsoleTest::render(int ms) {
    const int frames = static_cast<int>(static_cast<int64_t>(ms) * rate_ / 1000);
    const size_t start = mix_.size();
    mix_.resize(start + static_cast<size_t>(frames) * 2);
#ifdef BRISKO_MCI_WITH_ENGINE
    audio::Engine::instance().renderManual(mix_.data() + start, frames);
#endif
}

void ConsoleTest::period() {
    render(50);
    for (int i = 0; i < frmMain::kDecks; ++i)
        if (w().Timer0[i]->isEnabled()) w().Timer0_Timer(i);
}

void ConsoleTest::periods(int count) {
    for (int k = 0; k < count; ++k) period();
}

double ConsoleTest::level(double from, double to) const {
    const auto first = static_cast<int64_t>(from * rate_);
    const auto last = std::min<int64_t>(static_cast<int64_t>(to * rate_),
                                        static_cast<int64_t>(mix_.size() / 2));
    if (last <= first) return 0.0;
    return rms(mix_, first, last - first);
}

double ConsoleTest::seconds() const { return static_cast<double>(mix_.size() / 2) / rate_; }

}  // namespace brisko::test

