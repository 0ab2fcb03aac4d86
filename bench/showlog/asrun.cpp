// The as-run row against the mix: a deck played as the console plays it (the command string,
// then the show log told), on the silent output in real time; a watcher reads the air mix every
// millisecond and notes when the first and the last loud period went out. The row's start and
// played milliseconds are compared with them.   showlog_bench_asrun [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "media/MediaChannel.h"
#include "media/OnAir.h"
#include "platform/audio/Engine.h"
#include "showlog/LocalTime.h"
#include "showlog/ShowLog.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;

namespace {

// "2026-12-08T04:35:04.123+01:00" as ms since the epoch.
int64_t parseIso(const std::string& text) {
    std::tm tm{};
    if (strptime(text.substr(0, 19).c_str(), "%Y-%m-%dT%H:%M:%S", &tm) == nullptr) return 0;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm)) * 1000 + std::stoi(text.substr(20, 3));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    auto& engine = audio::Engine::instance();
    engine.startBackend("null:256");
    test::TempDir media("brisko-bench-media");
    test::TempDir home("brisko-bench-home");
    test::ToneSpec tone;
    tone.seconds = 1.5;
    const std::string file = media.file("song.wav");
    test::writeToneWav(file, tone);
    auto& log = showlog::showLog();
    log.open(home.path());

    std::atomic<bool> stop{false};
    std::atomic<int64_t> firstLoud{0}, lastLoud{0};
    std::thread watcher([&] {
        uint64_t cursor = 0;
        std::vector<AirPeak> peaks;
        while (!stop) {
            peaks.clear();
            airPeaks(&cursor, &peaks);
            const int64_t now = showlog::nowMs();
            for (const AirPeak& p : peaks) {
                if (std::max(std::fabs(p.left), std::fabs(p.right)) < 0.01f) continue;
                int64_t expected = 0;
                firstLoud.compare_exchange_strong(expected, now);
                lastLoud = now;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    std::vector<int64_t> startErr, lengthErr;
    for (int run = 0; run < runs; ++run) {
        firstLoud = 0;
        MediaChannel::open(0, "voice0", file, "MPEGvideo");
        MediaChannel::play("voice0");
        log.deckPlayed(0, MediaChannel::position("voice0"), true, file);
        // The deck's 50 ms tick sees the end.
        while (MediaChannel::mode("voice0") == "playing")
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        log.deckEnded(0, MediaChannel::position("voice0"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int64_t measuredStart = firstLoud, measuredEnd = lastLoud;
        MediaChannel::close("voice0");
        log.flush();
        // The row just written: the last line of the day's file.
        std::string last;
        for (const auto& e : std::filesystem::directory_iterator(home.file("asrun"))) {
            std::ifstream in(e.path());
            for (std::string line; std::getline(in, line);) last = line;
        }
        const int64_t rowStart = parseIso(last.substr(0, last.find(',')));
        const size_t endsAt = last.rfind(',');
        const size_t playedAt = last.rfind(',', endsAt - 1);
        const int64_t played = std::stoll(last.substr(playedAt + 1, endsAt - playedAt - 1));
        // The last loud period goes out one period before the sound's true end.
        const int64_t measuredLength = measuredEnd - measuredStart + 256 * 1000 / 48000;
        startErr.push_back(std::llabs(rowStart - measuredStart));
        lengthErr.push_back(std::llabs(played - measuredLength));
    }
    stop = true;
    watcher.join();
    log.close(true);
    engine.shutdown();
    std::printf("runs: %d (1.5 s tone on the silent output, 256-frame periods)\n", runs);
    std::printf(
        "start against the first loud sample in the mix: worst %lld ms, median %lld ms   (goal "
        "within 20 ms)\n",
        static_cast<long long>(*std::max_element(startErr.begin(), startErr.end())),
        static_cast<long long>(startErr[startErr.size() / 2]));
    std::printf(
        "played ms against the sound in the mix: worst %lld ms, median %lld ms   (goal within 50 "
        "ms)\n",
        static_cast<long long>(*std::max_element(lengthErr.begin(), lengthErr.end())),
        static_cast<long long>(lengthErr[lengthErr.size() / 2]));
    return 0;
}
