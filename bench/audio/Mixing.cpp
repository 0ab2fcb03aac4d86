// Mixing cost: the largest number of playing voices mixed at 48 kHz within real time on one
// core, with the mix's 99.9th percentile under a quarter of the period.
#include <chrono>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;

int main() {
    test::TempDir dir("brisko-bench");
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());
    constexpr int kPeriod = 512;
    const double periodNs = kPeriod * 1e9 / 48000.0;
    // A handful of different files, each opened many times.
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) {
        files.push_back(dir.file("t" + std::to_string(i) + ".wav"));
        test::writeToneWav(files.back(), {220.0 + 50 * i, 30.0, 48000, 2, 0.001});
    }
    int best = 0;
    std::vector<float> out(kPeriod * 2);
    for (int voices : {64, 128, 256, 384, 512, 768, 1000}) {
        std::vector<audio::VoiceId> ids;
        for (int i = 0; i < voices; ++i) {
            ids.push_back(engine.open(files[size_t(i) % files.size()], nullptr));
            if (i % 2) engine.setSpeed(ids.back(), 1000 + i % 300);  // half of them varispeed
            engine.setVolume(ids.back(), 800, 900);
        }
        for (auto id : ids) engine.play(id, 0, -1);
        // CPU time of this thread per period: what the mix costs on one core, without the
        // preemptions a shared machine adds. Wall time of the mix itself is shown beside it.
        std::vector<double> cpuNs, wallNs;
        // Paced like a sound card, so the decoder thread has its share of the time.
        double next = bench::nowMs();
        for (int p = 0; p < 1100; ++p) {
            next += periodNs / 1e6;
            while (bench::nowMs() < next) std::this_thread::sleep_for(std::chrono::microseconds(200));
            const double c0 = bench::threadCpuNs();
            engine.renderManual(out.data(), kPeriod);
            const double c1 = bench::threadCpuNs();
            if (p >= 100) {
                cpuNs.push_back(c1 - c0);
                wallNs.push_back(double(engine.stats().lastMixNanos));
            }
        }
        const double p50 = bench::percentile(cpuNs, 50), p999 = bench::percentile(cpuNs, 99.9);
        const bool ok = p999 < periodNs / 4;
        if (ok) best = voices;
        std::printf("%4d voices: %d-frame period (%.2f ms): CPU p50 %.3f ms, p99.9 %.3f ms (%.1f %% of the period) %s;"
                    " wall p50 %.3f ms, p99.9 %.3f ms\n",
                    voices, kPeriod, periodNs / 1e6, p50 / 1e6, p999 / 1e6, 100.0 * p999 / periodNs,
                    ok ? "within a quarter" : "over a quarter", bench::percentile(wallNs, 50) / 1e6,
                    bench::percentile(wallNs, 99.9) / 1e6);
        std::fflush(stdout);
        engine.closeAll();
        if (!ok) break;
    }
    std::printf("largest voice count mixed with p99.9 under a quarter of the period: %d (goal: at least 256)\n", best);
    engine.shutdown();
    return 0;
}
