// Press-to-sound: output frames between "play" and the first audible frame on the manual backend,
// and the cold start of a 60-minute MP3 (open + play wall time, then the first length query).
#include <cstdio>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"

using namespace brisko;

int main() {
    test::TempDir dir("brisko-bench");
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());

    // Short files of each kind, played on a fresh voice each time.
    const std::string wav = dir.file("tone.wav");
    const std::string mp3 = dir.file("tone.mp3");
    test::writeToneWav(wav, {440.0, 5.0, 44100, 2, 0.5});
    test::writeToneMp3(mp3, {440.0, 5.0, 44100, 2, 0.5}, {});
    for (int period : {64, 256, 1024}) {
        int worst = -1;
        int trials = 0;
        int late = 0;
        for (const std::string& file : {wav, mp3}) {
            for (int t = 0; t < 100; ++t, ++trials) {
                const audio::VoiceId v = engine.open(file, nullptr);
                std::vector<float> out(size_t(period) * 2);
                engine.renderManual(out.data(), period);  // a period before the press
                engine.play(v, 0, -1);
                engine.renderManual(out.data(), period);  // the very next period
                int first = -1;
                for (int f = 0; f < period && first < 0; ++f)
                    if (std::fabs(out[size_t(f) * 2]) > 1e-4f || std::fabs(out[size_t(f) * 2 + 1]) > 1e-4f) first = f;
                if (first < 0) ++late;
                worst = std::max(worst, first < 0 ? period : first);
                engine.close(v);
            }
        }
        std::printf("press-to-sound, period %4d frames: first audible frame at most %d frames after play; "
                    "%d of %d presses missed the next period (goal: 0, always the very next period)\n",
                    period, worst, late, trials);
    }

    std::printf("writing a 60-minute VBR MP3 without header...\n");
    std::fflush(stdout);
    const std::string longMp3 = dir.file("hour.mp3");
    bench::writeLongMp3(longMp3, 60.0, true, false);
    std::vector<double> openPlay, openPlayCpu, lengthQuery;
    int64_t length = 0;
    for (int t = 0; t < 100; ++t) {
        const double c0 = bench::threadCpuNs();
        const double t0 = bench::nowMs();
        const audio::VoiceId v = engine.open(longMp3, nullptr);
        engine.play(v, 0, -1);
        const double t1 = bench::nowMs();
        openPlayCpu.push_back((bench::threadCpuNs() - c0) / 1e6);
        length = engine.lengthMs(v);
        const double t2 = bench::nowMs();
        openPlay.push_back(t1 - t0);
        lengthQuery.push_back(t2 - t1);
        engine.close(v);
    }
    std::printf("cold start, 60-minute MP3: open+play p50 %.2f ms, p99 %.2f ms (goal: p99 under 5 ms)\n",
                bench::percentile(openPlay, 50), bench::percentile(openPlay, 99));
    std::printf("cold start, 60-minute MP3: open+play CPU time of the calling thread p50 %.2f ms, p99 %.2f ms\n",
                bench::percentile(openPlayCpu, 50), bench::percentile(openPlayCpu, 99));
    std::printf("cold start, first exact length query right after open+play: p50 %.1f ms, p99 %.1f ms "
                "(length %lld ms; goal: exact length ready by that query)\n",
                bench::percentile(lengthQuery, 50), bench::percentile(lengthQuery, 99),
                static_cast<long long>(length));
    engine.shutdown();
    return 0;
}
