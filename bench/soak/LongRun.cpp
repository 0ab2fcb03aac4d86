// A long run at a station's pace, simulated faster than real time on the manual backend: the
// twelve decks of the real console in a segue chain that goes round and round, and the real Clip
// Player window firing a clip by a key press every 4 seconds. Prints the resident size as the
// simulated hours pass, the growth per hour and the projection for an 8-hour run.
//
//   soak_bench [HOURS]    simulated hours (default 8)
// For finding what grows, set in the environment:
//   SOAK_KEEP_ALL=1      end without closing or freeing anything, so that a heap profiler
//                        (heaptrack) lists what the run holds as "leaked"; the difference of two
//                        such runs of different length is what grows
//   SOAK_CLEAR_PLAYED=1  empty the Clip Player's played list every 10 simulated minutes, to tell
//                        its share of the growth
//   SOAK_TRIM=1          have the allocator give its free pages back every simulated minute
//                        (malloc_trim), to tell what of the growth is memory held free between
//                        live blocks
#include <malloc.h>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "console/DeckTimer.h"
#include "console/FileBrowser.h"
#include "console/frmMain.h"
#include "platform/audio/Engine.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"
#include "ui/Prompt.h"

using namespace brisko;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriodMs = 50;                      // one round of ticks
constexpr int kPeriodFrames = kRate * kPeriodMs / 1000;
constexpr int kClipEveryPeriods = 4000 / kPeriodMs;  // a clip every 4 s
constexpr int kSamplePeriods = 10 * 60 * 1000 / kPeriodMs;  // a memory sample every 10 minutes
constexpr double kDeckSeconds = 30.0;
constexpr double kClipSeconds = 2.5;
constexpr double kGoalMb = 10.0;

double mb(int64_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

// Bytes the allocator has handed out and not had back (what the program holds on the heap).
int64_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<int64_t>(m.uordblks + m.hblkhd);
}

// Bytes the allocator holds from the system, in use or free.
int64_t heapHeld() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<int64_t>(m.arena + m.hblkhd);
}

void loadDeck(frmMain& console, int deck, const QString& folder, const QString& name) {
    console.Dir1->setPath(folder);
    console.refdir_Click();
    const auto items = console.File1->findItems(name, Qt::MatchExactly);
    if (items.size() != 1) {
        std::printf("deck file %s is not listed\n", qPrintable(name));
        std::exit(1);
    }
    console.File1->setCurrentItem(items.first());
    console.Text1_DragDrop(deck);
}

// The key that fires clip button B (buttons 0..35: the digits 1..9, 0, then A..Z).
Qt::Key keyOfButton(int b) {
    if (b < 9) return Qt::Key(Qt::Key_1 + b);
    if (b == 9) return Qt::Key_0;
    return Qt::Key(Qt::Key_A + (b - 10));
}

