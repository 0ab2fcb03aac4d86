// The Clip Player with a screen reader's accessibility bridge on: choosing a user among 10,000 in
// the user picker, and a Clip Player whose page name is 1 MB long (opening it, starting clips).
// Each figure is the longest time the window could not handle an event: the handler itself plus
// whatever the bridge does after it, measured by a 5 ms timer that keeps asking to run.
//
// The bridge needs a display and a session bus with the accessibility bus: the program starts
// itself again under xvfb-run and dbus-run-session with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1. Where
// those are missing it says so and measures on the offscreen platform with Qt's accessibility
// turned on in the process (no bus), which is a weaker stand-in. BRISKO_A11Y_LISTENER may name a
// command to start beside it on the same bus (an assistive client that listens to events).
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "clipplayer/frmPickUser.h"
#include "console/DeckTimer.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"
#include "ui/Prompt.h"

using namespace brisko;

namespace {

constexpr double kGoalMs = 100;

// Watches the event loop: a 5 ms timer notes the longest wait between two of its runs.
class StallWatch {
public:
    StallWatch() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            worst_ = std::max(worst_, now - last_);
            last_ = now;
        });
    }
    // Runs ACTION, then the event loop for SETTLE ms; returns the longest time events waited,
    // counted from the start of ACTION.
    template <class F>
    double measure(F action, int settleMs = 1500) {
        clock_.start();
        last_ = 0;
        worst_ = 0;
        timer_.start();
        action();
        const qint64 afterAction = clock_.elapsed();
        worst_ = std::max(worst_, afterAction - last_);
        last_ = afterAction;
        while (clock_.elapsed() < afterAction + settleMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            ::usleep(1000);
        }
        timer_.stop();
        return double(worst_);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, worst_ = 0;
};

void verdict(const char* what, double ms) {
    std::printf("%-62s %8.1f ms  (goal: under %.0f ms) %s\n", what, ms, kGoalMs, ms < kGoalMs ? "ok" : "MISSED");
    std::fflush(stdout);
}

