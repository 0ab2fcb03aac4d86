// How long after the last loud period the dead-air alarm fires, on the silent output in real
// time: a file with 2 s of sound and then silence, judged as the console does on its 50 ms
// clock tick. Measured on the mix (frames from the end of the last loud period to the period
// that raised the alarm) and on the clock (from when the last loud period was seen to the alarm).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "media/OnAir.h"
#include "platform/audio/Engine.h"
#include "showlog/DeadAir.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;
using Clock = std::chrono::steady_clock;

int main() {
    auto& engine = audio::Engine::instance();
    engine.startBackend("null:1024");
    test::TempDir media("brisko-bench-media");
    // 2 s of tone, then 14 s of digital silence, in one file.
    const std::string file = media.file("gap.wav");
    {
        test::ToneSpec tone;
        tone.seconds = 2;
        std::vector<int16_t> samples = test::toneSamples(tone);
        samples.resize(samples.size() + static_cast<size_t>(14 * 44100 * 2), 0);
        test::writePcmWav(file, samples, 2, 44100);
    }
    showlog::DeadAirSettings settings;  // the defaults: -50 dBFS, 10 s
    double worstMix = 0, worstClock = 0;
    const int runs = 2;
    for (int run = 0; run < runs; ++run) {
        showlog::DeadAirJudge judge(settings);
        std::string error;
        const audio::VoiceId voice = engine.open(file, &error);
        uint64_t cursor = 0;
        std::vector<AirPeak> peaks;
        airPeaks(&cursor, &peaks);
        peaks.clear();
        engine.play(voice, 0, -1);
        const float threshold = static_cast<float>(std::pow(10.0, settings.thresholdDbfs / 20));
        int64_t framesSinceLoud = -1;
        Clock::time_point lastLoudSeen{};
        bool raised = false;
        const auto give_up = Clock::now() + std::chrono::seconds(20);
        while (!raised && Clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            peaks.clear();
            airPeaks(&cursor, &peaks);
            const int rate = airRate();
            for (const AirPeak& p : peaks) {
                const bool loud = std::max(std::fabs(p.left), std::fabs(p.right)) >= threshold;
                if (loud) {
                    framesSinceLoud = 0;
                    lastLoudSeen = Clock::now();
                } else if (framesSinceLoud >= 0) {
                    framesSinceLoud += p.frames;
                }
                if (judge.feed(p.left, p.right, p.frames, rate, true) ==
                    showlog::DeadAirJudge::Change::Raised) {
                    raised = true;
                    const double mix = static_cast<double>(framesSinceLoud) / rate;
                    const double clock =
                        std::chrono::duration<double>(Clock::now() - lastLoudSeen).count();
                    worstMix = std::max(worstMix, mix);
                    worstClock = std::max(worstClock, clock);
                    std::printf(
                        "run %d: alarm %.3f s after the last loud period on the mix, %.3f s on the "
                        "clock\n",
                        run + 1, mix, clock);
                    break;
                }
            }
        }
        if (!raised) std::printf("run %d: no alarm\n", run + 1);
        engine.close(voice);
    }
    engine.shutdown();
    std::printf(
        "alarm latency: worst %.3f s on the mix, %.3f s on the clock   (goal <= hold + 0.2 = %.1f "
        "s)\n",
        worstMix, worstClock, settings.holdSeconds + 0.2);
    return 0;
}