// Least-squares slope of Y over X.
double slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d != 0 ? (n * sxy - sx * sy) / d : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 8.0;
    test::TempDir home("brisko-soak-home");
    test::TempDir media("brisko-soak-media");
    ::setenv("BRISKO_HOME", home.path().c_str(), 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setProgramFolderForTesting(home.path());
    QApplication app(argc, argv);
    ui::setMessageResponder([](const ui::PromptRequest& r) {
        return r.buttons == ui::PromptButtons::Ok ? ui::PromptAnswer::Ok : ui::PromptAnswer::Yes;
    });
    // The ticks run when this program says, one round per 50 ms of mixed sound.
    console::DeckTimer::setFrozen(true);
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:" + std::to_string(kRate));
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());

    // Twelve deck files of different pitch, and one short clip per clip button.
    const QString folder = QString::fromStdString(media.path());
    for (int d = 0; d < frmMain::kDecks; ++d)
        test::writeToneMp3(media.file("deck" + std::to_string(d) + ".mp3"),
                           {220.0 + 20.0 * d, kDeckSeconds, 44100, 2, 0.05}, {});
    // Buttons 0 and 1 share their channels with decks 11 and 12, so the clips are on 2..35.
    constexpr int kFirstClip = 2, kLastClip = 35;
    for (int b = kFirstClip; b <= kLastClip; ++b)
        test::writeToneMp3(media.file("clip" + std::to_string(b) + ".mp3"),
                           {600.0 + 10.0 * b, kClipSeconds, 44100, 2, 0.3}, {});

    frmMain console;
    console.show();
    for (int d = 0; d < frmMain::kDecks; ++d) {
        loadDeck(console, d, folder, QStringLiteral("deck%1.mp3").arg(d));
        console.chkSegue[d]->setChecked(true);  // deck 1 follows deck 12: the chain goes round
    }

    clip::ClipTable table;
    for (int b = kFirstClip; b <= kLastClip; ++b) {
        clip::ClipSlot& slot = table.slot(1, b);
        slot.Directory = folder + QLatin1Char('/');
        slot.FileName = QStringLiteral("clip%1.mp3").arg(b);
        slot.BackColour = 255;
    }
    clip::writeWhole(clip::clipListPath(QStringLiteral("soak")), clip::formatClipList(table));
    clip::writeWhole(clip::pageNamesPath(QStringLiteral("soak")), clip::blankPageNames());
    clip::clipState().CurrentUser = QStringLiteral("soak");
    frmClipPlay* window = clip::openClipWindow();
    QApplication::processEvents();

    console.cmdPlay[0]->click();
    const int64_t startRss = bench::residentBytes();
    const int64_t startHeap = heapInUse();
    const int64_t startHeld = heapHeld();
    std::printf("simulating %.1f hours: 12 decks of %.0f s in a segue chain, a %.1f s clip every 4 s\n", hours,
                kDeckSeconds, kClipSeconds);
    std::printf("start: resident %.1f MB, heap in use %.1f MB\n", mb(startRss), mb(startHeap));
    std::fflush(stdout);

    const bool clearPlayed = std::getenv("SOAK_CLEAR_PLAYED") != nullptr;
    const bool trim = std::getenv("SOAK_TRIM") != nullptr;
    std::vector<float> out(size_t(kPeriodFrames) * 2);
    std::vector<double> sampleHours, sampleRss, sampleHeap;
    const auto periods = static_cast<int64_t>(hours * 3600.0 * 1000.0 / kPeriodMs);
    const double t0 = bench::nowMs();
    int clips = 0, deckStarts = 0, notPlaying = 0;
    bool wasPlaying[frmMain::kDecks] = {};
    // CPU time of the window thread's work in the rounds with a clip press (the mix excluded),
    // over the latest simulated hour: the work that delays the next tick of every deck.
    std::vector<double> clipRoundsMs;
    for (int64_t p = 1; p <= periods; ++p) {
        const bool press = p % kClipEveryPeriods == 0;
        const double c0 = bench::threadCpuNs();
        if (press) {
            // A key press on the window, as the operator fires a clip.
            const int b = kFirstClip + clips % (kLastClip - kFirstClip + 1);
            QTest::keyClick(window, keyOfButton(b));
            ++clips;
        }
        const double c1 = bench::threadCpuNs();
        engine.renderManual(out.data(), kPeriodFrames);
        const double c2 = bench::threadCpuNs();
        bool anyDeck = false;
        for (int d = 0; d < frmMain::kDecks; ++d) {
            const bool on = console.Timer0[d]->isEnabled();
            if (on) console.Timer0_Timer(d);
            if (on && !wasPlaying[d]) ++deckStarts;
            wasPlaying[d] = on;
            anyDeck = anyDeck || console.Timer0[d]->isEnabled();
        }
        if (!anyDeck) ++notPlaying;
        for (int b = 0; b < clip::kButtons; ++b)
            if (window->Timer1[b]->isEnabled()) window->Timer1_Timer(b);
        console.Timer1_Timer();
        QApplication::processEvents();
        if (press) clipRoundsMs.push_back((c1 - c0 + bench::threadCpuNs() - c2) / 1e6);
        if (trim && p % (kSamplePeriods / 10) == 0) malloc_trim(0);
        if (p % kSamplePeriods == 0) {
            if (clearPlayed) window->lstPlayed->clear();
            const double h = double(p) * kPeriodMs / 3600000.0;
            sampleHours.push_back(h);
            sampleRss.push_back(mb(bench::residentBytes() - startRss));
            sampleHeap.push_back(mb(heapInUse() - startHeap));
            if (p % (kSamplePeriods * 6) == 0) {
                std::printf("  %4.1f h simulated (%.0f s real): resident %+.2f MB, heap in use %+.2f MB, heap held "
                            "%+.2f MB, %d clips, %d deck starts, played list %d lines; window CPU of a clip round "
                            "p50 %.2f ms, p99 %.2f ms\n",
                            h, (bench::nowMs() - t0) / 1000.0, sampleRss.back(), sampleHeap.back(),
                            mb(heapHeld() - startHeld), clips, deckStarts, window->lstPlayed->count(),
                            bench::percentile(clipRoundsMs, 50), bench::percentile(clipRoundsMs, 99));
                std::fflush(stdout);
                clipRoundsMs.clear();
            }
        }
    }
    const double realSeconds = (bench::nowMs() - t0) / 1000.0;
    const double rssNow = mb(bench::residentBytes() - startRss);
    const double heapNow = mb(heapInUse() - startHeap);

    // The growth per hour over the later half of the run tells whether the size levels off.
    std::vector<double> lateHours, lateRss, lateHeap;
    for (size_t i = 0; i < sampleHours.size(); ++i)
        if (sampleHours[i] >= hours / 2) {
            lateHours.push_back(sampleHours[i]);
            lateRss.push_back(sampleRss[i]);
            lateHeap.push_back(sampleHeap[i]);
        }
    const double perHour = slope(sampleHours, sampleRss);
    const double latePerHour = lateHours.size() >= 2 ? slope(lateHours, lateRss) : perHour;
    double projected = rssNow + latePerHour * (8.0 - hours);
    for (size_t i = 0; i < sampleHours.size(); ++i)
        if (sampleHours[i] > 7.99 && sampleHours[i] < 8.01) projected = sampleRss[i];  // measured
    std::printf("%.1f simulated hours in %.0f s (%.0f× real time): %d clips, %d deck starts, %d periods with no "
                "deck playing\n",
                hours, realSeconds, hours * 3600.0 / realSeconds, clips, deckStarts, notPlaying);
    std::printf("resident growth: %+.2f MB in all; %+.2f MB per simulated hour over the run, %+.2f MB per hour "
                "over its second half\n",
                rssNow, perHour, latePerHour);
    std::printf("heap in use: %+.2f MB in all; %+.2f MB per hour over the second half\n", heapNow,
                lateHours.size() >= 2 ? slope(lateHours, lateHeap) : slope(sampleHours, sampleHeap));
    std::printf("resident growth over 8 hours: %+.2f MB%s (goal: under %.0f MB)\n", projected,
                hours >= 8.0 ? "" : " (projected)", kGoalMb);

    if (std::getenv("SOAK_KEEP_ALL") != nullptr) std::_Exit(0);
    clip::closeClipPlayer();
    mci::mciSendString("close all");
    engine.shutdown();
    return 0;
}