// Starts this program again under a display and a private session bus, with the bridge on.
int runUnderBridge(char** argv) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v dbus-run-session >/dev/null 2>&1 && "
                    "test -x /usr/libexec/at-spi-bus-launcher") != 0)
        return -1;
    ::setenv("BRISKO_A11Y_BENCH_INNER", "1", 1);
    ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                            const_cast<char*>("dbus-run-session"), const_cast<char*>("--"), argv[0], nullptr};
    ::execvp("xvfb-run", args.data());
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool inner = std::getenv("BRISKO_A11Y_BENCH_INNER") != nullptr;
    if (!inner && (argc < 2 || std::string(argv[1]) != "--offscreen")) {
        runUnderBridge(argv);
        std::printf("xvfb-run, dbus-run-session or at-spi2-core is missing: measuring offscreen with Qt's "
                    "accessibility on in the process, without the bus\n");
    }
    if (!inner) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    test::TempDir home("brisko-clipa11y-home");
    test::TempDir media("brisko-clipa11y-media");
    ::setenv("BRISKO_HOME", home.path().c_str(), 1);
    setProgramFolderForTesting(home.path());
    if (inner) {
        // The accessibility bus starts on demand: ask it for its address as a screen reader would.
        if (std::system("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "
                        "org.a11y.Bus.GetAddress >/dev/null 2>&1") != 0)
            std::printf("the accessibility bus did not start\n");
        if (const char* listener = std::getenv("BRISKO_A11Y_LISTENER")) {
            std::system((std::string(listener) + " &").c_str());
            ::sleep(2);
        }
        if (std::getenv("XDG_RUNTIME_DIR") == nullptr) ::setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
    }
    QApplication app(argc, argv);
    if (!inner) QAccessible::setActive(true);
    // The bridge comes up over the bus a moment after the start.
    for (int k = 0; k < 200 && !QAccessible::isActive(); ++k) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ::usleep(10000);
    }
    std::printf("platform %s, accessibility %s\n", qPrintable(QGuiApplication::platformName()),
                QAccessible::isActive() ? "active" : "NOT active (the figures do not show the bridge's cost)");
    ui::setMessageResponder([](const ui::PromptRequest& r) {
        return r.buttons == ui::PromptButtons::Ok ? ui::PromptAnswer::Ok : ui::PromptAnswer::Yes;
    });
    console::DeckTimer::setFrozen(true);
    audio::Engine::instance().startBackend("manual:48000");
    StallWatch watch;

    // 10,000 users; the one chosen is the last.
    std::string users;
    for (int k = 0; k < 10000; ++k) users += "user" + std::to_string(k) + "\r\n";
    test::writeFile(home.file("ClipUsers.dat"), users);
    // User "user9999" has a 1 MB name for page 1 and a clip on every button of page 1.
    test::ToneSpec spec;
    spec.seconds = 30;
    test::writeToneWav(media.file("clip.wav"), spec);
    clip::ClipTable table;
    for (int b = 0; b < clip::kButtons; ++b) {
        clip::ClipSlot& slot = table.slot(1, b);
        slot.Directory = QString::fromStdString(media.path()) + QLatin1Char('/');
        slot.FileName = QStringLiteral("clip.wav");
        slot.BackColour = 255;
    }
    clip::writeWhole(clip::clipListPath(QStringLiteral("user9999")), clip::formatClipList(table));
    std::string names(1 << 20, 'N');
    names += "\r\nP2\r\nP3\r\nP4\r\nP5\r\nP6\r\nP7\r\nP8\r\nP9\r\nP10\r\n";
    test::writeFile(clip::pageNamesPath(QStringLiteral("user9999")).toStdString(), names);
    // And a plain user to open first.
    clip::writeWhole(clip::clipListPath(QStringLiteral("user0")), clip::formatClipList(table));
    clip::writeWhole(clip::pageNamesPath(QStringLiteral("user0")), clip::blankPageNames());

    frmPickUser* picker = nullptr;
    verdict("opening the user picker with 10,000 users", watch.measure([&] {
        picker = clip::userPicker();
        clip::showUserPicker();
    }));
    verdict("opening the list of 10,000 users", watch.measure([&] { picker->cmboUsers->showPopup(); }));
    verdict("moving down the list and closing it", watch.measure([&] {
        QTest::keyClick(picker->cmboUsers->view(), Qt::Key_Down);
        QTest::keyClick(picker->cmboUsers->view(), Qt::Key_Return);
    }));
    verdict("typing a user's name", watch.measure([&] {
        picker->cmboUsers->setFocus();
        picker->cmboUsers->lineEdit()->selectAll();
        QTest::keyClicks(picker->cmboUsers, QStringLiteral("user5000"));
    }));
    verdict("choosing a user among 10,000 (plain page names)", watch.measure([&] {
        picker->cmboUsers->setCurrentIndex(0);
        picker->cmdOK->click();
    }));
    verdict("\"Load Different User\" back to the picker", watch.measure([&] {
        clip::clipWindow()->cmdLoadUser->click();
    }));
    verdict("choosing the user with a 1 MB page name (opens the Clip Player)", watch.measure([&] {
        picker->cmboUsers->setCurrentIndex(picker->cmboUsers->count() - 1);
        picker->cmdOK->click();
    }));
    frmClipPlay* window = clip::clipWindow();
    std::vector<double> starts;
    for (int b = 0; b < 5; ++b)
        starts.push_back(watch.measure([&] { window->cmdPlay_MouseDown(b, Qt::LeftButton); }, 1000));
    verdict("starting a clip under the 1 MB page name (worst of 5)", bench::percentile(starts, 100));
    verdict("changing to tab 2 and back", watch.measure([&] {
        window->SSTab1->setCurrentIndex(1);
        window->SSTab1->setCurrentIndex(0);
    }));

    clip::closeClipPlayer();
    mci::mciSendString("close all");
    audio::Engine::instance().shutdown();
    return 0;
}
