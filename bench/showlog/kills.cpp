// 200 SIGKILLs at random moments of a scripted show (tests/showlog/ShowChild.cpp, the real
// console on the silent output), each followed by a restart that answers Yes: how many journals
// did not read, how many restores differ from the last journaled event, and how long a restore
// of 12 decks takes after Yes.   showlog_bench_kills [KILLS]
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "tests/showlog/ChildProcess.h"
#include "tests/showlog/RestoreCheck.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;
using namespace brisko::showlog;

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    test::TempDir home("brisko-bench-home");
    test::TempDir media("brisko-bench-media");
    std::map<std::string, int64_t> lengths;
    const double seconds[] = {2.5, 4, 6, 9};
    for (int k = 0; k < 4; ++k) {
        test::ToneSpec tone;
        tone.seconds = seconds[k];
        tone.frequency = 300 + 100 * k;
        const std::string file = media.file("song" + std::to_string(k) + ".wav");
        test::writeToneWav(file, tone);
        lengths[file] = static_cast<int64_t>(seconds[k] * 1000);
    }
    // Qt's warnings of each of the 200 children (no runtime folder, the offscreen platform)
    // would bury the figures.
    const std::vector<std::string> env = {"BRISKO_HOME=" + home.path(), "BRISKO_AUDIO=null",
                                          "QT_LOGGING_RULES=default.warning=false"};
    std::mt19937 random(7);
    int unreadable = 0, differing = 0, notStarted = 0, restored = 0, diedBefore = 0;
    std::string firstDifference;
    for (int k = 0; k <= kills; ++k) {
        ReplayStats stats;
        const Expected expected = expectedFrom(home.path(), &stats);
        if (stats.damaged > 1) ++unreadable;
        test::ChildProcess child({SHOW_CHILD, "show", std::to_string(random()), media.path()}, env);
        const auto out = child.linesUntil("READY", std::chrono::seconds(60));
        if (out.empty() || out.back() != "READY") {
            ++notStarted;
            continue;
        }
        std::string why;
        if (restoreMismatches(expected, out, lengths, &why) != 0) {
            ++differing;
            if (firstDifference.empty())
                firstDifference = "after kill " + std::to_string(k) + ": " + why;
        }
        restored += expected.unclean ? 1 : 0;
        if (k == kills) break;  // the last start only checks the last kill
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + random() % 1800));
        if (!child.kill(SIGKILL)) ++diedBefore;
        std::fprintf(stderr, "\r%d/%d", k + 1, kills);
    }
    std::fprintf(stderr, "\n");

    // Twelve loaded decks, one on air, killed; the restart's restore is timed in the child. In
    // a folder of its own: after the kills above, the crash-loop guard may rightly keep back a
    // file that was also the last one started before the previous kill.
    double restoreMs = -1;
    int decks = 0;
    {
        test::TempDir fillHome("brisko-bench-fill");
        const std::vector<std::string> fillEnv = {"BRISKO_HOME=" + fillHome.path(),
                                                  "BRISKO_AUDIO=null", env.back()};
        test::ChildProcess fill({SHOW_CHILD, "fill", media.path()}, fillEnv);
        fill.linesUntil("READY", std::chrono::seconds(60));
        fill.linesUntil("FILLED", std::chrono::seconds(60));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        fill.kill(SIGKILL);
        test::ChildProcess again({SHOW_CHILD, "load", media.file("none.wav")}, fillEnv);
        for (const std::string& line : again.linesUntil("READY", std::chrono::seconds(60)))
            if (line.rfind("RESTORE_MS ", 0) == 0)
                std::sscanf(line.c_str(), "RESTORE_MS %lf %d", &restoreMs, &decks);
    }

    std::printf("kills: %d (children that ended before their kill: %d; restarts that did not come "
                "up: %d; restores offered: %d)\n",
                kills, diedBefore, notStarted, restored);
    std::printf("unreadable journals: %d   (goal 0)\n", unreadable);
    std::printf("restores that differ from the last journaled event: %d   (goal 0)\n", differing);
    if (!firstDifference.empty()) std::printf("  first: %s\n", firstDifference.c_str());
    std::printf("restore of %d decks after Yes: %.0f ms   (goal < 1000 ms for 12)\n", decks,
                restoreMs);
    return 0;
}
