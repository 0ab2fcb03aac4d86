// Exact length of a 60-minute VBR MP3 without any header: our open + first length query beside
// ffprobe counting packets, and how far ffprobe's default (bitrate) duration is off.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"
#include "tests/support/TempDir.h"

using namespace brisko;

int main() {
    test::TempDir dir("brisko-bench");
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    const std::string file = dir.file("hour.mp3");
    std::printf("writing a 60-minute VBR MP3 without header...\n");
    std::fflush(stdout);
    const int64_t fed = bench::writeLongMp3(file, 60.0, true, false);

    std::vector<double> ours;
    int64_t frames = 0;
    for (int t = 0; t < 7; ++t) {
        const double t0 = bench::nowMs();
        const audio::VoiceId v = engine.open(file, nullptr);
        frames = engine.lengthFrames(v);
        ours.push_back(bench::nowMs() - t0);
        engine.close(v);
    }

    std::vector<double> theirs;
    long long packets = 0;
    for (int t = 0; t < 7; ++t) {
        const double t0 = bench::nowMs();
        const std::string out = bench::run("ffprobe -v error -select_streams a:0 -count_packets -show_entries "
                                           "stream=nb_read_packets -of csv=p=0 '" + file + "'");
        theirs.push_back(bench::nowMs() - t0);
        packets = std::atoll(out.c_str());
    }
    const double estimate = std::atof(
        bench::run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'").c_str());
    const double oursSeconds = double(frames) / 44100.0;
    std::printf("samples fed to the encoder: %lld (%.3f s)\n", static_cast<long long>(fed), fed / 44100.0);
    std::printf("our exact length: %lld frames = %.6f s; ffprobe -count_packets: %lld packets x 1152 = %lld frames (%s)\n",
                static_cast<long long>(frames), oursSeconds, packets, packets * 1152,
                packets * 1152 == frames ? "equal" : "DIFFERENT");
    std::printf("open + first length query: median %.1f ms; ffprobe -count_packets: median %.1f ms "
                "(goal: exact and not slower than ffprobe)\n",
                bench::percentile(ours, 50), bench::percentile(theirs, 50));
    std::printf("ffprobe default duration %.3f s: off by %.3f s (%.1f %%); ours is off by 0\n", estimate,
                estimate - oursSeconds, 100.0 * (estimate - oursSeconds) / oursSeconds);
    engine.shutdown();
    return 0;
}
