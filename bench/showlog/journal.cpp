// The window thread's cost of one journal event, while twelve voices play and the writer writes
// the journal with fdatasync on the disk of the current folder; and the underruns meanwhile.
//   showlog_bench_journal [SECONDS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/Engine.h"
#include "showlog/ShowLog.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    auto& engine = audio::Engine::instance();
    engine.startBackend("null:512");
    test::TempDir media("brisko-bench-media");
    // The journal on a real disk (the current folder), where fdatasync costs what it costs.
    const std::string folder = std::filesystem::current_path().string() + "/showlog-bench-journal";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::vector<audio::VoiceId> voices;
    for (int v = 0; v < 12; ++v) {
        test::ToneSpec tone;
        tone.seconds = seconds + 5;
        tone.frequency = 200 + 50 * v;
        tone.amplitude = 0.05;
        const std::string file = media.file("v" + std::to_string(v) + ".wav");
        test::writeToneWav(file, tone);
        std::string error;
        voices.push_back(engine.open(file, &error));
        engine.play(voices.back(), 0, -1);
    }
    auto& log = showlog::showLog();
    if (!log.open(folder)) {
        std::printf("journal cannot be written in %s\n", folder.c_str());
        return 1;
    }
    const uint64_t underrunsBefore = engine.stats().underruns;
    std::vector<double> costs;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    int k = 0;
    while (Clock::now() < end) {
        // A burst as a busy console makes: positions, a box, a load, a play, a stop.
        for (int b = 0; b < 5; ++b, ++k) {
            const int deck = k % 12;
            const auto t0 = Clock::now();
            switch (k % 5) {
                case 0:
                    log.segueSet(deck, k % 2 == 0);
                    break;
                case 1:
                    log.cutOffSet(deck, std::to_string(k % 7));
                    break;
                case 2:
                    log.deckLoaded(deck, media.file("v" + std::to_string(deck) + ".wav"));
                    break;
                case 3:
                    log.deckPlayed(deck, k, true, media.file("v" + std::to_string(deck) + ".wav"));
                    break;
                case 4:
                    log.deckStopped(deck, k, showlog::EndHow::Stop);
                    break;
            }
            costs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    log.flush();
    const uint64_t underruns = engine.stats().underruns - underrunsBefore;
    const uint64_t dropped = log.droppedEvents();
    log.close(true);
    engine.shutdown();
    std::filesystem::remove_all(folder);
    std::sort(costs.begin(), costs.end());
    auto pct = [&](double p) {
        return costs[std::min(costs.size() - 1, static_cast<size_t>(p * costs.size()))];
    };
    std::printf("events: %zu over %.0f s (%zu per second), dropped: %llu\n", costs.size(), seconds,
                static_cast<size_t>(costs.size() / seconds),
                static_cast<unsigned long long>(dropped));
    std::printf(
        "window-thread cost per event: p50 %.1f us, p99 %.1f us   (goal p99 < 50 us), max %.1f "
        "us\n",
        pct(0.5), pct(0.99), costs.back());
    std::printf("underruns with 12 voices playing: %llu   (goal 0)\n",
                static_cast<unsigned long long>(underruns));
    return 0;
}
